// The progress bar as the run advances it.
#include "run/progress_meter.h"

ProgressMeter::ProgressMeter(platform::Window bar, int32_t steps, int32_t* taken)
    : bar_(bar), steps_(steps), taken_(taken), pixels_(bar != nullptr ? platform::ProgressBarWidth(bar) : 0) {
    if (bar_ != nullptr) givenAt_ = platform::Milliseconds();
}

long long ProgressMeter::PixelsTaken() const {
    return steps_ > 0 && pixels_ > 0 ? static_cast<long long>(*taken_) * pixels_ / steps_ : *taken_;
}

void ProgressMeter::Step() {
    ++*taken_;
    platform::AnswerWindowMessages();
    if (bar_ == nullptr || PixelsTaken() == filled_) return;
    const uint32_t now = platform::Milliseconds();
    // Unsigned, so that the clock's wrap (49.7 days) reads as the time it is.
    if (*taken_ < steps_ && now - givenAt_ < kBarRedrawEveryMs) return;
    Give(now);
}

void ProgressMeter::ShowTaken() {
    if (bar_ != nullptr && PixelsTaken() != filled_) Give(platform::Milliseconds());
}

void ProgressMeter::Give(uint32_t now) {
    filled_ = PixelsTaken();
    givenAt_ = now;
    platform::ProgressSetPos(bar_, *taken_);
}

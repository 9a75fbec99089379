// The progress bar as the run advances it.
#include "run/progress_meter.h"

ProgressMeter::ProgressMeter(platform::Window bar, int32_t steps, int32_t* taken)
    : bar_(bar), steps_(steps), taken_(taken), pixels_(bar != nullptr ? platform::ProgressBarWidth(bar) : 0) {
    if (bar_ != nullptr) givenAt_ = platform::Milliseconds();
}

void ProgressMeter::Step() {
    ++*taken_;
    platform::AnswerWindowMessages();
    if (bar_ == nullptr) return;
    const long long pixels =
        steps_ > 0 && pixels_ > 0 ? static_cast<long long>(*taken_) * pixels_ / steps_ : *taken_;
    if (pixels == filled_) return;
    const uint32_t now = platform::Milliseconds();
    // Unsigned, so that the clock's wrap (49.7 days) reads as the time it is.
    if (*taken_ < steps_ && now - givenAt_ < kBarRedrawEveryMs) return;
    filled_ = pixels;
    givenAt_ = now;
    platform::ProgressSetPos(bar_, *taken_);
}

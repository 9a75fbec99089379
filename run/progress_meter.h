// The progress bar as the run advances it: its own count of the steps taken,
// and the bar told of them only as often as a person could see it move.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The least time between two positions given to the bar: a person sees no
// more than some 30 to 60 redraws a second.
constexpr uint32_t kBarRedrawEveryMs = 30;

// The run keeps the count of its steps itself: the first common controls
// answer PBM_GETPOS with 0. It gives the bar its position only when that fills
// one more pixel and kBarRedrawEveryMs have passed since it last did (or since
// the meter was made); the last step always gives it, and fills the bar
// exactly. Each position makes the bar repaint, under Wine through round trips
// to the server and the screen, and there may be far more files than pixels.
class ProgressMeter {
public:
    // `bar` null: no bar, the steps are only counted.
    ProgressMeter(platform::Window bar, int32_t steps, int32_t* taken);

    void Step();
    // Gives the bar the steps taken where it does not show them yet: before
    // the run waits, so that the bar does not stand behind meanwhile.
    void ShowTaken();

private:
    long long PixelsTaken() const;
    void Give(uint32_t now);

    platform::Window bar_;
    int32_t steps_;
    int32_t* taken_;
    int pixels_;             // the bar's width
    long long filled_ = 0;   // pixels the position last given fills
    uint32_t givenAt_ = 0;   // platform::Milliseconds() when it was given
};

// The fake machine's progress dialog and its bar as the control keeps it, which
// the platform suite cannot check against Windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"
#include "platform/platform.h"

namespace {

class FakeScreen : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
};

// Work like the program's: it notes what it was given and moves the bar.
struct Seen {
    int calls = 0;
    platform::Window bar = nullptr;
    int width = 0;
};

void Work(platform::Window bar, Seen& seen) {
    ++seen.calls;
    seen.bar = bar;
    seen.width = platform::ProgressBarWidth(bar);
    platform::ProgressSetPos(bar, 3);
    platform::ProgressSetPos(bar, 200000);  // past any range here
}

TEST_F(FakeScreen, TheProgressDialogRunsItsWorkOnceOverItsBarThenCloses) {
    struct Case {
        int32_t steps;
        bool firstControls;
        uint32_t range;  // as the bar keeps it
    };
    for (const Case c : {Case{7, false, 7}, Case{65535, true, 65535}, Case{200000, false, 200000},
                         Case{200000, true, 100}}) {
        fake::Reset();
        fake::SetFirstCommonControls(c.firstControls);
        Seen seen;
        EXPECT_TRUE(platform::RunUnderProgressDialog(nullptr, 102, 1000, c.steps, [&seen](platform::Window bar) { Work(bar, seen); })) << c.steps;
        EXPECT_EQ(seen.calls, 1);
        EXPECT_NE(seen.bar, nullptr);
        EXPECT_EQ(seen.width, 220);
        EXPECT_TRUE(fake::DialogShown());
        EXPECT_EQ(fake::Bar().rangeUpper, c.range) << c.steps;
        EXPECT_EQ(fake::Bar().position, static_cast<int>(c.range)) << c.steps;  // kept within the range
        // Gone with its dialog: recorded, and nothing changes.
        platform::ProgressSetPos(seen.bar, 1);
        EXPECT_EQ(fake::Bar().position, static_cast<int>(c.range));
        EXPECT_EQ(fake::Bar().positionsSet, 2);
        EXPECT_EQ(platform::ProgressBarWidth(seen.bar), 0);
    }

    // A dialog Windows will not make, or a template the program does not
    // have, runs no work; a control other than the bar is no bar.
    for (const int templateId : {102, 103}) {
        fake::Reset();
        fake::SetDialogRefused(templateId == 102);
        Seen seen;
        EXPECT_FALSE(platform::RunUnderProgressDialog(nullptr, templateId, 1000, 5, [&seen](platform::Window bar) { Work(bar, seen); }));
        EXPECT_EQ(seen.calls, 0);
        EXPECT_FALSE(fake::DialogShown());
    }
    fake::Reset();
    Seen seen;
    EXPECT_TRUE(platform::RunUnderProgressDialog(nullptr, 102, 1001, 5, [&seen](platform::Window bar) { Work(bar, seen); }));
    EXPECT_EQ(seen.bar, nullptr);
    EXPECT_EQ(fake::Bar().positionsSet, 0);
}

}  // namespace

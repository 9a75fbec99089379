// The fake machine's screen: message boxes answered from a script, and the
// progress dialog with its bar, which runs its work at once.
#include <new>

#include "platform/fake/machine_state.h"

namespace fake {
namespace {

using detail::M;

// The bar is told apart by address; it is a window only while its dialog runs.
char g_barWindow;

ProgressBar* LiveBar(platform::Window window) {
    return M().dialogLive && window == reinterpret_cast<platform::Window>(&g_barWindow) ? &M().bar : nullptr;
}

}  // namespace

void ScriptBoxAnswer(platform::BoxAnswer answer) {
    M().boxAnswers.push_back(answer);
}

const std::vector<ShownBox>& Boxes() {
    return M().boxes;
}

unsigned long MessageChecks() {
    return M().messageChecks;
}

void SetDialogRefused(bool refused) {
    M().dialogRefused = refused;
}

void SetBeforeBoxHook(void (*hook)()) {
    M().beforeBox = hook;
}

const ProgressBar& Bar() {
    return M().bar;
}

void SetProgressBarWidth(int pixels) {
    M().barWidth = pixels;
}

void SetFirstCommonControls(bool first) {
    M().firstCommonControls = first;
}

bool DialogShown() {
    return M().dialogShown;
}

void SetWindowStationHidden(bool hidden) {
    M().stationHidden = hidden;
}

const std::vector<LoggedEvent>& Events() {
    return M().events;
}

bool CommonControlsInitialised() {
    return M().commonControls;
}

}  // namespace fake

namespace platform {

using fake::detail::M;
using fake::detail::Record;

BoxAnswer ShowBox(const char* text, const char* caption, BoxButtons buttons) {
    if (M().beforeBox != nullptr) M().beforeBox();
    Record("MessageBox " + std::string(caption ? caption : "(null)") + "|" + text);
    fake::ShownBox box;
    box.text = text;
    box.hasCaption = caption != nullptr;
    box.caption = caption ? caption : "";
    box.buttons = buttons;
    M().boxes.push_back(box);
    auto& answers = M().boxAnswers;
    if (answers.empty()) return buttons == BoxButtons::YesNoQuestion ? BoxAnswer::Yes : BoxAnswer::Ok;
    const BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

bool RunUnderProgressDialog(Instance, int templateId, int barId, int32_t steps, ProgressWork work) {
    Record("ProgressDialog " + std::to_string(templateId) + " " + std::to_string(steps));
    fake::detail::Machine& m = M();
    // The program's resources hold one dialog, 102.
    if (m.dialogRefused || templateId != 102) return false;
    // A new progress control's range is 0..100; the first common controls know
    // no range above 65,535 and keep it.
    m.bar = fake::ProgressBar();
    const uint32_t upper = steps > 0 ? static_cast<uint32_t>(steps) : 0;
    m.bar.rangeUpper = upper > 0xFFFF && m.firstCommonControls ? 100 : upper;
    m.dialogLive = true;
    m.dialogShown = true;

    // The dialog is gone when this returns, even when the work throws
    // (fake::ProcessExit from inside the run, or std::bad_alloc, which the
    // record itself may meet again while the shortage lasts).
    struct CloseDialog {
        ~CloseDialog() {
            M().dialogLive = false;
            fake::detail::WithWindowsMemory([] { Record("CloseProgressDialog"); });
        }
    } closeDialog;
    // The template's bar is control 1000; Windows finds no other.
    work(barId == 1000 ? reinterpret_cast<Window>(&fake::g_barWindow) : nullptr);
    return true;
}

void Pause(unsigned milliseconds) {
    Record("Sleep " + std::to_string(milliseconds));
    M().pausedMs += milliseconds;
    ++M().messageChecks;
}

uint32_t Milliseconds() {
    M().clockReadMs += M().msPerClockRead;
    return static_cast<uint32_t>(M().pausedMs + M().clockReadMs);
}

void AnswerWindowMessages() {
    ++M().messageChecks;
}

void ProgressSetPos(Window bar, int position) {
    Record("SetPos " + std::to_string(position));
    if (fake::ProgressBar* live = fake::LiveBar(bar)) {
        // The control keeps its position within its range.
        live->position = position < 0 ? 0 : position;
        if (static_cast<uint32_t>(live->position) > live->rangeUpper)
            live->position = static_cast<int>(live->rangeUpper);
        ++live->positionsSet;
    }
}

int ProgressBarWidth(Window bar) {
    return fake::LiveBar(bar) != nullptr ? M().barWidth : 0;
}

bool NoOneCanSee() {
    return M().stationHidden && !M().windows95;
}

}  // namespace platform

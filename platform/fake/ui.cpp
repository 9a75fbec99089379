// The fake machine's screen: message boxes answered from a script, and the one
// modal dialog with its progress bar, driven synchronously.
#include "platform/fake/machine_state.h"

namespace fake {
namespace {

using detail::M;

// The dialog and its bar are told apart by address; they are windows only while
// the dialog runs.
char g_dialogWindow;
char g_barWindow;

bool IsDialog(platform::Window window) {
    return M().dialogLive && window == &g_dialogWindow;
}

ProgressBar* LiveBar(platform::Window window) {
    return M().dialogLive && window == &g_barWindow ? &M().bar : nullptr;
}

// The control keeps its position within its range.
void ClampVisible(ProgressBar& bar) {
    if (bar.visiblePosition < 0) bar.visiblePosition = 0;
    if (static_cast<uint32_t>(bar.visiblePosition) > bar.rangeUpper)
        bar.visiblePosition = static_cast<int>(bar.rangeUpper);
}

}  // namespace

void ScriptBoxAnswer(platform::BoxAnswer answer) {
    M().boxAnswers.push_back(answer);
}

const std::vector<ShownBox>& Boxes() {
    return M().boxes;
}

void PostDialogMessage(unsigned message, uintptr_t wParam) {
    M().postedMessages.emplace_back(message, wParam);
}

std::size_t PendingDialogMessages() {
    return M().postedMessages.size();
}

void detail::HandleDialogMessages() {
    detail::Machine& m = M();
    while (m.dialogLive && !m.postedMessages.empty()) {
        const auto [message, wParam] = m.postedMessages.front();
        m.postedMessages.pop_front();
        m.dialogProc(&g_dialogWindow, message, wParam, 0);
    }
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

bool InitProgressControls(const std::string& path) {
    if (!fake::detail::LoadDll(path, "comctl32.dll")) return false;
    Record("InitCommonControls");
    M().commonControls = true;
    return true;
}

intptr_t RunModalDialog(Instance, int templateId, DialogProc proc) {
    Record("DialogBox " + std::to_string(templateId));
    fake::detail::Machine& m = M();
    if (m.dialogRefused) return -1;
    // A new progress control starts as Windows makes one: range 0..100, step 10.
    m.bar = fake::ProgressBar();
    m.bar.exists = true;
    m.bar.rangeUpper = 100;
    m.bar.step = 10;
    m.dialogLive = true;
    m.dialogEnded = false;
    m.dialogResult = 0;
    m.dialogProc = proc;

    // The dialog is gone when this returns, even when the procedure throws
    // (fake::ProcessExit from inside the run).
    struct CloseDialog {
        ~CloseDialog() {
            M().dialogLive = false;
            M().dialogProc = nullptr;
        }
    } closeDialog;
    proc(&fake::g_dialogWindow, kMsgInitDialog, 0, 0);
    // Nothing but the procedure itself can end a dialog here: no one is at the keyboard.
    return m.dialogEnded ? m.dialogResult : -1;
}

Window GetDialogControl(Window dialog, int controlId) {
    if (!fake::IsDialog(dialog) || controlId != 1000) return nullptr;
    return &fake::g_barWindow;
}

void ShowWindowNormal(Window window) {
    Record("ShowWindow");
    if (fake::IsDialog(window)) M().dialogShown = true;
}

void SendDialogCommand(Window dialog, int commandId) {
    Record("DialogCommand " + std::to_string(commandId));
    if (!fake::IsDialog(dialog)) return;
    // WM_COMMAND from a menu or accelerator: the id in the low word, 0 in the high word.
    const uintptr_t wParam = static_cast<uint16_t>(commandId);
    M().dialogProc(dialog, kMsgCommand, wParam, 0);
}

void EndModalDialog(Window dialog, intptr_t result) {
    Record("EndDialog " + std::to_string(result));
    if (!fake::IsDialog(dialog)) return;
    M().dialogEnded = true;
    M().dialogResult = result;
}

void AnswerWindowMessages() {
    fake::detail::HandleDialogMessages();
}

void ProgressSetPos(Window bar, int position) {
    Record("SetPos " + std::to_string(position));
    if (fake::ProgressBar* live = fake::LiveBar(bar)) {
        live->position = position;
        live->visiblePosition = position;
        fake::ClampVisible(*live);
    }
}

void ProgressSetStep(Window bar, int step) {
    Record("SetStep " + std::to_string(step));
    if (fake::ProgressBar* live = fake::LiveBar(bar)) live->step = step;
}

void ProgressSetRange16(Window bar, uint16_t upper) {
    Record("SetRange " + std::to_string(upper));
    if (fake::ProgressBar* live = fake::LiveBar(bar)) {
        live->rangeUpper = upper;
        live->range32 = false;
        ++live->rangeMessages;
        fake::ClampVisible(*live);
    }
}

void ProgressSetRange32(Window bar, uint32_t upper) {
    Record("SetRange32 " + std::to_string(upper));
    if (M().firstCommonControls) return;
    if (fake::ProgressBar* live = fake::LiveBar(bar)) {
        live->rangeUpper = upper;
        live->range32 = true;
        ++live->rangeMessages;
        fake::ClampVisible(*live);
    }
}

void ProgressStepIt(Window bar) {
    Record("StepIt");
    fake::ProgressBar* live = fake::LiveBar(bar);
    if (live == nullptr) return;
    ++live->stepsTaken;
    live->position += live->step;
    // A step past the upper bound starts over from the lower bound (0), as the control does.
    const long long next = static_cast<long long>(live->visiblePosition) + live->step;
    if (next > static_cast<long long>(live->rangeUpper) || next < 0)
        live->visiblePosition = 0;
    else
        live->visiblePosition = static_cast<int>(next);
}

int ProgressBarWidth(Window bar) {
    return fake::LiveBar(bar) != nullptr ? M().barWidth : 0;
}

}  // namespace platform

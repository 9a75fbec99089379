// Message boxes, the modal progress dialog and its progress bar, and the
// thread's window messages while the run holds it, for the Win32 side.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/platform.h"

namespace platform {

namespace {

HWND AsHwnd(Window window) {
    return static_cast<HWND>(window);
}

// The modal dialog from its WM_INITDIALOG until DialogBoxParamA returns.
HWND g_dialog = nullptr;
DWORD g_lastAnswered = 0;
constexpr DWORD kAnswerEveryMs = 100;

// The message kinds every Windows knows. QS_ALLINPUT in newer headers takes in
// QS_RAWINPUT too, which Windows before XP refuses.
constexpr DWORD kAnyMessage = QS_KEY | QS_MOUSE | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_SENDMESSAGE | QS_HOTKEY;

// Every message waiting now, to its window; messages sent from other threads
// and processes are handled by PeekMessageA itself.
void HandleWaitingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (g_dialog != nullptr && IsDialogMessageA(g_dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    g_lastAnswered = GetTickCount();
}

// The dialog's platform::DialogProc travels in DialogBoxParamA's init parameter
// and is kept in the dialog's DWLP_USER slot from WM_INITDIALOG on. Messages
// that come before it (WM_SETFONT) find no procedure and get the default.
INT_PTR CALLBACK DialogThunk(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        g_dialog = dialog;
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        // The program's procedure asked for no init parameter of its own.
        lParam = 0;
    }
    auto proc = reinterpret_cast<DialogProc>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (proc == nullptr) return FALSE;
    return proc(dialog, message, wParam, lParam);
}

}  // namespace

BoxAnswer ShowBox(const char* text, const char* caption, BoxButtons buttons) {
    UINT style = buttons == BoxButtons::YesNoQuestion ? (MB_YESNO | MB_ICONQUESTION) : MB_OK;
    switch (MessageBoxA(nullptr, text, caption, style)) {
    case IDYES:
        return BoxAnswer::Yes;
    case IDNO:
        return BoxAnswer::No;
    case IDOK:
        return BoxAnswer::Ok;
    default:
        return BoxAnswer::Other;
    }
}

intptr_t RunModalDialog(Instance instance, int templateId, DialogProc proc) {
    const intptr_t result = DialogBoxParamA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(templateId),
                                            nullptr, DialogThunk, reinterpret_cast<LPARAM>(proc));
    g_dialog = nullptr;
    return result;
}

Window GetDialogControl(Window dialog, int controlId) {
    return GetDlgItem(AsHwnd(dialog), controlId);
}

void ShowWindowNormal(Window window) {
    ShowWindow(AsHwnd(window), SW_SHOWNORMAL);
    // The run holds this thread from the dialog's initialisation on and looks
    // at its messages only now and then: paint now, or the dialog stays blank
    // until it first does.
    UpdateWindow(AsHwnd(window));
    // Wine puts what a thread drew on the screen when the thread next waits for
    // its messages: a wait of no time puts it there at once.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
}

void SendDialogCommand(Window dialog, int commandId) {
    SendMessageA(AsHwnd(dialog), WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

void EndModalDialog(Window dialog, intptr_t result) {
    EndDialog(AsHwnd(dialog), result);
}

void AnswerWindowMessages() {
    if (GetTickCount() - g_lastAnswered >= kAnswerEveryMs) HandleWaitingMessages();
}

void Pause(unsigned milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        HandleWaitingMessages();
        const DWORD waited = GetTickCount() - start;
        if (waited >= milliseconds) return;
        // Wakes for a message, or when the time is up.
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - waited, kAnyMessage) == WAIT_FAILED)
            Sleep(milliseconds - waited);
    }
}

void ProgressSetPos(Window bar, int position) {
    SendMessageA(AsHwnd(bar), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void ProgressSetStep(Window bar, int step) {
    SendMessageA(AsHwnd(bar), PBM_SETSTEP, static_cast<WPARAM>(step), 0);
}

void ProgressSetRange16(Window bar, uint16_t upper) {
    SendMessageA(AsHwnd(bar), PBM_SETRANGE, 0, MAKELPARAM(0, upper));
}

void ProgressSetRange32(Window bar, uint32_t upper) {
    SendMessageA(AsHwnd(bar), PBM_SETRANGE32, 0, static_cast<LPARAM>(upper));
}

void ProgressStepIt(Window bar) {
    SendMessageA(AsHwnd(bar), PBM_STEPIT, 0, 0);
}

int ProgressBarWidth(Window bar) {
    RECT client = {};
    if (!GetClientRect(AsHwnd(bar), &client)) return 0;
    return client.right - client.left;
}

}  // namespace platform

// Message boxes, the modal progress dialog and its progress bar for the Win32 side.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/platform.h"

namespace platform {

namespace {

HWND AsHwnd(Window window) {
    return static_cast<HWND>(window);
}

// The dialog's platform::DialogProc travels in DialogBoxParamA's init parameter
// and is kept in the dialog's DWLP_USER slot from WM_INITDIALOG on. Messages
// that come before it (WM_SETFONT) find no procedure and get the default.
INT_PTR CALLBACK DialogThunk(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
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
    return DialogBoxParamA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(templateId), nullptr,
                           DialogThunk, reinterpret_cast<LPARAM>(proc));
}

Window GetDialogControl(Window dialog, int controlId) {
    return GetDlgItem(AsHwnd(dialog), controlId);
}

void ShowWindowNormal(Window window) {
    ShowWindow(AsHwnd(window), SW_SHOWNORMAL);
    // The run holds this thread from the dialog's initialisation on, so no
    // WM_PAINT would be handled: paint now, or the dialog stays blank until
    // the bar's first step repaints it.
    UpdateWindow(AsHwnd(window));
}

void SendDialogCommand(Window dialog, int commandId) {
    SendMessageA(AsHwnd(dialog), WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

void EndModalDialog(Window dialog, intptr_t result) {
    EndDialog(AsHwnd(dialog), result);
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

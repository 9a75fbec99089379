// Message boxes, the modal progress dialog and its progress bar for the Win32 side.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/platform.h"
#include "platform/win32/late_dlls.h"

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

// Drawing the bar costs far more than stepping it: under Wine about 0.7 ms a
// step, several times a file's deletion. So the bar's drawing is held
// (WM_SETREDRAW) while the run steps it, and let through only when a step
// moves its fill by a whole pixel: what is on screen is never more than a
// pixel behind.
struct BarDrawing {
    HWND bar = nullptr;
    uint32_t upper = 0;
    long width = 0;
    long drawnPixels = -1;
    bool held = false;
};
BarDrawing g_barDrawing;

void HoldBarDrawing(bool hold) {
    BarDrawing& drawing = g_barDrawing;
    if (drawing.bar == nullptr || drawing.held == hold) return;
    SendMessageA(drawing.bar, WM_SETREDRAW, hold ? FALSE : TRUE, 0);
    drawing.held = hold;
}

// Wine puts what a thread drew on the screen when the thread next waits for
// its messages, and meanwhile only when it draws again 50 ms or more after the
// last time: a step drawn just before one of the run's pauses would stay off
// the screen for the whole pause. A wait of no time puts it there at once.
void ShowWhatWasDrawn() {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
}

void NoteBarRange(HWND bar, uint32_t upper) {
    HoldBarDrawing(false);
    RECT client = {};
    GetClientRect(bar, &client);
    g_barDrawing = BarDrawing{bar, upper, client.right - client.left, -1, false};
}

}  // namespace

BoxAnswer ShowBox(const std::string& text, const char* caption, BoxButtons buttons) {
    UINT style = buttons == BoxButtons::YesNoQuestion ? (MB_YESNO | MB_ICONQUESTION) : MB_OK;
    switch (MessageBoxA(nullptr, text.c_str(), caption, style)) {
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

void InitProgressControls() {
    win32::InitCommonControlsLate();
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
    ShowWhatWasDrawn();
}

void SendDialogCommand(Window dialog, int commandId) {
    SendMessageA(AsHwnd(dialog), WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

void EndModalDialog(Window dialog, intptr_t result) {
    HoldBarDrawing(false);
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
    NoteBarRange(AsHwnd(bar), upper);
}

void ProgressSetRange32(Window bar, uint32_t upper) {
    SendMessageA(AsHwnd(bar), PBM_SETRANGE32, 0, static_cast<LPARAM>(upper));
    NoteBarRange(AsHwnd(bar), upper);
}

void ProgressStepIt(Window bar) {
    const HWND hwnd = AsHwnd(bar);
    BarDrawing& drawing = g_barDrawing;
    if (hwnd == nullptr || hwnd != drawing.bar || drawing.upper == 0 || drawing.width <= 0) {
        SendMessageA(hwnd, PBM_STEPIT, 0, 0);
        return;
    }
    HoldBarDrawing(true);
    SendMessageA(hwnd, PBM_STEPIT, 0, 0);
    const auto position = static_cast<uint32_t>(SendMessageA(hwnd, PBM_GETPOS, 0, 0));
    const long pixels = static_cast<long>(static_cast<unsigned long long>(std::min(position, drawing.upper)) *
                                          static_cast<unsigned long long>(drawing.width) / drawing.upper);
    if (pixels == drawing.drawnPixels) return;
    drawing.drawnPixels = pixels;
    HoldBarDrawing(false);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    ShowWhatWasDrawn();
}

}  // namespace platform

// Message boxes, the modal progress dialog and its progress bar, and the
// thread's window messages while the run holds it, for the Win32 side.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/exports.h"

namespace platform {

namespace {

HWND AsHwnd(Window window) {
    return reinterpret_cast<HWND>(window);
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

// A progress dialog's work, handed over as DialogBoxParamA's init parameter.
struct ProgressDialog {
    int barId;
    int32_t steps;
    ProgressWork work;
    bool started;
};

// PBM_SETRANGE takes a 16-bit bound; only larger counts need PBM_SETRANGE32,
// which the first common controls do not know.
void SetRange(HWND bar, int32_t steps) {
    const DWORD upper = steps > 0 ? static_cast<DWORD>(steps) : 0;
    if (upper <= 0xFFFF)
        SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, upper));
    else
        SendMessageA(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(upper));
}

// The dialog runs its work from WM_INITDIALOG, once it is on screen, and
// ends when the work returns. Messages before it (WM_SETFONT) get the default.
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        g_dialog = dialog;
        auto* progress = reinterpret_cast<ProgressDialog*>(lParam);
        const HWND bar = GetDlgItem(dialog, progress->barId);
        SendMessageA(bar, PBM_SETPOS, 0, 0);
        SendMessageA(bar, PBM_SETSTEP, 1, 0);
        SetRange(bar, progress->steps);
        // Visible before any work starts: the work holds this thread until it ends.
        ShowWindow(dialog, SW_SHOWNORMAL);
        // Paint now, or the dialog stays blank until the work first looks at its messages.
        UpdateWindow(dialog);
        // Wine puts what a thread drew on the screen when the thread next waits for
        // its messages: a wait of no time puts it there at once.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
        // The work handles the dialog's messages while it goes; WM_INITDIALOG
        // comes once, so the work starts once.
        progress->started = true;
        progress->work(reinterpret_cast<Window>(bar));
        EndDialog(dialog, 1);
        return FALSE;  // the default focus is not set
    }
    // Nothing ends the dialog but the end of its work. Esc comes as IDCANCEL,
    // which does nothing here; Alt+F4 and the like come as WM_CLOSE, taken here
    // before the default turns it into IDCANCEL.
    if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) return TRUE;
    return FALSE;
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

bool RunUnderProgressDialog(Instance instance, int templateId, int barId, int32_t steps, ProgressWork work) {
    ProgressDialog progress{barId, steps, work, false};
    DialogBoxParamA(reinterpret_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(templateId), nullptr, ProgressDialogProc,
                    reinterpret_cast<LPARAM>(&progress));
    g_dialog = nullptr;
    return progress.started;
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

uint32_t Milliseconds() {
    return GetTickCount();
}

void ProgressSetPos(Window bar, int position) {
    SendMessageA(AsHwnd(bar), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int ProgressBarWidth(Window bar) {
    RECT client = {};
    if (!GetClientRect(AsHwnd(bar), &client)) return 0;
    return client.right - client.left;
}

}  // namespace platform

namespace platform {

bool NoOneCanSee() {
    // user32 has them on the NT family only: looked up by name.
    using GetStationFunction = HWINSTA(WINAPI*)();
    using GetInformationFunction = BOOL(WINAPI*)(HANDLE, int, PVOID, DWORD, LPDWORD);
    const auto getStation = win32::ExportedFunction<GetStationFunction>("user32.dll", "GetProcessWindowStation");
    const auto getInformation =
        win32::ExportedFunction<GetInformationFunction>("user32.dll", "GetUserObjectInformationA");
    if (getStation == nullptr || getInformation == nullptr) return false;
    const HWINSTA station = getStation();
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    if (station == nullptr || !getInformation(station, UOI_FLAGS, &flags, sizeof flags, &needed)) return false;
    return (flags.dwFlags & WSF_VISIBLE) == 0;
}

}  // namespace platform

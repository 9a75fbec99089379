/* The UI DLL of the example product's port monitor (vpmonui.dll), named by
 * the monitor's XcvDataPort("MonitorUI"). Whoever calls AddPort, ConfigurePort
 * or DeletePort loads it into their own process: the spooler hands the call to
 * it there. Its DeletePortUI asks first when it is given a window, and deletes
 * through the spooler's Xcv interface as Microsoft's documentation describes.
 * Each process that loads it is noted in the monitor's record, vpmon.log in
 * the Windows directory, so that one can tell who ran vendor UI code. */
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

void NoteInRecord(LPCWSTR text, LPCWSTR name);

static BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

static BOOL WINAPI UiAddPort(PCWSTR server, HWND window, PCWSTR monitorName, PWSTR *portName) {
    (void)server, (void)window, (void)monitorName, (void)portName;
    return Fail(ERROR_NOT_SUPPORTED);
}

static BOOL WINAPI UiConfigurePort(PCWSTR server, HWND window, PCWSTR portName) {
    (void)server, (void)window, (void)portName;
    return Fail(ERROR_NOT_SUPPORTED);
}

static BOOL WINAPI UiDeletePort(PCWSTR server, HWND window, PCWSTR portName) {
    WCHAR object[MAX_PATH + 16] = L",XcvPort ";
    PRINTER_DEFAULTSW defaults = {NULL, NULL, SERVER_ACCESS_ADMINISTER};
    HANDLE xcv;
    DWORD needed = 0, status = ERROR_INVALID_PARAMETER;
    BOOL called;
    if (!portName || !*portName || lstrlenW(portName) >= MAX_PATH) return Fail(ERROR_INVALID_PARAMETER);
    /* A null window means no window: nothing is asked then. */
    if (window && MessageBoxW(window, portName, L"Delete this port?", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return Fail(ERROR_CANCELLED);
    if (server && *server) {
        /* \\server,XcvPort <port> for another machine. */
        if (lstrlenW(server) >= MAX_PATH) return Fail(ERROR_INVALID_PARAMETER);
        lstrcpyW(object, server);
        lstrcatW(object, L",XcvPort ");
    }
    lstrcatW(object, portName);
    if (!OpenPrinterW(object, &xcv, &defaults)) return FALSE;
    called = XcvDataW(xcv, L"DeletePort", (PBYTE)portName, (lstrlenW(portName) + 1) * sizeof(WCHAR), NULL, 0, &needed,
                      &status);
    ClosePrinter(xcv);
    if (!called) return FALSE;
    return status == ERROR_SUCCESS || Fail(status);
}

__declspec(dllexport) PMONITORUI WINAPI InitializePrintMonitorUI(VOID) {
    static MONITORUI functions = {sizeof(MONITORUI), UiAddPort, UiConfigurePort, UiDeletePort};
    return &functions;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    WCHAR process[MAX_PATH];
    (void)instance, (void)reserved;
    if (reason == DLL_PROCESS_ATTACH && GetModuleFileNameW(NULL, process, MAX_PATH) != 0)
        NoteInRecord(L"UI DLL loaded into ", process);
    return TRUE;
}

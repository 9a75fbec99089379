/* The example product's port monitor (vpmon.dll): its ports are the subkeys of
 * its key's Ports. It lists them, opens them as ports that take and drop what is
 * written, deletes them, and does nothing more.
 *
 * The spooler loads it from the system directory into its own process, so the
 * DLL's bitness is the spooler's: on 64-bit Windows a 64-bit DLL in the native
 * System32. Under Wine the spooler runs inside the program that calls it, so
 * there the DLL must be built for that program's bitness.
 *
 * Built with VPMON_XCV (vpxmon.dll, the product's monitor) it is a monitor as
 * Windows 2000 to 11 want one: no DeletePort, but the configuration interface
 * (XcvOpenPort, XcvDataPort, XcvClosePort) through which the spooler deletes a
 * port and names the UI DLL, vpmonui.dll. Without it (vpmon.dll) it is a
 * monitor as NT 4.0 wanted one, with its own DeletePort: kept as the case
 * where a port can go through DeletePortA only. Each port it deletes through
 * XcvDataPort is noted in the monitor's record, vpmon.log in the Windows
 * directory. */
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

typedef struct {
    HANDLE spooler;
    PMONITORREG reg;
    HANDLE ports; /* the monitor's Ports key, open while the spooler holds the monitor */
} Monitor;

static Monitor monitor;

/* The spooler's registry functions. Wine hands over ones that answer
 * ERROR_CALL_NOT_IMPLEMENTED, with a root that is a registry key until
 * InitializePrintMonitor2 returns; there the registry is asked directly. */
static LONG OpenKey(HANDLE key, LPCWSTR name, PHANDLE opened) {
    LONG error = monitor.reg->fpOpenKey(key, name, KEY_ALL_ACCESS, opened, monitor.spooler);
    return error != ERROR_CALL_NOT_IMPLEMENTED ? error : RegOpenKeyExW(key, name, 0, KEY_ALL_ACCESS, (PHKEY)opened);
}

static LONG EnumKey(DWORD index, LPWSTR name, PDWORD length) {
    LONG error = monitor.reg->fpEnumKey(monitor.ports, index, name, length, NULL, monitor.spooler);
    return error != ERROR_CALL_NOT_IMPLEMENTED ? error
                                               : RegEnumKeyExW(monitor.ports, index, name, length, NULL, NULL, NULL, NULL);
}

static BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

static BOOL WINAPI PortsList(HANDLE hMonitor, LPWSTR name, DWORD level, LPBYTE out, DWORD size,
                             LPDWORD needed, LPDWORD returned) {
    DWORD entry = level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W), length, i, count = 0;
    WCHAR port[MAX_PATH];
    LPWSTR text;
    (void)hMonitor, (void)name;
    if (level != 1 && level != 2) return Fail(ERROR_INVALID_LEVEL);
    *needed = *returned = 0;
    if (!monitor.ports) return TRUE;
    /* Records from the front, their names from the back. */
    for (; length = MAX_PATH, EnumKey(count, port, &length) == ERROR_SUCCESS; count++)
        *needed += entry + (length + 1) * sizeof(WCHAR);
    if (*needed > size) return Fail(ERROR_INSUFFICIENT_BUFFER);
    text = (LPWSTR)(out + *needed);
    for (i = 0; i < count && (length = MAX_PATH, EnumKey(i, port, &length) == ERROR_SUCCESS); i++) {
        text -= length + 1;
        lstrcpyW(text, port);
        ZeroMemory(out + i * entry, entry);
        ((PORT_INFO_2W *)(out + i * entry))->pPortName = text; /* the first field of PORT_INFO_1W too */
        if (level == 2) ((PORT_INFO_2W *)(out + i * entry))->fPortType = PORT_TYPE_WRITE;
    }
    *returned = i;
    return TRUE;
}

static BOOL WINAPI PortOpen(HANDLE hMonitor, LPWSTR name, PHANDLE port) {
    (void)name;
    *port = hMonitor;
    return TRUE;
}

static BOOL WINAPI PortStartDoc(HANDLE port, LPWSTR printer, DWORD job, DWORD level, LPBYTE info) {
    (void)port, (void)printer, (void)job, (void)level, (void)info;
    return TRUE;
}

static BOOL WINAPI PortWrite(HANDLE port, LPBYTE data, DWORD size, LPDWORD written) {
    (void)port, (void)data;
    *written = size;
    return TRUE;
}

static BOOL WINAPI PortEndOrClose(HANDLE port) {
    (void)port;
    return TRUE;
}

static BOOL WINAPI PortDelete(HANDLE hMonitor, LPWSTR name, HWND window, LPWSTR port) {
    LONG error;
    LPCWSTR c;
    (void)hMonitor, (void)name, (void)window;
    /* One key name: with a backslash it would name a key below another one. */
    for (c = port; c && *c; c++)
        if (*c == L'\\') return Fail(ERROR_INVALID_PARAMETER);
    if (!port || !*port) return Fail(ERROR_INVALID_PARAMETER);
    if (!monitor.ports) return Fail(ERROR_UNKNOWN_PORT);
    error = monitor.reg->fpDeleteKey(monitor.ports, port, monitor.spooler);
    if (error == ERROR_CALL_NOT_IMPLEMENTED) error = RegDeleteKeyW(monitor.ports, port);
    return error == ERROR_SUCCESS || Fail(error == ERROR_FILE_NOT_FOUND ? ERROR_UNKNOWN_PORT : (DWORD)error);
}

#ifdef VPMON_XCV
void NoteInRecord(LPCWSTR text, LPCWSTR name);

static BOOL WINAPI MonitorXcvOpen(HANDLE hMonitor, LPCWSTR object, ACCESS_MASK access, PHANDLE xcv) {
    (void)object;
    if (!(access & SERVER_ACCESS_ADMINISTER)) return Fail(ERROR_ACCESS_DENIED);
    *xcv = hMonitor;
    return TRUE;
}

/* "DeletePort" with the port's name, "MonitorUI" for the UI DLL's name; any
 * other command is not known: ERROR_INVALID_PARAMETER, as Windows' monitors say. */
static DWORD WINAPI MonitorXcvData(HANDLE xcv, LPCWSTR command, PBYTE in, DWORD inSize, PBYTE out, DWORD outSize,
                            PDWORD needed) {
    static const WCHAR ui[] = L"vpmonui.dll";
    LPCWSTR port = (LPCWSTR)in;
    (void)xcv;
    if (lstrcmpW(command, L"MonitorUI") == 0) {
        *needed = sizeof ui;
        if (outSize < sizeof ui || !out) return ERROR_INSUFFICIENT_BUFFER;
        CopyMemory(out, ui, sizeof ui);
        return ERROR_SUCCESS;
    }
    if (lstrcmpW(command, L"DeletePort") != 0) return ERROR_INVALID_PARAMETER;
    /* The name must end inside what was given. */
    if (!port || inSize < sizeof(WCHAR) || port[inSize / sizeof(WCHAR) - 1] != 0) return ERROR_INVALID_PARAMETER;
    if (!PortDelete(&monitor, NULL, NULL, (LPWSTR)port)) return GetLastError();
    NoteInRecord(L"port deleted through XcvDataPort: ", port);
    return ERROR_SUCCESS;
}

static BOOL WINAPI MonitorXcvClose(HANDLE xcv) {
    (void)xcv;
    return TRUE;
}
#endif

static VOID WINAPI MonitorShutdown(HANDLE hMonitor) {
    (void)hMonitor;
    if (monitor.ports && monitor.reg->fpCloseKey(monitor.ports, monitor.spooler) == ERROR_CALL_NOT_IMPLEMENTED)
        RegCloseKey(monitor.ports);
    ZeroMemory(&monitor, sizeof monitor);
}

__declspec(dllexport) LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE handle) {
    static MONITOR2 functions = {
        .cbSize = sizeof(MONITOR2), .pfnEnumPorts = PortsList, .pfnOpenPort = PortOpen,
        .pfnStartDocPort = PortStartDoc, .pfnWritePort = PortWrite, .pfnEndDocPort = PortEndOrClose,
        .pfnClosePort = PortEndOrClose, .pfnShutdown = MonitorShutdown,
#ifdef VPMON_XCV
        /* After NT 4.0 the spooler deletes ports through the Xcv functions;
         * Microsoft's documentation asks for no DeletePort. */
        .pfnXcvOpenPort = MonitorXcvOpen, .pfnXcvDataPort = MonitorXcvData, .pfnXcvClosePort = MonitorXcvClose,
#else
        .pfnDeletePort = PortDelete,
#endif
    };
    if (!init || !init->pMonitorReg || !handle) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    monitor.spooler = init->hSpooler;
    monitor.reg = init->pMonitorReg;
    if (OpenKey(init->hckRegistryRoot, L"Ports", &monitor.ports) != ERROR_SUCCESS) monitor.ports = NULL;
    *handle = &monitor;
    return &functions;
}

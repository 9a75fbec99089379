// One event in the Application log, for the Win32 side. Everything here takes
// its memory from the stack: the event of a run that ran out of memory is
// written too.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/exports.h"
#include "platform/win32/handles.h"

namespace platform {

namespace {

// Windows' own message file for events of any source, as the eventcreate
// command registers them: each ID from 1 to 1000 shows its first string.
constexpr char kMessageFile[] = "%SystemRoot%\\System32\\EventCreate.exe";
constexpr DWORD kTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

// The source's key under the Application log, with the message file, where the
// file is there; a source already registered is left as it is.
void RegisterSource(const char* source) {
    char file[MAX_PATH + 32];
    const UINT length = GetSystemDirectoryA(file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    lstrcatA(file, "\\EventCreate.exe");
    if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) return;
    char path[200];
    if (lstrlenA(source) > 100) return;
    wsprintfA(path, "%s\\%s", kEventSourcesKey, source);
    win32::UniqueKey key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        key.Put(), &disposition) != ERROR_SUCCESS ||
        disposition != REG_CREATED_NEW_KEY)
        return;
    RegSetValueExA(key.Get(), "EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(kMessageFile),
                   sizeof kMessageFile);
    RegSetValueExA(key.Get(), "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kTypesSupported),
                   sizeof kTypesSupported);
}

}  // namespace

bool WriteApplicationEvent(const char* source, EventType type, uint16_t id, const char* const* strings,
                           uint16_t count) {
    // advapi32 has them on the NT family only: looked up by name.
    using RegisterFunction = HANDLE(WINAPI*)(LPCSTR, LPCSTR);
    using ReportFunction = BOOL(WINAPI*)(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCSTR*, LPVOID);
    using DeregisterFunction = BOOL(WINAPI*)(HANDLE);
    const auto registerSource = win32::ExportedFunction<RegisterFunction>("advapi32.dll", "RegisterEventSourceA");
    const auto report = win32::ExportedFunction<ReportFunction>("advapi32.dll", "ReportEventA");
    const auto deregister = win32::ExportedFunction<DeregisterFunction>("advapi32.dll", "DeregisterEventSource");
    if (registerSource == nullptr || report == nullptr || deregister == nullptr) return false;
    RegisterSource(source);
    const HANDLE log = registerSource(nullptr, source);
    if (log == nullptr) return false;
    const WORD kind = type == EventType::Error ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE;
    const BOOL written = report(log, kind, 0, id, nullptr, count, 0, const_cast<LPCSTR*>(strings), nullptr);
    deregister(log);
    return written != FALSE;
}

}  // namespace platform

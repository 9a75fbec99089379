// 64-bit Windows for the Win32 side: whether Windows is 64-bit, its 32-bit
// system directory, and file operations that read a path as the native view
// does. Every function that not all Windows have is looked up by name.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/exports.h"
#include "platform/win32/windows_text.h"
#include "platform/win32/wow64.h"

namespace platform {

namespace {

template <typename Function>
Function Kernel32(const char* name) {
    return win32::ExportedFunction<Function>("kernel32.dll", name);
}

// Asked once; neither answer changes while the program runs. Plain globals:
// the program has one thread.
int g_windows64 = -1;
int g_sysnative = -1;

}  // namespace

unsigned ProgramBits() {
    return sizeof(void*) == 8 ? 64 : 32;
}

bool Is64BitWindows() {
    if (g_windows64 < 0) {
        BOOL wow64 = FALSE;
        using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
        const auto isWow64 = Kernel32<IsWow64ProcessFunction>("IsWow64Process");
        g_windows64 = ProgramBits() == 64 || (isWow64 != nullptr && isWow64(GetCurrentProcess(), &wow64) && wow64);
    }
    return g_windows64 != 0;
}

std::string GetSystemWow64Dir() {
    using GetDirFunction = UINT(WINAPI*)(LPSTR, UINT);
    const auto get = Kernel32<GetDirFunction>("GetSystemWow64DirectoryA");
    if (get == nullptr || !Is64BitWindows()) return std::string();
    return win32::TextFromWindows(get);
}

namespace win32 {

bool RedirectedProgram() {
    return ProgramBits() == 32 && Is64BitWindows();
}

std::string SysnativePath(const std::string& path) {
    const std::string system = GetSystemDir();
    if (system.empty() || path.size() <= system.size() + 1 || path.compare(0, system.size(), system) != 0 ||
        path[system.size()] != '\\')
        return std::string();
    const std::string windows = GetWindowsDir();
    const std::string alias = windows + "\\Sysnative";
    if (g_sysnative < 0) {
        // The alias is no directory of its own: FindFirstFile does not list it,
        // but its attributes are those of the native system directory.
        const DWORD attributes = GetFileAttributesA((alias + "\\").c_str());
        g_sysnative = !windows.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
                      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    return g_sysnative ? alias + path.substr(system.size()) : std::string();
}

RedirectionOff::RedirectionOff() {
    using DisableFunction = BOOL(WINAPI*)(PVOID*);
    const auto disable = Kernel32<DisableFunction>("Wow64DisableWow64FsRedirection");
    off_ = disable != nullptr && disable(&old_);
}

RedirectionOff::~RedirectionOff() {
    using RevertFunction = BOOL(WINAPI*)(PVOID);
    if (off_) Kernel32<RevertFunction>("Wow64RevertWow64FsRedirection")(old_);
}

}  // namespace win32

}  // namespace platform

// Files, directories and the process for the Win32 side.
#include <windows.h>

#include <cstdlib>
#include <new>
#include <string>

#include "platform/platform.h"

namespace platform {

namespace {

// GetWindowsDirectoryA or GetSystemDirectoryA, into a buffer sized to the answer.
std::string DirectoryFrom(UINT(WINAPI* get)(LPSTR, UINT)) {
    std::string dir(MAX_PATH, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        UINT got = get(&dir[0], static_cast<UINT>(dir.size()));
        if (got == 0) return std::string();
        // Too small: the answer is the size needed, terminator included.
        if (got >= dir.size()) {
            dir.assign(got + 1, '\0');
            continue;
        }
        dir.resize(got);
        // Only a root ("C:\") comes back with a backslash; the contract drops it.
        // Nothing else is cut: on a double-byte code page the last byte of a
        // directory's name may be 0x5C without being a backslash.
        if (dir.size() == 3 && dir[1] == ':' && dir[2] == '\\') dir.pop_back();
        return dir;
    }
    return std::string();
}

}  // namespace

std::string GetWindowsDir() {
    return DirectoryFrom(GetWindowsDirectoryA);
}

std::string GetSystemDir() {
    return DirectoryFrom(GetSystemDirectoryA);
}

bool DeleteFileAt(const std::string& path) {
    return DeleteFileA(path.c_str()) != 0;
}

bool RemoveEmptyDirectory(const std::string& path) {
    return RemoveDirectoryA(path.c_str()) != 0;
}

void ExitProcessWith(int code) {
    ExitProcess(static_cast<UINT>(code));
}

namespace {
void (*g_onNoMemory)() = nullptr;

// The handler takes itself out first: an allocation that fails while the
// failure is being reported must not come back here.
void NoMemory() {
    std::set_new_handler(nullptr);
    g_onNoMemory();
    std::abort();
}
}  // namespace

int CallWithNoMemoryHandler(int (*work)(const std::string& text), const std::string& text,
                            void (*onNoMemory)()) {
    g_onNoMemory = onNoMemory;
    const std::new_handler previous = std::set_new_handler(NoMemory);
    const int result = work(text);
    std::set_new_handler(previous);
    return result;
}

}  // namespace platform

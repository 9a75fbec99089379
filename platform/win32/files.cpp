// Files and directories for the Win32 side.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/handles.h"
#include "platform/win32/windows_text.h"
#include "platform/win32/wow64.h"

namespace platform {

namespace {

// GetWindowsDirectoryA or GetSystemDirectoryA, into a buffer sized to the answer.
std::string DirectoryFrom(UINT(WINAPI* get)(LPSTR, UINT)) {
    std::string dir = win32::TextFromWindows(get);
    // Only a root ("C:\") comes back with a backslash; the contract drops it.
    // Nothing else is cut: on a double-byte code page the last byte of a
    // directory's name may be 0x5C without being a backslash.
    if (dir.size() == 3 && dir[1] == ':' && dir[2] == '\\') dir.pop_back();
    return dir;
}

}  // namespace

std::string GetWindowsDir() {
    return DirectoryFrom(GetWindowsDirectoryA);
}

std::string GetSystemDir() {
    return DirectoryFrom(GetSystemDirectoryA);
}

namespace {

uint32_t DeleteWithError(const std::string& path) {
    if (DeleteFileA(path.c_str())) return 0;
    const DWORD error = GetLastError();
    return error != 0 ? error : kErrorAccessDenied;
}

// What an operation that cannot reach the native view gives.
constexpr uint32_t kErrorNotSupported = 50;

// GetLastError after a failure; `otherwise` where Windows left it at 0.
uint32_t LastErrorOr(uint32_t otherwise) {
    const DWORD error = GetLastError();
    return error != 0 ? error : otherwise;
}

}  // namespace

uint32_t DeleteFileWithError(const std::string& path, FileView view) {
    if (view == FileView::Own) return DeleteWithError(path);
    return win32::Natively(path, true, DeleteWithError, kErrorNotSupported);
}

uint32_t RemoveDirectoryWithError(const std::string& path, FileView view) {
    const auto remove = [](const std::string& seen) -> uint32_t {
        if (RemoveDirectoryA(seen.c_str())) return 0;
        const DWORD error = GetLastError();
        return error != 0 ? error : kErrorAccessDenied;
    };
    return view == FileView::Own ? remove(path) : win32::Natively(path, true, remove, kErrorNotSupported);
}

uint32_t GetFileAttributesWithError(const std::string& path, uint32_t* attributes, FileView view) {
    const auto get = [attributes](const std::string& seen) -> uint32_t {
        const DWORD got = GetFileAttributesA(seen.c_str());
        if (got == INVALID_FILE_ATTRIBUTES) return LastErrorOr(kErrorFileNotFound);
        *attributes = got;
        return 0;
    };
    return view == FileView::Own ? get(path) : win32::Natively(path, true, get, kErrorNotSupported);
}

uint32_t SetFileAttributesWithError(const std::string& path, uint32_t attributes, FileView view) {
    const auto set = [attributes](const std::string& seen) -> uint32_t {
        return SetFileAttributesA(seen.c_str(), attributes) ? 0 : LastErrorOr(kErrorAccessDenied);
    };
    return view == FileView::Own ? set(path) : win32::Natively(path, true, set, kErrorNotSupported);
}

uint32_t DeleteAtNextRestartWithError(const std::string& path, FileView view) {
    // The session manager reads the path as it is written here: never through
    // the alias, which only 32-bit programs have.
    const auto schedule = [](const std::string& seen) -> uint32_t {
        return MoveFileExA(seen.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 0 : LastErrorOr(kErrorAccessDenied);
    };
    return view == FileView::Own ? schedule(path) : win32::Natively(path, false, schedule, kErrorNotSupported);
}

uint32_t MoveFileWithError(const std::string& from, const std::string& to, FileView view) {
    const auto move = [](const std::string& source, const std::string& target) -> uint32_t {
        return MoveFileA(source.c_str(), target.c_str()) ? 0 : LastErrorOr(kErrorAccessDenied);
    };
    if (view == FileView::Own || !win32::RedirectedProgram()) return move(from, to);
    const std::string source = win32::SysnativePath(from);
    const std::string target = win32::SysnativePath(to);
    if (!source.empty() && !target.empty()) return move(source, target);
    const win32::RedirectionOff off;
    return off.Off() ? move(from, to) : kErrorNotSupported;
}

bool IsOnNetwork(const std::string& path) {
    const auto separator = [](const std::string& text, std::size_t at) {
        return at < text.size() && (text[at] == '\\' || text[at] == '/');
    };
    std::string rest = path;
    if (separator(path, 0) && separator(path, 1)) {
        // \\?\ and \\.\ name a local path or a device, \\?\UNC\ a share; anything else is a share.
        if ((path.size() < 3 || (path[2] != '?' && path[2] != '.')) || !separator(path, 3)) return true;
        rest = path.substr(4);
        const auto upper = [&rest](std::size_t at) { return static_cast<char>(rest[at] & ~0x20); };
        if (rest.size() >= 4 && upper(0) == 'U' && upper(1) == 'N' && upper(2) == 'C' && separator(rest, 3))
            return true;
    }
    if (rest.size() < 2 || rest[1] != ':') return false;
    const char root[] = {rest[0], ':', '\\', '\0'};
    return GetDriveTypeA(root) == DRIVE_REMOTE;
}

uint32_t ListDirectoryWithError(const std::string& dir, std::vector<std::string>* names, FileView view) {
    WIN32_FIND_DATAA found;
    uint32_t error = kErrorNotSupported;
    const auto first = [&found, &error](const std::string& seen) {
        const HANDLE search = FindFirstFileA((seen + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) error = LastErrorOr(kErrorFileNotFound);
        return search;
    };
    const HANDLE search = view == FileView::Own ? first(dir) : win32::Natively(dir, true, first, INVALID_HANDLE_VALUE);
    if (search == INVALID_HANDLE_VALUE) return error;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names->push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return 0;
}

bool ReadWholeFile(const std::string& path, std::string* content) {
    const win32::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    content->clear();
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) return false;
        if (got == 0) return true;
        content->append(buffer, got);
    }
}

namespace {

bool WriteAll(HANDLE file, const std::string& text) {
    DWORD written = 0;
    return text.empty() || (WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                            written == text.size());
}

}  // namespace

uint32_t EditFileInPlace(const std::string& path, FileEdit edit) {
    // No sharing: nobody reads a half-written file or writes between our read and our write.
    const win32::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return GetLastError();
    std::string content;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) return GetLastError();
        if (got == 0) break;
        content.append(buffer, got);
    }
    const std::string edited = edit(content);
    std::size_t same = 0;
    while (same < content.size() && same < edited.size() && content[same] == edited[same]) ++same;
    if (same == content.size() && same == edited.size()) return 0;
    // The new length first: where the disk has no room, nothing has changed yet.
    if (edited.size() > content.size()) {
        if (SetFilePointer(file.Get(), static_cast<LONG>(edited.size()), nullptr, FILE_BEGIN) ==
                INVALID_SET_FILE_POINTER ||
            !SetEndOfFile(file.Get()))
            return GetLastError();
    }
    if (SetFilePointer(file.Get(), static_cast<LONG>(same), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return GetLastError();
    if (!WriteAll(file.Get(), edited.substr(same)) || !SetEndOfFile(file.Get()) || !FlushFileBuffers(file.Get()))
        return GetLastError();
    return 0;
}

struct LogFileState {
    win32::UniqueFile file;
};

void Discard(LogFileState* state) {
    delete state;
}

LogFile OpenLogFile(const std::string& path) {
    win32::UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return LogFile();
    return LogFile(std::make_unique<LogFileState>(LogFileState{std::move(file)}));
}

bool WriteToLog(const LogFile& log, const std::string& text) {
    if (!log.IsOpen()) return false;
    const HANDLE file = log.State()->file.Get();
    // FILE_APPEND_DATA is unknown to the 95 family: the end is sought for every
    // line instead, so that lines another program added meanwhile stay.
    if (SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return false;
    return WriteAll(file, text);
}

bool WriteLogLineWithoutHeap(const LogFile& log, const char* fields) {
    if (!log.IsOpen()) return false;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char line[256];
    const int length = wsprintfA(line, "%04u-%02u-%02u %02u:%02u:%02u.%03u\t%.200s\r\n", now.wYear, now.wMonth,
                                 now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, fields);
    const HANDLE file = log.State()->file.Get();
    DWORD written = 0;
    if (SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return false;
    return WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr) && written == DWORD(length);
}

bool SetCurrentDir(const std::string& path) {
    return SetCurrentDirectoryA(path.c_str()) != FALSE;
}

std::string FullPathOf(const std::string& path) {
    return win32::TextFromWindows(
        [&path](char* buffer, DWORD size) { return GetFullPathNameA(path.c_str(), size, buffer, nullptr); });
}

std::string ShortPathOf(const std::string& path) {
    return win32::TextFromWindows(
        [&path](char* buffer, DWORD size) { return GetShortPathNameA(path.c_str(), buffer, size); });
}

}  // namespace platform

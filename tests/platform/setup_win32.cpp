// The platform suite's setup on real Windows (run under Wine): scratch files in
// C:\zevtest, profile files in the Windows directory, scratch keys under HKLM and
// printers written where the spooler keeps them, all with Windows' own calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/win32/handles.h"

// <windows.h> maps these to their A/W forms; the suite means setup's own.
#undef RegDeleteTree
#undef AddPrinter

#include "tests/platform/machine_setup.h"

namespace setup {

namespace {

using platform::win32::UniqueFile;
using platform::win32::UniqueKey;

const char kScratchDir[] = "C:\\zevtest";
const char kScratchSoftware[] = "Software\\ZevSuite";
const char kScratchSoftware32[] = "Software\\Wow6432Node\\ZevSuite";  // the 32-bit view's
const char kPrintersKey[] = "System\\CurrentControlSet\\Control\\Print\\Printers";
const char kMonitorsKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors";
// Printers and monitors the suite makes are all named with this prefix, so that
// cleaning up can never touch one that belongs to the machine.
const char kScratchPrefix[] = "ZevSuite";

std::set<std::string> g_windowsFiles;
std::vector<HANDLE> g_heldFiles;
std::vector<HMODULE> g_loadedImages;
std::string g_startDirectory;  // the current directory before SetCurrentDirectory; empty when unchanged

// A test whose machine could not be set up cannot pass.
void Fail(const std::string& what, DWORD error) {
    ADD_FAILURE() << "setup failed: " << what << " (error " << error << ")";
}

std::string WindowsDir() {
    char buffer[MAX_PATH + 1];
    UINT got = GetWindowsDirectoryA(buffer, sizeof buffer);
    if (got == 0 || got >= sizeof buffer) {
        Fail("GetWindowsDirectoryA", GetLastError());
        return "C:\\windows";
    }
    std::string dir(buffer, got);
    if (!dir.empty() && dir.back() == '\\') dir.pop_back();
    return dir;
}

bool StartsWithScratchPrefix(const std::string& name) {
    return _strnicmp(name.c_str(), kScratchPrefix, sizeof kScratchPrefix - 1) == 0;
}

// A directory and everything in it, read-only files included.
void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = dir + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

// Paths are walked one name at a time, each opened relative to its parent: Wine's
// ANSI registry calls refuse a whole path longer than 260 characters
// (ERROR_MORE_DATA), though every single name may have up to 255.
// The names between backslashes, walked with Windows' own CharNextA: on a
// double-byte code page a character's second byte may be 0x5C.
std::vector<std::string> PathNames(const std::string& path) {
    std::vector<std::string> names;
    std::string name;
    for (const char* at = path.c_str(); *at != '\0';) {
        const char* next = CharNextA(at);
        if (next == at + 1 && *at == '\\') {
            if (!name.empty()) names.push_back(name);
            name.clear();
        } else {
            name.append(at, next);
        }
        at = next;
    }
    if (!name.empty()) names.push_back(name);
    return names;
}

UniqueKey OpenKey(const std::string& path, REGSAM sam) {
    std::vector<std::string> names = PathNames(path);
    UniqueKey key;
    HKEY parent = HKEY_LOCAL_MACHINE;
    for (std::size_t i = 0; i < names.size(); ++i) {
        UniqueKey next;
        REGSAM access = i + 1 == names.size() ? sam : KEY_READ;
        if (RegOpenKeyExA(parent, names[i].c_str(), 0, access, next.Put()) != ERROR_SUCCESS)
            return UniqueKey();
        key = std::move(next);
        parent = key.Get();
    }
    return key;
}

UniqueKey CreateKey(const std::string& path) {
    UniqueKey key;
    HKEY parent = HKEY_LOCAL_MACHINE;
    for (const std::string& name : PathNames(path)) {
        UniqueKey next;
        LONG rc = RegCreateKeyExA(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, next.Put(), nullptr);
        if (rc != ERROR_SUCCESS) {
            Fail("RegCreateKeyExA " + path, rc);
            return UniqueKey();
        }
        key = std::move(next);
        parent = key.Get();
    }
    return key;
}

void SetValue(const std::string& path, const std::string& name, DWORD type, const void* data,
              DWORD size) {
    UniqueKey key = CreateKey(path);
    if (!key.Valid()) return;
    LONG rc = RegSetValueExA(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    if (rc != ERROR_SUCCESS) Fail("RegSetValueExA " + path + " " + name, rc);
}

std::vector<std::string> SubkeysOf(HKEY key) {
    std::vector<std::string> names;
    char name[260];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, size);
    }
    return names;
}

// Subkey `name` of `parent` and everything below it. RegDeleteKeyA refuses a key
// with subkeys (NT), so the leaves go first.
void DeleteTreeBelow(HKEY parent, const std::string& name) {
    UniqueKey key;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return;
    for (const std::string& child : SubkeysOf(key.Get())) DeleteTreeBelow(key.Get(), child);
    key.Reset();
    RegDeleteKeyA(parent, name.c_str());
}

std::vector<std::string> Subkeys(const std::string& path) {
    UniqueKey key = OpenKey(path, KEY_READ);
    return key.Valid() ? SubkeysOf(key.Get()) : std::vector<std::string>();
}

std::string ReadString(const std::string& path, const std::string& name) {
    UniqueKey key = OpenKey(path, KEY_READ);
    if (!key.Valid()) return std::string();
    std::string data(1024, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                         &size) != ERROR_SUCCESS)
        return std::string();
    data.resize(size);
    while (!data.empty() && data.back() == '\0') data.pop_back();
    return data;
}

std::string PrinterKey(const std::string& name) {
    return std::string(kPrintersKey) + "\\" + name;
}

}  // namespace

unsigned ActiveCodePage() {
    return GetACP();
}

std::string FreshScratch() {
    CleanScratch();
    if (!CreateDirectoryA(kScratchDir, nullptr)) Fail("CreateDirectoryA C:\\zevtest", GetLastError());
    return kScratchDir;
}

void CleanScratch() {
    for (HANDLE held : g_heldFiles) CloseHandle(held);
    g_heldFiles.clear();
    for (HMODULE image : g_loadedImages) FreeLibrary(image);
    g_loadedImages.clear();
    if (!g_startDirectory.empty()) ::SetCurrentDirectoryA(g_startDirectory.c_str());  // so the scratch can go
    g_startDirectory.clear();
    RemoveTree(kScratchDir);
    for (const std::string& name : g_windowsFiles) RemoveWindowsFile(name);
    g_windowsFiles.clear();
    RegDeleteTree(kScratchSoftware);
    RegDeleteTree(kScratchSoftware32);
    for (const std::string& name : Subkeys(kPrintersKey))
        if (StartsWithScratchPrefix(name)) RegDeleteTree(PrinterKey(name));
    for (const std::string& name : Subkeys(kMonitorsKey))
        if (StartsWithScratchPrefix(name)) RegDeleteTree(std::string(kMonitorsKey) + "\\" + name);
}

void MakeDir(const std::string& path) {
    // With its missing parents, as the fake's AddDirectory does.
    std::string prefix = path.substr(0, 2);  // "C:"
    for (const std::string& name : PathNames(path.substr(2))) {
        prefix += "\\" + name;
        CreateDirectoryA(prefix.c_str(), nullptr);
    }
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        Fail("CreateDirectoryA " + path, GetLastError());
}

void MakeFile(const std::string& path, const std::string& content) {
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        Fail("CreateFileA " + path, GetLastError());
        return;
    }
    DWORD written = 0;
    if (!WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written,
                   nullptr) ||
        written != content.size())
        Fail("WriteFile " + path, GetLastError());
}

void ChangeDirectory(const std::string& path) {
    if (g_startDirectory.empty()) {
        char start[MAX_PATH];
        const DWORD size = GetCurrentDirectoryA(MAX_PATH, start);
        if (size == 0 || size >= MAX_PATH) Fail("GetCurrentDirectoryA", GetLastError());
        g_startDirectory = start;
    }
    if (!::SetCurrentDirectoryA(path.c_str())) Fail("SetCurrentDirectoryA " + path, GetLastError());
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void SetReadOnly(const std::string& path) {
    if (!SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY))
        Fail("SetFileAttributesA " + path, GetLastError());
}

void HoldOpen(const std::string& path) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        Fail("CreateFileA (no sharing) " + path, GetLastError());
    else
        g_heldFiles.push_back(file);
}

namespace {

// The holder is a thread of its own: a mutex belongs to a thread, and one that
// ends while holding it leaves it abandoned, as a process that ends would.
struct LockHolder {
    std::string name;
    HANDLE held = nullptr;
    HANDLE end = nullptr;
};
LockHolder g_lock;
HANDLE g_lockThread = nullptr;

DWORD WINAPI HoldLock(void*) {
    const DWORD version = GetVersion();
    const bool sessions = (version & 0x80000000u) == 0 && LOBYTE(LOWORD(version)) >= 5;
    const HANDLE mutex = CreateMutexA(nullptr, TRUE, ((sessions ? "Global\\" : "") + g_lock.name).c_str());
    SetEvent(g_lock.held);
    WaitForSingleObject(g_lock.end, INFINITE);
    CloseHandle(mutex);  // still owned: closing the handle does not release it
    return 0;
}

}  // namespace

void HoldProgramLock(const std::string& name) {
    g_lock.name = name;
    g_lock.held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_lock.end = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_lockThread = CreateThread(nullptr, 0, HoldLock, nullptr, 0, nullptr);
    if (g_lockThread == nullptr) Fail("CreateThread", GetLastError());
    WaitForSingleObject(g_lock.held, INFINITE);
}

void AbandonProgramLock() {
    SetEvent(g_lock.end);
    WaitForSingleObject(g_lockThread, INFINITE);
    for (HANDLE h : {g_lockThread, g_lock.held, g_lock.end}) CloseHandle(h);
}

void MakeLoadedImage(const std::string& path) {
    // A copy of this very program: loaded, it is mapped as an image, as a DLL is.
    char self[MAX_PATH];
    const DWORD got = GetModuleFileNameA(nullptr, self, sizeof self);
    if (got == 0 || got >= sizeof self || !CopyFileA(self, path.c_str(), TRUE))
        return Fail("CopyFileA " + path, GetLastError());
    const HMODULE image = LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (image == nullptr) return Fail("LoadLibraryExA " + path, GetLastError());
    g_loadedImages.push_back(image);
}

std::string ReadWindowsFile(const std::string& name) {
    g_windowsFiles.insert(name);
    UniqueFile file(CreateFileA((WindowsDir() + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return std::string();
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got != 0) content.append(buffer, got);
    return content;
}

std::string RegReadData(const std::string& path, const std::string& name) {
    UniqueKey key = OpenKey(path, KEY_READ);
    if (!key.Valid()) return std::string();
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return std::string();
    std::string data(size, '\0');
    if (size != 0 && RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]),
                                      &size) != ERROR_SUCCESS)
        return std::string();
    data.resize(size);
    return data;
}

void WriteWindowsFile(const std::string& name, const std::string& content) {
    g_windowsFiles.insert(name);
    MakeFile(WindowsDir() + "\\" + name, content);
}

void RemoveWindowsFile(const std::string& name) {
    std::string path = WindowsDir() + "\\" + name;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

void RegCreate(const std::string& path) {
    CreateKey(path);
}

void RegSetDword(const std::string& path, const std::string& name, uint32_t value) {
    DWORD data = value;
    SetValue(path, name, REG_DWORD, &data, sizeof data);
}

void RegSetString(const std::string& path, const std::string& name, const std::string& value) {
    SetValue(path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void RegSetBinary(const std::string& path, const std::string& name, const std::string& data) {
    SetValue(path, name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

void RegDeleteTree(const std::string& path) {
    std::size_t cut = path.find_last_of('\\');
    if (cut == std::string::npos) {
        DeleteTreeBelow(HKEY_LOCAL_MACHINE, path);
        return;
    }
    UniqueKey parent = OpenKey(path.substr(0, cut), KEY_READ);
    if (parent.Valid()) DeleteTreeBelow(parent.Get(), path.substr(cut + 1));
}

bool RegKeyExists(const std::string& path) {
    return OpenKey(path, KEY_READ).Valid();
}

bool RegValueExists(const std::string& path, const std::string& name) {
    UniqueKey key = OpenKey(path, KEY_READ);
    return key.Valid() &&
           RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
}

void AddPrinter(const std::string& name, const std::string& port, const std::string& comment) {
    const std::string key = PrinterKey(name);
    RegSetString(key, "Name", name);
    RegSetString(key, "Port", port);
    RegSetString(key, "Printer Driver", "Generic Driver");
    RegSetString(key, "Print Processor", "winprint");
    RegSetString(key, "Datatype", "RAW");
    RegSetString(key, "Description", comment);
    RegSetString(key, "Location", "");
    RegSetString(key, "Share Name", "");
    RegSetString(key, "Separator File", "");
    RegSetString(key, "Parameters", "");
    RegSetDword(key, "Attributes", PRINTER_ATTRIBUTE_LOCAL);
    RegSetDword(key, "Priority", 1);
    RegSetDword(key, "Default Priority", 0);
    RegSetDword(key, "StartTime", 0);
    RegSetDword(key, "UntilTime", 0);
}

std::string PrinterPort(const std::string& name) {
    return ReadString(PrinterKey(name), "Port");
}

std::string PrinterComment(const std::string& name) {
    return ReadString(PrinterKey(name), "Description");
}

void RemovePrinter(const std::string& name) {
    RegDeleteTree(PrinterKey(name));
}

}  // namespace setup

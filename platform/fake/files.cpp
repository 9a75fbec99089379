// The fake machine's file system: Windows paths resolved as Windows resolves
// them, names compared without case and kept as first spelt.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "platform/fake/machine_state.h"

namespace fake {
namespace detail {

namespace {

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

void ApplyNames(const std::string& rest, FullPath* full) {
    for (std::string& name : SplitAtBackslashes(rest)) {
        if (name == "..") {
            if (!full->names.empty()) full->names.pop_back();  // ".." at a root stays there
        } else if (name != ".") {
            full->names.push_back(std::move(name));
        }
    }
    full->trailingBackslash = EndsWithChar(rest, '\\');
    // Windows drops trailing dots and blanks from the last name: "a.txt." is a.txt.
    if (!full->trailingBackslash && !full->names.empty()) {
        std::string& last = full->names.back();
        while (EndsWithChar(last, '.') || EndsWithChar(last, ' ')) last.pop_back();
        if (last.empty()) full->names.pop_back();
    }
}

}  // namespace

FullPath Resolve(const std::string& given) {
    std::string path = given;
    for (std::size_t at = FindChar(path, '/'); at != std::string::npos; at = FindChar(path, '/', at + 1))
        path[at] = '\\';
    FullPath full;
    if (path.empty()) return full;
    const FullPath& current = M().currentDir;
    std::string rest;

    if (path.compare(0, 2, "\\\\") == 0) {
        // \\server\share is the root; both names are needed.
        const std::size_t serverEnd = FindChar(path, '\\', 2);
        if (serverEnd == std::string::npos) return full;
        // Runs of backslashes between the two names count as one here too.
        const std::size_t shareStart = path.find_first_not_of('\\', serverEnd);
        if (shareStart == std::string::npos) return full;
        const std::size_t shareEnd = FindChar(path, '\\', shareStart);
        const std::string server = path.substr(2, serverEnd - 2);
        const std::string share = path.substr(shareStart, shareEnd == std::string::npos
                                                              ? std::string::npos
                                                              : shareEnd - shareStart);
        if (server.empty() || share.empty()) return full;
        full.root = "\\\\" + server + "\\" + share;
        if (shareEnd != std::string::npos) rest = path.substr(shareEnd);
    } else if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
        const std::string drive{static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))), ':'};
        rest = path.substr(2);
        full.root = drive;
        // "X:name" is relative to the current directory when that is on X:,
        // else to X:'s root (the other drives' own current directories are not kept).
        if ((rest.empty() || rest[0] != '\\') && SameName(current.root, drive)) full.names = current.names;
    } else if (path[0] == '\\') {
        full.root = current.root;
        rest = path;
    } else {
        full.root = current.root;
        full.names = current.names;
        rest = path;
    }
    ApplyNames(rest, &full);
    full.valid = true;
    return full;
}

std::string KeyOf(const FullPath& path) {
    std::string key = Fold(path.root);
    for (const std::string& name : path.names) key += "\\" + Fold(name);
    return key;
}

std::string SpellingOf(const FullPath& path) {
    std::string spelling = path.root;
    for (const std::string& name : path.names) spelling += "\\" + name;
    if (path.names.empty()) spelling += "\\";
    return spelling;
}

namespace {

bool StartsWithNames(const FullPath& path, const FullPath& dir) {
    if (!SameName(path.root, dir.root) || path.names.size() < dir.names.size()) return false;
    for (std::size_t i = 0; i < dir.names.size(); ++i)
        if (!SameName(path.names[i], dir.names[i])) return false;
    return true;
}

// Below system32, what a 32-bit program reaches in the native directory all the same.
bool ExemptFromRedirection(const std::vector<std::string>& names, std::size_t at) {
    if (at >= names.size()) return false;
    for (const char* exempt : {"spool", "catroot", "catroot2", "logfiles", "driverstore"})
        if (SameName(names[at], exempt)) return true;
    return at + 1 < names.size() && SameName(names[at], "drivers") && SameName(names[at + 1], "etc");
}

}  // namespace

FullPath Seen(const std::string& path, platform::FileView view) {
    FullPath full = Resolve(path);
    const Machine& m = M();
    if (!full.valid || view == platform::FileView::Native || m.windowsBits != 64 || m.programBits != 32) return full;
    const FullPath windows = Resolve(m.windowsDir);
    const std::size_t at = windows.names.size();
    if (!StartsWithNames(full, windows) || full.names.size() <= at) return full;
    std::string& name = full.names[at];
    if (SameName(name, "system32") && !ExemptFromRedirection(full.names, at + 1))
        name = "SysWOW64";
    else if (SameName(name, "Sysnative") && m.sysnative)
        name = "system32";
    return full;
}

}  // namespace detail

namespace {

using detail::FileEntry;
using detail::FullPath;
using detail::M;

FullPath ResolveForSetup(const std::string& path) {
    FullPath full = detail::Resolve(path);
    if (!full.valid) throw std::invalid_argument("fake machine: not a usable path: " + path);
    return full;
}

FileEntry* Find(const FullPath& path) {
    if (!path.valid || path.names.empty()) return nullptr;
    auto found = M().files.find(detail::KeyOf(path));
    return found == M().files.end() ? nullptr : &found->second;
}

bool HasChildren(const std::string& key) {
    const std::string prefix = key + "\\";
    auto next = M().files.lower_bound(prefix);
    return next != M().files.end() && next->first.compare(0, prefix.size(), prefix) == 0;
}

// Makes the first `depth` names of `path` into directories, as far as they are missing.
void MakeDirectories(const FullPath& path, std::size_t depth) {
    FullPath prefix = path;
    prefix.names.clear();
    std::string spelling = path.root;
    for (std::size_t i = 0; i < depth; ++i) {
        prefix.names.push_back(path.names[i]);
        auto inserted = M().files.emplace(detail::KeyOf(prefix), FileEntry{});
        FileEntry& entry = inserted.first->second;
        if (inserted.second) {
            entry.spelling = spelling + "\\" + path.names[i];
            entry.directory = true;
        } else if (!entry.directory) {
            throw std::invalid_argument("fake machine: a file stands where a directory should: " +
                                        entry.spelling);
        }
        spelling = entry.spelling;
    }
}

FileEntry& ExistingEntry(const std::string& path) {
    FileEntry* entry = Find(ResolveForSetup(path));
    if (entry == nullptr) throw std::invalid_argument("fake machine: no such file or directory: " + path);
    return *entry;
}

}  // namespace

void SetCurrentDirectory(const std::string& path) {
    FullPath full = ResolveForSetup(path);
    full.trailingBackslash = false;
    M().currentDir = full;
}

void AddDirectory(const std::string& path) {
    const FullPath full = ResolveForSetup(path);
    MakeDirectories(full, full.names.size());
}

void AddFile(const std::string& path, const std::string& content) {
    const FullPath full = ResolveForSetup(path);
    if (full.names.empty()) throw std::invalid_argument("fake machine: a root is not a file: " + path);
    MakeDirectories(full, full.names.size() - 1);
    FileEntry* entry = Find(full);
    if (entry != nullptr && entry->directory)
        throw std::invalid_argument("fake machine: a directory stands where a file should: " + path);
    if (entry == nullptr) {
        FullPath parent = full;
        parent.names.pop_back();
        const FileEntry* parentEntry = Find(parent);
        entry = &M().files[detail::KeyOf(full)];
        entry->spelling = (parentEntry ? parentEntry->spelling : full.root) + "\\" + full.names.back();
    }
    entry->content = content;
    // Never reused, not even after a Reset: cached parses of profile files
    // are told apart by it.
    static uint64_t lastVersion = 0;
    entry->version = ++lastVersion;
}

void SetFileLocked(const std::string& path, bool locked) {
    ExistingEntry(path).locked = locked;
}

void SetReadOnly(const std::string& path, bool readOnly) {
    ExistingEntry(path).readOnly = readOnly;
}

void SetFileLoaded(const std::string& path, bool loaded) {
    ExistingEntry(path).loaded = loaded;
}

void SetFileDenied(const std::string& path, bool denied) {
    ExistingEntry(path).denied = denied;
}

void SetRemoteDrive(char letter) {
    M().remoteDrives.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
}

void SetDiskFull(bool full) {
    M().diskFull = full;
}

bool FileExists(const std::string& path) {
    const FileEntry* entry = Find(detail::Resolve(path));
    return entry != nullptr && !entry->directory;
}

bool DirectoryExists(const std::string& path) {
    const FullPath full = detail::Resolve(path);
    if (full.valid && full.names.empty()) return true;  // roots always exist
    const FileEntry* entry = Find(full);
    return entry != nullptr && entry->directory;
}

std::vector<std::string> AllPaths() {
    std::vector<std::string> paths;
    for (const auto& item : M().files) paths.push_back(item.second.spelling);
    std::sort(paths.begin(), paths.end());
    return paths;
}

void RemovePath(const std::string& path) {
    const FullPath full = detail::Resolve(path);
    if (!full.valid || full.names.empty()) return;
    const std::string key = detail::KeyOf(full);
    const std::string below = key + "\\";
    auto& files = M().files;
    for (auto it = files.lower_bound(key); it != files.end();) {
        if (it->first != key && it->first.compare(0, below.size(), below) != 0) break;
        it = files.erase(it);
    }
}

bool ReadFileContent(const std::string& path, std::string* content) {
    const FileEntry* entry = Find(detail::Resolve(path));
    if (entry == nullptr || entry->directory) return false;
    *content = entry->content;
    return true;
}

}  // namespace fake

namespace platform {

using fake::detail::M;
using fake::detail::Record;

std::string GetWindowsDir() {
    Record("GetWindowsDirectory");
    return M().windowsDir;
}

std::string GetSystemDir() {
    Record("GetSystemDirectory");
    return fake::detail::SystemDir();
}

namespace {

// What a path that is not there gives: 2 in a directory that is, 3 where the
// directory is missing too.
uint32_t NotThereError(const fake::detail::FullPath& full) {
    fake::detail::FullPath parent = full;
    if (!parent.names.empty()) parent.names.pop_back();
    if (parent.names.empty()) return kErrorFileNotFound;
    const auto found = M().files.find(fake::detail::KeyOf(parent));
    return found != M().files.end() && found->second.directory ? kErrorFileNotFound : kErrorPathNotFound;
}

std::string ViewNote(FileView view) {
    return view == FileView::Native ? " (native)" : "";
}

}  // namespace

uint32_t DeleteFileWithError(const std::string& path, FileView view) {
    Record("DeleteFile " + path + ViewNote(view));
    const fake::detail::FullPath full = fake::detail::Seen(path, view);
    if (!full.valid || full.names.empty()) return kErrorPathNotFound;
    // "name\" names a directory: a file under that name is not found.
    if (full.trailingBackslash) return kErrorFileNotFound;
    auto found = M().files.find(fake::detail::KeyOf(full));
    if (found == M().files.end()) return NotThereError(full);
    const fake::detail::FileEntry& entry = found->second;
    if (entry.directory) return kErrorAccessDenied;
    if (entry.locked) return kErrorSharingViolation;
    if (entry.readOnly || entry.loaded || entry.denied) return kErrorAccessDenied;
    M().files.erase(found);
    return 0;
}

uint32_t GetFileAttributesWithError(const std::string& path, uint32_t* attributes, FileView view) {
    const fake::detail::FullPath full = fake::detail::Seen(path, view);
    if (!full.valid) return kErrorInvalidName;
    if (full.names.empty()) {
        *attributes = kAttrDirectory;
        return 0;
    }
    const auto found = M().files.find(fake::detail::KeyOf(full));
    if (found == M().files.end()) return NotThereError(full);
    const fake::detail::FileEntry& entry = found->second;
    if (!entry.directory && full.trailingBackslash) return kErrorInvalidName;  // a file named as a directory is not there
    uint32_t got = (entry.directory ? kAttrDirectory : 0) | (entry.readOnly ? kAttrReadOnly : 0);
    *attributes = got != 0 ? got : kAttrNormal;
    return 0;
}

uint32_t SetFileAttributesWithError(const std::string& path, uint32_t attributes, FileView view) {
    Record("SetFileAttributes " + path + " " + std::to_string(attributes) + ViewNote(view));
    const fake::detail::FullPath full = fake::detail::Seen(path, view);
    if (!full.valid || full.names.empty()) return kErrorInvalidName;
    const auto found = M().files.find(fake::detail::KeyOf(full));
    if (found == M().files.end()) return NotThereError(full);
    found->second.readOnly = (attributes & kAttrReadOnly) != 0;
    return 0;
}

uint32_t DeleteAtNextRestartWithError(const std::string& path, FileView view) {
    Record("MoveFileEx " + path + ViewNote(view));
    if (M().windows95) return kErrorCallNotImplemented;
    // Kept as the NT family keeps it: pairs of source and target, a NUL after
    // each, the target empty for a deletion, one more NUL at the end.
    const std::string key = "System\\CurrentControlSet\\Control\\Session Manager";
    std::shared_ptr<fake::detail::RegNode> node = fake::detail::CreateKey(key);
    std::string data;
    if (const RegValue* old = fake::detail::FindValue(*node, "PendingFileRenameOperations")) data = old->data;
    if (!data.empty() && data.back() == '\0') data.pop_back();
    // The text as given: the session manager reads it at boot, unredirected.
    data += "\\??\\" + path + std::string(1, '\0') + std::string(1, '\0') + std::string(1, '\0');
    fake::detail::SetValue(*node, "PendingFileRenameOperations", 7, data);
    return 0;
}

uint32_t MoveFileWithError(const std::string& from, const std::string& to, FileView view) {
    Record("MoveFile " + from + "|" + to + ViewNote(view));
    const fake::detail::FullPath source = fake::detail::Seen(from, view);
    const fake::detail::FullPath target = fake::detail::Seen(to, view);
    if (!source.valid || !target.valid || source.names.empty() || target.names.empty()) return kErrorAccessDenied;
    auto& files = M().files;
    const std::string key = fake::detail::KeyOf(source);
    const auto found = files.find(key);
    if (found == files.end()) return NotThereError(source);
    const fake::detail::FileEntry& entry = found->second;
    if (entry.locked) return kErrorSharingViolation;
    if (entry.denied) return kErrorAccessDenied;
    if (!fake::detail::SameName(source.root, target.root)) return 17;  // ERROR_NOT_SAME_DEVICE
    const std::string targetKey = fake::detail::KeyOf(target);
    if (files.count(targetKey) != 0) return kErrorAlreadyExists;
    fake::detail::FullPath parent = target;
    parent.names.pop_back();
    if (!parent.names.empty()) {
        const auto up = files.find(fake::detail::KeyOf(parent));
        if (up == files.end() || !up->second.directory) return kErrorPathNotFound;
    }
    if (targetKey.compare(0, key.size() + 1, key + "\\") == 0) return kErrorAccessDenied;  // into itself
    // The entry and everything below it take the new name.
    const std::string spelling = fake::detail::SpellingOf(target);
    std::vector<std::pair<std::string, fake::detail::FileEntry>> moved;
    for (auto it = files.lower_bound(key); it != files.end();) {
        if (it->first != key && it->first.compare(0, key.size() + 1, key + "\\") != 0) break;
        fake::detail::FileEntry item = it->second;
        item.spelling = spelling + item.spelling.substr(entry.spelling.size());
        moved.emplace_back(targetKey + it->first.substr(key.size()), std::move(item));
        it = files.erase(it);
    }
    for (auto& item : moved) files.emplace(std::move(item.first), std::move(item.second));
    return 0;
}

bool IsOnNetwork(const std::string& path) {
    const fake::detail::FullPath full = fake::detail::Resolve(path);
    if (!full.valid) return false;
    if (full.root.compare(0, 2, "\\\\") == 0) return true;
    const std::vector<char>& remote = M().remoteDrives;
    return full.root.size() == 2 && std::find(remote.begin(), remote.end(), full.root[0]) != remote.end();
}

uint32_t ListDirectoryWithError(const std::string& dir, std::vector<std::string>* names, FileView view) {
    Record("FindFirstFile " + dir + ViewNote(view));
    const fake::detail::FullPath full = fake::detail::Seen(dir, view);
    if (!full.valid) return kErrorInvalidName;
    std::string key;
    if (!full.names.empty()) {
        key = fake::detail::KeyOf(full);
        const auto found = M().files.find(key);
        if (found == M().files.end() || !found->second.directory) return kErrorPathNotFound;
    } else {
        key = fake::detail::Fold(full.root);
    }
    const std::string prefix = key + "\\";
    for (auto it = M().files.lower_bound(prefix); it != M().files.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) break;
        const std::string rest = it->first.substr(prefix.size());
        if (fake::detail::FindChar(rest, '\\') != std::string::npos) continue;
        const std::string& spelling = it->second.spelling;
        names->push_back(spelling.substr(spelling.size() - rest.size()));
    }
    return 0;
}

bool ReadWholeFile(const std::string& path, std::string* content) {
    Record("ReadFile " + path);
    const fake::detail::FullPath full = fake::detail::Seen(path);
    if (!full.valid || full.names.empty()) return false;
    const auto found = M().files.find(fake::detail::KeyOf(full));
    if (found == M().files.end() || found->second.directory || found->second.locked) return false;
    *content = found->second.content;
    return true;
}

namespace {

// A file made or written over by the program: not in a directory that is
// missing, not over a directory, a locked or a read-only file.
bool WriteContent(const std::string& path, const std::string& content, bool append) {
    const fake::detail::FullPath full = fake::detail::Seen(path);
    if (!full.valid || full.names.empty() || full.trailingBackslash) return false;
    fake::detail::FullPath parent = full;
    parent.names.pop_back();
    if (!fake::DirectoryExists(fake::detail::SpellingOf(parent))) return false;
    const auto found = M().files.find(fake::detail::KeyOf(full));
    std::string whole = content;
    if (found != M().files.end()) {
        const fake::detail::FileEntry& entry = found->second;
        if (entry.directory || entry.locked || entry.readOnly) return false;
        if (append) whole = entry.content + content;
    }
    fake::AddFile(fake::detail::SpellingOf(full), whole);
    return true;
}

}  // namespace

// A line written without the heap goes into room the log keeps after each line.
void KeepRoomForOneLine(const std::string& key) {
    std::string& content = M().files[key].content;
    content.reserve(content.size() + 256);
}

struct LogFileState {
    std::string path;  // as opened
    std::string key;   // the file table's
    unsigned generation;
};

void Discard(LogFileState* state) {
    if (state->generation == fake::detail::Generation()) M().openLogs.erase(state->key);
    delete state;
}

LogFile OpenLogFile(const std::string& path) {
    Record("OpenLogFile " + path);
    const fake::detail::FullPath full = fake::detail::Resolve(path);
    if (!full.valid) return LogFile();
    const std::string key = fake::detail::KeyOf(full);
    // Open for writing once already: the sharing refuses a second writer.
    if (M().openLogs.count(key) != 0 || !WriteContent(path, std::string(), true)) return LogFile();
    M().openLogs.insert(key);
    KeepRoomForOneLine(key);
    return LogFile(std::make_unique<LogFileState>(LogFileState{path, key, fake::detail::Generation()}));
}

bool WriteToLog(const LogFile& log, const std::string& text) {
    if (!log.IsOpen() || log.State()->generation != fake::detail::Generation()) return false;
    Record("WriteLog " + log.State()->path);
    auto found = M().files.find(log.State()->key);
    if (found == M().files.end()) return false;
    found->second.content += text;
    ++found->second.version;
    KeepRoomForOneLine(log.State()->key);
    return true;
}

bool WriteLogLineWithoutHeap(const LogFile& log, const char* fields) {
    if (!log.IsOpen() || log.State()->generation != fake::detail::Generation()) return false;
    auto found = M().files.find(log.State()->key);
    if (found == M().files.end()) return false;
    // Within the room the log keeps.
    found->second.content.append("2026-01-02 03:04:05.678\t").append(fields, std::min<std::size_t>(std::strlen(fields), 200)).append("\r\n");
    ++found->second.version;
    return true;
}

bool SetCurrentDir(const std::string& path) {
    Record("SetCurrentDirectory " + path);
    const fake::detail::FullPath full = fake::detail::Resolve(path);
    if (!fake::DirectoryExists(path)) return false;
    M().currentDir = full;
    M().currentDir.trailingBackslash = false;
    return true;
}

std::string FullPathOf(const std::string& path) {
    const fake::detail::FullPath full = fake::detail::Resolve(path);
    return full.valid ? fake::detail::SpellingOf(full) : std::string();
}

uint32_t EditFileInPlace(const std::string& path, FileEdit edit) {
    Record("EditFile " + path);
    const fake::detail::FullPath full = fake::detail::Resolve(path);
    if (!full.valid || full.names.empty() || full.trailingBackslash) return kErrorPathNotFound;
    std::string content;
    const auto found = M().files.find(fake::detail::KeyOf(full));
    if (found != M().files.end()) {
        const fake::detail::FileEntry& entry = found->second;
        if (entry.directory || entry.denied || entry.readOnly) return kErrorAccessDenied;
        if (entry.locked) return kErrorSharingViolation;
        content = entry.content;
    }
    const std::string edited = edit(content);
    if (M().diskFull && edited.size() > content.size()) return 112;  // ERROR_DISK_FULL
    return WriteContent(path, edited, false) ? 0 : kErrorPathNotFound;
}

std::string ShortPathOf(const std::string& path) {
    Record("GetShortPathName " + path);
    const fake::detail::FullPath full = fake::detail::Seen(path);
    if (!full.valid) return std::string();
    if (!full.names.empty() && M().files.count(fake::detail::KeyOf(full)) == 0) return std::string();
    // The fake keeps no 8.3 names: a path's short form is the path.
    return path;
}

uint32_t RemoveDirectoryWithError(const std::string& path, FileView view) {
    Record("RemoveDirectory " + path + ViewNote(view));
    const fake::detail::FullPath full = fake::detail::Seen(path, view);
    if (!full.valid) return kErrorPathNotFound;  // \\\server, \\server: no share named, as under Wine
    if (full.names.empty()) return kErrorAccessDenied;  // a drive or share root
    const std::string key = fake::detail::KeyOf(full);
    auto found = M().files.find(key);
    if (found == M().files.end()) return NotThereError(full);
    const fake::detail::FileEntry& entry = found->second;
    if (!entry.directory) return 267;  // ERROR_DIRECTORY
    if (entry.locked) return kErrorSharingViolation;
    if (entry.readOnly || entry.denied) return kErrorAccessDenied;
    if (fake::HasChildren(key)) return kErrorDirNotEmpty;
    // A process's current directory is in use.
    if (key == fake::detail::KeyOf(M().currentDir)) return kErrorSharingViolation;
    M().files.erase(found);
    return 0;
}

}  // namespace platform

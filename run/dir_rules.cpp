// Directory removal rules for the PATHS and STMPATHS lists.
#include "run/dir_rules.h"

#include <cctype>

#include "platform/platform.h"

namespace {

constexpr int kRetryAttempts = 10;
constexpr unsigned kRetryPauseMs = 500;

bool IsDriveLetter(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

// Ten attempts, each followed by its pause, whatever the outcome: a directory
// that the product's own processes still hold open may come free meanwhile.
void RemoveWithRetries(const std::string& dir) {
    for (int attempt = 0; attempt < kRetryAttempts; ++attempt) {
        platform::RemoveEmptyDirectory(dir);
        platform::Pause(kRetryPauseMs);
    }
}

// The part of `path` before its last backslash, without trailing backslashes;
// empty when there is no backslash.
std::string ParentOf(const std::string& path) {
    const std::size_t cut = path.find_last_of('\\');
    if (cut == std::string::npos) return std::string();
    return WithoutTrailingBackslashes(path.substr(0, cut));
}

}  // namespace

std::string WithoutTrailingBackslashes(const std::string& path) {
    std::size_t end = path.size();
    while (end > 0 && path[end - 1] == '\\') --end;
    return path.substr(0, end);
}

bool NamesRemovableDirectory(const std::string& path) {
    const std::string dir = WithoutTrailingBackslashes(path);
    if (dir.empty()) return false;
    if (dir.size() == 2 && IsDriveLetter(dir[0]) && dir[1] == ':') return false;
    if (dir.compare(0, 2, "\\\\") == 0) {
        // \\server\share and anything shorter is the root of a share, not a directory.
        int components = 0;
        bool inComponent = false;
        for (std::size_t i = 2; i < dir.size(); ++i) {
            const bool separator = dir[i] == '\\';
            if (!separator && !inComponent) ++components;
            inComponent = !separator;
        }
        if (components <= 2) return false;
    }
    return true;
}

bool SamePath(const std::string& a, const std::string& b) {
    const std::string left = WithoutTrailingBackslashes(a);
    const std::string right = WithoutTrailingBackslashes(b);
    if (left.size() != right.size()) return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(left[i])) !=
            std::toupper(static_cast<unsigned char>(right[i])))
            return false;
    }
    return true;
}

int RemoveDirAndParents(const std::string& path) {
    std::string dir = WithoutTrailingBackslashes(path);
    if (!NamesRemovableDirectory(dir)) return 1;
    platform::RemoveEmptyDirectory(dir);  // gone already, or still in use: the parents decide
    for (;;) {
        dir = ParentOf(dir);
        if (!NamesRemovableDirectory(dir)) break;
        if (!platform::RemoveEmptyDirectory(dir)) break;
    }
    return 1;
}

int RemoveDirWithRetry(const std::string& path, const std::string& root) {
    const std::string dir = WithoutTrailingBackslashes(path);
    if (!NamesRemovableDirectory(dir)) return 1;
    RemoveWithRetries(dir);
    const std::string parent = ParentOf(dir);
    if (NamesRemovableDirectory(parent) && !SamePath(parent, root)) RemoveWithRetries(parent);
    return 1;
}

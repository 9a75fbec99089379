// Directory removal rules for the PATHS and STMPATHS lists.
#include "run/dir_rules.h"

#include <algorithm>
#include <vector>

#include "path/path_names.h"
#include "path/win_path.h"
#include "platform/platform.h"

namespace {

// One directory, through the removal given, or RemoveDirectoryA alone.
bool Remove(DirRemoval removal, const std::string& dir, bool final) {
    return removal ? removal(dir, final) : platform::RemoveDirectoryWithError(dir) == 0;
}

// Ten attempts, each followed by its pause, whatever the outcome: a directory
// that the product's own processes still hold open may come free meanwhile.
void RemoveWithRetries(const std::string& dir, DirRemoval removal) {
    for (int attempt = 0; attempt < kRetryAttempts; ++attempt) {
        Remove(removal, dir, attempt + 1 == kRetryAttempts);
        platform::Pause(kRetryPauseMs);
    }
}

// The part of `path` before its last backslash, without trailing backslashes;
// empty when there is no backslash, or when the text before the last name is not
// that directory's parent (see IsPlainName).
std::string ParentOf(const std::string& path) {
    const std::size_t cut = winpath::LastSeparator(path);
    if (cut == std::string::npos || !IsPlainName(path.substr(cut + 1))) return std::string();
    const std::string parent = winpath::WithoutTrailingSeparators(path.substr(0, cut));
    if (!IsPlainName(winpath::LastName(parent))) return std::string();
    return parent;
}

// `path` as it goes to a removal: without trailing backslashes, but for a last
// name that Windows trims ("Q ", "R."), which only its backslash keeps whole.
std::string DirectoryToRemove(const std::string& path) {
    const std::string dir = winpath::WithoutTrailingSeparators(path);
    const std::string last = winpath::LastName(dir);
    const bool trimmed = winpath::EndsWithDotOrBlank(last) && last != "." && last != "..";
    return trimmed ? path : dir;
}

}  // namespace

void RemoveDirAndParents(const std::string& path, DirRemoval removal) {
    std::string dir = DirectoryToRemove(path);
    if (!NamesRemovableDirectory(dir)) return;
    Remove(removal, dir, true);  // gone already, or still in use: the parents decide
    for (;;) {
        dir = ParentOf(dir);
        if (!NamesRemovableDirectory(dir)) break;
        if (!Remove(removal, dir, true)) break;
    }
}

std::vector<std::string> RetriedDirectories(const std::string& path, const std::string& root) {
    std::vector<std::string> dirs;
    const std::string dir = DirectoryToRemove(path);
    if (!NamesRemovableDirectory(dir) || SamePath(dir, root)) return dirs;
    dirs.push_back(dir);
    const std::string parent = ParentOf(dir);
    if (NamesRemovableDirectory(parent) && !SamePath(parent, root)) dirs.push_back(parent);
    return dirs;
}

void RemoveDirWithRetry(const std::string& path, const std::string& root, DirRemoval removal) {
    for (const std::string& dir : RetriedDirectories(path, root)) RemoveWithRetries(dir, removal);
}

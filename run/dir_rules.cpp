// Directory removal rules for the PATHS and STMPATHS lists.
#include "run/dir_rules.h"

#include <algorithm>
#include <vector>

#include "platform/platform.h"
#include "run/win_path.h"

namespace {

constexpr int kRetryAttempts = 10;
constexpr unsigned kRetryPauseMs = 500;

// Ten attempts, each followed by its pause, whatever the outcome: a directory
// that the product's own processes still hold open may come free meanwhile.
bool PlainRemoval(const std::string& dir, bool, void*) {
    return platform::RemoveEmptyDirectory(dir);
}

struct Removal {
    DirRemoval remove;
    void* context;
    bool operator()(const std::string& dir, bool final) const {
        return remove != nullptr ? remove(dir, final, context) : PlainRemoval(dir, final, context);
    }
};

void RemoveWithRetries(const std::string& dir, const Removal& remove) {
    for (int attempt = 0; attempt < kRetryAttempts; ++attempt) {
        remove(dir, attempt + 1 == kRetryAttempts);
        platform::Pause(kRetryPauseMs);
    }
}

// A path's names as Windows reads them: "/" as "\", runs of separators as one,
// "." dropped, ".." taking back the name before it (never past a root), the
// last name without trailing dots and blanks. `root` is "X:\" or
// "\\server\share" for a full path, "\" for the current drive's root, "X:"
// for that drive's current directory and empty for the current directory.
// Two are the same when their roots and names are, as Windows compares names.
struct PathNames {
    std::string root;
    std::vector<std::string> names;
    bool onRoot = false;  // below a root rather than a current directory
    bool full = false;    // on a drive's root or a share's, not the current ones
    bool operator==(const PathNames& other) const {
        return onRoot == other.onRoot && winpath::SameIgnoringCase(root, other.root) &&
               names.size() == other.names.size() &&
               std::equal(names.begin(), names.end(), other.names.begin(), winpath::SameIgnoringCase);
    }
};

PathNames ReadNames(const std::string& path) {
    const std::string text = winpath::WithBackslashes(path);
    PathNames read;
    std::vector<std::string> given;
    if (text.compare(0, 2, "\\\\") == 0) {
        given = winpath::SplitNames(text);
        read.root = "\\\\";
        read.onRoot = true;
        // The server's name follows the two separators at once: \\\server
        // (\\/server) names no server, and Windows finds nothing there.
        const bool serverNamed = text.size() > 2 && text[2] != '\\';
        for (int i = 0; i < 2 && !given.empty(); ++i) {
            read.root += (i == 0 ? "" : "\\") + given.front();
            given.erase(given.begin());
            read.full = i == 1 && serverNamed;
        }
    } else if (text.size() >= 2 && winpath::IsDriveLetter(text[0]) && text[1] == ':') {
        read.onRoot = text.size() > 2 && text[2] == '\\';
        read.full = read.onRoot;
        read.root = text.substr(0, 2) + (read.onRoot ? "\\" : "");
        given = winpath::SplitNames(text.substr(2));
    } else {
        read.onRoot = !text.empty() && text[0] == '\\';
        read.root = read.onRoot ? "\\" : "";
        given = winpath::SplitNames(text);
    }
    // Above a root there is nothing; above a current directory there is its parent.
    for (const std::string& name : given) {
        if (name == ".") continue;
        if (name != "..") {
            read.names.push_back(name);
        } else if (!read.names.empty() && read.names.back() != "..") {
            read.names.pop_back();
        } else if (!read.onRoot) {
            read.names.push_back(name);
        }
    }
    if (!read.names.empty() && read.names.back() != "..") {
        std::string& last = read.names.back();
        last = winpath::WithoutTrailingDotsAndBlanks(last);
        if (last.empty()) read.names.pop_back();
    }
    return read;
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

bool NamesRemovableDirectory(const std::string& path) {
    const std::string dir = winpath::WithoutTrailingSeparators(path);
    if (dir.empty()) return false;
    if (dir.size() == 2 && winpath::IsDriveLetter(dir[0]) && dir[1] == ':') return false;
    // A root however written: "/", "C:\.", "C:\A\..", "//server/share". \\server
    // and \\server\share are the roots of a share.
    const PathNames read = ReadNames(dir);
    return !(read.onRoot && read.names.empty());
}

bool IsPlainName(const std::string& name) {
    return !name.empty() && !winpath::HasChar(name, '/') && !winpath::EndsWithDotOrBlank(name);
}

bool IsFullPath(const std::string& path) {
    return ReadNames(path).full;
}

bool IsFullPathBelowRoot(const std::string& path) {
    const PathNames read = ReadNames(path);
    return read.full && !read.names.empty();
}

bool SamePath(const std::string& a, const std::string& b) {
    return ReadNames(a) == ReadNames(b);
}

int RemoveDirAndParents(const std::string& path, DirRemoval removal, void* context) {
    const Removal remove{removal, context};
    std::string dir = DirectoryToRemove(path);
    if (!NamesRemovableDirectory(dir)) return 1;
    remove(dir, true);  // gone already, or still in use: the parents decide
    for (;;) {
        dir = ParentOf(dir);
        if (!NamesRemovableDirectory(dir)) break;
        if (!remove(dir, true)) break;
    }
    return 1;
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

int RemoveDirWithRetry(const std::string& path, const std::string& root, DirRemoval removal, void* context) {
    const Removal remove{removal, context};
    for (const std::string& dir : RetriedDirectories(path, root)) RemoveWithRetries(dir, remove);
    return 1;
}

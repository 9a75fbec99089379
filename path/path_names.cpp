// What a path names, read as Windows reads it.
#include "path/path_names.h"

#include <algorithm>
#include <vector>

#include "path/win_path.h"

namespace {

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

std::string PathKey(const std::string& path) {
    const std::string text = winpath::WithBackslashes(path);
    std::string key = text.compare(0, 2, "\\\\") == 0 ? "\\\\" : text.compare(0, 1, "\\") == 0 ? "\\" : "";
    const std::size_t opening = key.size();
    for (const std::string& name : winpath::SplitNames(text)) key += (key.size() == opening ? "" : "\\") + name;
    return key;
}

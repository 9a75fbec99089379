// The two ways the run removes listed directories: with their emptied ancestors,
// and with repeated attempts below a root. Neither ever deletes a file.
#pragma once

#include <string>
#include <vector>

// False for what must never be handed to a directory removal: the empty text, a
// bare drive ("C:" names that drive's current directory, not its root), a drive
// root and a share root (\\server\share), however written ("C:/", "C:\A\..").
// None of them is a file either.
bool NamesRemovableDirectory(const std::string& path);

// Whether `name` (one name, no backslash) names the same directory inside a path
// as at its end, so that the text before it names the parent of what ends in it.
// ".", "..", and the names Windows trims at the end only ("a.", "a ") do not; nor
// does a name holding a slash, which may hide either.
bool IsPlainName(const std::string& name);

// Whether `path` is a full path: on a drive's root ("X:\...") or a share's
// ("\\server\share\..."). Anything else ("Temp", "..\x", "C:foo", "\dir")
// is read from a current directory, which for an uninstaller started from the
// programs list is often the system directory.
bool IsFullPath(const std::string& path);
// A full path that names something below its root: what a listed file must be.
bool IsFullPathBelowRoot(const std::string& path);

// Whether two paths name the same directory as Windows reads them: without
// regard to case, separators ("/" too, doubled or trailing), "." and "..". A
// path on the current drive or directory is never the same as a full one.
bool SamePath(const std::string& a, const std::string& b);

// How the rules remove one directory. `final` is false for an attempt the
// retry rule will follow with another. True when the directory is gone, or is
// to go at the next restart (which, for its parent, comes to the same). Without
// one the rules call RemoveDirectoryA alone.
using DirRemoval = bool (*)(const std::string& dir, bool final, void* context);

// Removes `path`, then its parent, grandparent and so on, until one cannot be
// removed. Returns 1.
int RemoveDirAndParents(const std::string& path, DirRemoval removal = nullptr, void* context = nullptr);

// What the retry rule tries for `path`: the directory, then its parent unless
// the parent is `root`; nothing at all when `path` is `root` itself.
std::vector<std::string> RetriedDirectories(const std::string& path, const std::string& root);

// Ten attempts on each of RetriedDirectories, each followed by a pause of half a second. Returns 1.
int RemoveDirWithRetry(const std::string& path, const std::string& root, DirRemoval removal = nullptr,
                       void* context = nullptr);

// What a path names, as Windows reads it: whether it is full, whether it is a
// root, whether two name the same thing, and the key by which sets of paths
// find one again. The characters themselves are walked in path/win_path.
//
// path/: path text and what a path names, pure but for the code page and the
// way Windows compares names, which it asks of platform/. Uses platform/ only;
// print/, programs_entry/ and run/ use it.
#pragma once

#include <string>

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

// A path as sets of paths keep it: "/" read as "\", a run of separators as one
// (but the one or two that open a root-relative or share path), none at the end, so that C:\\A\b and
// C:\A\b are found as one. Keys are compared as names are (SameIgnoringCase).
std::string PathKey(const std::string& path);

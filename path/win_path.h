// Path and name text as Windows reads it: in the system's ANSI code page, one
// character at a time. On a double-byte code page (932, 936, 949, 950) the
// second byte of a character may be 0x5C, the backslash ("ソ" is 83 5C in code
// page 932), 0x7C or a letter's byte; it is never a separator, never trimmed
// and never starts a character. Every rule that splits, trims or
// compares a path or a name goes through here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace winpath {

// Whether `c` is an ASCII letter, the only kind of drive letter.
bool IsDriveLetter(char c);

// `path` with every "/" read as "\".
std::string WithBackslashes(std::string path);

// The names between backslashes, in order, empty ones dropped.
std::vector<std::string> SplitNames(const std::string& path);

// The offset of the last backslash that is a character of its own; npos when none.
std::size_t LastSeparator(const std::string& path);

// Whether `c` (a single-byte character) is one of the characters of `text`.
bool HasChar(const std::string& text, char c);

// `path` without any trailing backslashes.
std::string WithoutTrailingSeparators(const std::string& path);

// The name after the last backslash (all of `path` when there is none).
std::string LastName(const std::string& path);

// Whether the name ends in a dot or a blank, which Windows drops at the end of a path.
bool EndsWithDotOrBlank(const std::string& name);

// `name` without the trailing dots and blanks Windows drops.
std::string WithoutTrailingDotsAndBlanks(const std::string& name);

// Whether two names (or paths) are one to Windows but for case: "é" and
// "É" on code page 1252, "ａ" and "Ａ" on 932. Text of single bytes below
// 0x80 is compared here; any other is asked of Windows.
bool SameIgnoringCase(const std::string& a, const std::string& b);

}  // namespace winpath

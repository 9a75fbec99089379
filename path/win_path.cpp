// Path and name text walked one character at a time in the system's code page.
// Text without a byte of 0x80 or more (most paths) is the same read as bytes,
// and takes the plain byte search.
#include "path/win_path.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace winpath {

namespace {

// No Windows code page has a lead byte below 0x80.
bool StartsDoubleByteChar(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 && platform::IsLeadByte(byte);
}

// Where the character that starts at `at` ends: two bytes for a lead byte with
// a byte after it, else one.
std::size_t CharEnd(const std::string& text, std::size_t at) {
    if (at + 1 < text.size() && StartsDoubleByteChar(text[at])) return at + 2;
    return at + 1;
}

bool SingleByteOnly(const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The offset of the first character `c` at or after `from`, a character's start.
std::size_t FindChar(const std::string& text, char c, std::size_t from, bool singleByte) {
    if (singleByte) return text.find(c, from);
    for (std::size_t at = from; at < text.size(); at = CharEnd(text, at)) {
        if (text[at] == c) return at;
    }
    return std::string::npos;
}

// The end of the last character of `text` that is not one of the single-byte `drop`.
std::size_t EndWithout(const std::string& text, const char* drop) {
    auto dropped = [drop](char c) { return c != '\0' && std::strchr(drop, c) != nullptr; };
    if (text.empty() || !dropped(text.back())) return text.size();
    std::size_t end = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t next = CharEnd(text, at);
        if (next != at + 1 || !dropped(text[at])) end = next;
        at = next;
    }
    return end;
}

// Whether the last character of `text` is the single-byte `c`.
bool EndsWithChar(const std::string& text, char c) {
    if (text.empty() || text.back() != c) return false;
    // The last byte is `c`: a character of its own unless a lead byte takes it.
    std::size_t at = 0;
    for (std::size_t next = CharEnd(text, at); next < text.size(); next = CharEnd(text, at)) at = next;
    return at + 1 == text.size();
}

}  // namespace

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string WithBackslashes(std::string text) {
    const bool singleByte = SingleByteOnly(text);
    for (std::size_t at = FindChar(text, '/', 0, singleByte); at != std::string::npos;
         at = FindChar(text, '/', at + 1, singleByte))
        text[at] = '\\';
    return text;
}

std::vector<std::string> SplitNames(const std::string& path) {
    std::vector<std::string> names;
    const bool singleByte = SingleByteOnly(path);
    for (std::size_t start = 0; start < path.size();) {
        std::size_t end = FindChar(path, '\\', start, singleByte);
        if (end == std::string::npos) end = path.size();
        if (end > start) names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::size_t LastSeparator(const std::string& path) {
    if (SingleByteOnly(path)) return path.rfind('\\');
    std::size_t last = std::string::npos;
    for (std::size_t at = FindChar(path, '\\', 0, false); at != std::string::npos; at = FindChar(path, '\\', at + 1, false))
        last = at;
    return last;
}

bool HasChar(const std::string& text, char c) {
    return FindChar(text, c, 0, SingleByteOnly(text)) != std::string::npos;
}

std::string WithoutTrailingSeparators(const std::string& path) {
    return path.substr(0, EndWithout(path, "\\"));
}

std::string LastName(const std::string& path) {
    const std::size_t cut = LastSeparator(path);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool EndsWithDotOrBlank(const std::string& name) {
    return EndsWithChar(name, '.') || EndsWithChar(name, ' ');
}

std::string WithoutTrailingDotsAndBlanks(const std::string& name) {
    return name.substr(0, EndWithout(name, ". "));
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (!SingleByteOnly(a) || !SingleByteOnly(b)) return platform::SameTextIgnoringCase(a, b);
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&upper](char x, char y) { return upper(x) == upper(y); });
}

}  // namespace winpath

// Path and name text walked one character at a time in the system's code page.
#include "run/win_path.h"

#include "platform/platform.h"

namespace winpath {

namespace {

// No Windows code page has a lead byte below 0x80: plain ASCII text never asks.
bool StartsDoubleByteChar(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 && platform::IsLeadByte(byte);
}

// Offsets of the characters of `text` that are the single-byte `c`, calling
// `found(offset)` for each.
template <typename Found>
void ForEachChar(const std::string& text, char c, Found found) {
    for (std::size_t at = 0; at < text.size(); at = CharEnd(text, at)) {
        if (text[at] == c) found(at);
    }
}

}  // namespace

std::size_t CharEnd(const std::string& text, std::size_t at) {
    if (at + 1 < text.size() && StartsDoubleByteChar(text[at])) return at + 2;
    return at + 1;
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string WithBackslashes(const std::string& path) {
    std::string text = path;
    ForEachChar(text, '/', [&text](std::size_t at) { text[at] = '\\'; });
    return text;
}

std::vector<std::string> SplitNames(const std::string& path) {
    std::vector<std::string> names;
    std::size_t start = 0;
    auto cut = [&](std::size_t end) {
        if (end > start) names.push_back(path.substr(start, end - start));
        start = end + 1;
    };
    ForEachChar(path, '\\', cut);
    cut(path.size());
    return names;
}

std::size_t LastSeparator(const std::string& path) {
    std::size_t last = std::string::npos;
    ForEachChar(path, '\\', [&last](std::size_t at) { last = at; });
    return last;
}

bool EndsWithChar(const std::string& text, char c) {
    std::size_t last = std::string::npos;
    for (std::size_t at = 0; at < text.size(); at = CharEnd(text, at)) last = at;
    return last != std::string::npos && last + 1 == text.size() && text[last] == c;
}

bool HasChar(const std::string& text, char c) {
    bool has = false;
    ForEachChar(text, c, [&has](std::size_t) { has = true; });
    return has;
}

std::string WithoutTrailingSeparators(const std::string& path) {
    // The end of the last character that is not a backslash.
    std::size_t end = 0;
    for (std::size_t at = 0; at < path.size();) {
        const std::size_t next = CharEnd(path, at);
        if (next != at + 1 || path[at] != '\\') end = next;
        at = next;
    }
    return path.substr(0, end);
}

std::string LastName(const std::string& path) {
    const std::size_t cut = LastSeparator(path);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool EndsWithDotOrBlank(const std::string& name) {
    return EndsWithChar(name, '.') || EndsWithChar(name, ' ');
}

std::string WithoutTrailingDotsAndBlanks(const std::string& name) {
    std::size_t end = 0;
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t next = CharEnd(name, at);
        if (next != at + 1 || (name[at] != '.' && name[at] != ' ')) end = next;
        at = next;
    }
    return name.substr(0, end);
}

std::string FoldCase(const std::string& text) {
    std::string folded = text;
    for (std::size_t at = 0; at < folded.size(); at = CharEnd(folded, at)) {
        if (folded[at] >= 'a' && folded[at] <= 'z') folded[at] = static_cast<char>(folded[at] - 'a' + 'A');
    }
    return folded;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

}  // namespace winpath

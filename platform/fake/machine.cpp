// The fake machine itself: its one global state, the record of requests and
// the settings tests make.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "platform/fake/machine_state.h"

namespace fake {
namespace detail {

namespace {
std::unique_ptr<Machine> g_machine;
unsigned g_generation = 0;
}  // namespace

bool IsLead(unsigned char byte) {
    // Code page 932 (Shift-JIS), the one double-byte code page the fake knows.
    return byte >= 0x81 && M().codePage == 932 && (byte <= 0x9F || (byte >= 0xE0 && byte <= 0xFC));
}

namespace {

// Whether text in the machine's code page may hold two-byte characters at all:
// on a single-byte code page every byte is a character.
bool DoubleByte() {
    return M().codePage == 932;
}

}  // namespace

std::size_t NextChar(const std::string& text, std::size_t at) {
    return at + (at + 1 < text.size() && IsLead(static_cast<unsigned char>(text[at])) ? 2 : 1);
}

std::size_t FindChar(const std::string& text, char c, std::size_t from) {
    if (!DoubleByte()) return text.find(c, from);
    for (std::size_t at = from; at < text.size(); at = NextChar(text, at)) {
        if (text[at] == c) return at;
    }
    return std::string::npos;
}

bool EndsWithChar(const std::string& text, char c) {
    if (text.empty() || text.back() != c) return false;
    if (!DoubleByte()) return true;
    std::size_t last = 0;
    for (std::size_t at = 0; at < text.size(); at = NextChar(text, at)) last = at;
    return last + 1 == text.size();
}

std::vector<std::string> SplitAtBackslashes(const std::string& text) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = FindChar(text, '\\', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// Lower case as Windows compares names, for the letters the fake knows beyond
// A-Z: on code page 1252 the accented ones (É C9 and é E9, Š 8A and š 9A, ...),
// on 932 the full-width Latin ones (Ａ 82 60 and ａ 82 81).
std::string Fold(const std::string& text) {
    std::string folded = text;
    if (!DoubleByte()) {
        for (char& c : folded) {
            const auto byte = static_cast<unsigned char>(c);
            if ((c >= 'A' && c <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7))
                c = static_cast<char>(byte + 0x20);
            else if (byte == 0x8A || byte == 0x8C || byte == 0x8E)
                c = static_cast<char>(byte + 0x10);
            else if (byte == 0x9F)
                c = static_cast<char>(0xFF);
        }
        return folded;
    }
    for (std::size_t at = 0; at < folded.size(); at = NextChar(folded, at)) {
        if (folded[at] >= 'A' && folded[at] <= 'Z') folded[at] = static_cast<char>(folded[at] - 'A' + 'a');
        const auto second = at + 1 < folded.size() ? static_cast<unsigned char>(folded[at + 1]) : 0;
        if (static_cast<unsigned char>(folded[at]) == 0x82 && second >= 0x60 && second <= 0x79)
            folded[at + 1] = static_cast<char>(second + 0x21);
    }
    return folded;
}

bool SameName(const std::string& a, const std::string& b) {
    return Fold(a) == Fold(b);
}

Machine& M() {
    if (!g_machine) Reset();
    return *g_machine;
}

std::string SystemDir() {
    return M().windowsDir + "\\system32";
}

bool LoadDll(const std::string& path, const char* name) {
    Record("LoadLibrary " + path);
    const auto& missing = M().missingDlls;
    return SameName(path, SystemDir() + "\\" + name) &&
           std::find(missing.begin(), missing.end(), Fold(name)) == missing.end();
}

unsigned Generation() {
    return g_generation;
}

void Record(const std::string& line) {
    M().calls.push_back(line);
}

}  // namespace detail

using detail::M;

void SetCodePage(unsigned codePage) {
    if (codePage != 932 && codePage != 1252) throw std::invalid_argument("fake machine: unknown code page");
    M().codePage = codePage;
}

void Set64BitWindows(unsigned programBits, bool sysnative) {
    if (programBits != 32 && programBits != 64) throw std::invalid_argument("fake machine: a program is 32 or 64-bit");
    M().windowsBits = 64;
    M().programBits = programBits;
    M().sysnative = sysnative;
}

void Reset() {
    detail::g_machine = std::make_unique<detail::Machine>();
    ++detail::g_generation;
    detail::Machine& m = *detail::g_machine;
    m.currentDir = detail::Resolve("C:\\");
    AddDirectory(m.windowsDir);
}

void SetDllMissing(const std::string& name, bool missing) {
    auto& names = M().missingDlls;
    names.erase(std::remove(names.begin(), names.end(), detail::Fold(name)), names.end());
    if (missing) names.push_back(detail::Fold(name));
}

void HoldProgramLockElsewhere(const std::string& name, bool held) {
    if (held)
        M().locksHeldElsewhere.insert(name);
    else
        M().locksHeldElsewhere.erase(name);
}

bool ProgramLockHeld(const std::string& name) {
    return M().locksHeld.count(name) != 0;
}

unsigned long PausedMilliseconds() {
    return M().pausedMs;
}

void SetMillisecondsPerClockRead(unsigned milliseconds) {
    M().msPerClockRead = milliseconds;
}

const std::vector<std::string>& Calls() {
    return M().calls;
}

std::vector<std::string> CallsOf(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : M().calls) {
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        if (line.size() == prefix.size()) {
            found.emplace_back();
        } else if (line[prefix.size()] == ' ') {
            found.push_back(line.substr(prefix.size() + 1));
        }
    }
    return found;
}

void ClearCalls() {
    M().calls.clear();
}

}  // namespace fake

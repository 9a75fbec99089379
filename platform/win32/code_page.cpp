// The system's ANSI code page for the Win32 side: which bytes begin a
// two-byte character, and which names are one name to Windows.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/exports.h"

namespace platform {

namespace {

// Read once from GetCPInfo's lead-byte ranges, which the 95 family and the NT
// family both give; the code page does not change while the program runs.
// Plain globals: the program has one thread.
bool g_leadBytes[256];
bool g_leadBytesRead = false;

void ReadLeadBytes() {
    CPINFO info = {};
    if (GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1) {
        // Pairs of bounds, inclusive, ending with a pair of zeros.
        for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
            for (unsigned byte = info.LeadByte[i]; byte <= info.LeadByte[i + 1]; ++byte) g_leadBytes[byte] = true;
        }
    }
    g_leadBytesRead = true;
}

}  // namespace

bool IsLeadByte(unsigned char byte) {
    if (!g_leadBytesRead) ReadLeadBytes();
    return g_leadBytes[byte];
}

namespace {

// UTF-16 text. A vector rather than std::wstring: the library's prebuilt wide
// string would bring its locking and exception code into the program.
using WideText = std::vector<WCHAR>;

// The text in UTF-16; false when the code page cannot read it.
bool Wide(const std::string& text, WideText* wide) {
    wide->clear();
    if (text.empty()) return true;
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (size <= 0) return false;
    wide->assign(static_cast<std::size_t>(size), L'\0');
    return MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide->data(), size) == size;
}

using CompareOrdinal = int(WINAPI*)(LPCWSTR, int, LPCWSTR, int, BOOL);
// Plain globals: the program has one thread.
CompareOrdinal g_compare = nullptr;
bool g_compareLookedUp = false;

// Upper case as Windows has it for each character: CharUpperBuffW, which the
// 95 family only pretends to have (CharUpperBuffA there, on the bytes).
void UpperCase(WideText* text) {
    if (!text->empty()) CharUpperBuffW(text->data(), static_cast<DWORD>(text->size()));
}

}  // namespace

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    if (IsWindows95Family()) {
        std::string upperA = a, upperB = b;
        if (!upperA.empty()) CharUpperBuffA(&upperA[0], static_cast<DWORD>(upperA.size()));
        if (!upperB.empty()) CharUpperBuffA(&upperB[0], static_cast<DWORD>(upperB.size()));
        return upperA == upperB;
    }
    WideText wideA, wideB;
    if (!Wide(a, &wideA) || !Wide(b, &wideB)) return a == b;
    // CompareStringOrdinal (Vista on) compares as NTFS and the registry do.
    // Looked up once: the run compares paths at every file and directory.
    if (!g_compareLookedUp) {
        g_compare = win32::ExportedFunction<CompareOrdinal>("kernel32.dll", "CompareStringOrdinal");
        g_compareLookedUp = true;
    }
    const CompareOrdinal compare = g_compare;
    if (compare != nullptr)
        return compare(wideA.data(), static_cast<int>(wideA.size()), wideB.data(), static_cast<int>(wideB.size()),
                       TRUE) == CSTR_EQUAL;
    UpperCase(&wideA);
    UpperCase(&wideB);
    return wideA == wideB;
}

}  // namespace platform

// The system's ANSI code page for the Win32 side: which bytes begin a
// two-byte character.
#include <windows.h>

#include "platform/platform.h"

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

}  // namespace platform

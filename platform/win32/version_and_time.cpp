// Which Windows this is, and the local time, for the Win32 side.
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace platform {

bool IsWindows95Family() {
    return (GetVersion() & 0x80000000u) != 0;
}

std::string WindowsVersionText() {
    const DWORD version = GetVersion();
    const bool family95 = (version & 0x80000000u) != 0;
    // The 95 family keeps no build number in the high word.
    const unsigned build = family95 ? 0 : static_cast<unsigned>(HIWORD(version));
    char text[64];
    wsprintfA(text, "Windows %u.%u.%u (%s family)", static_cast<unsigned>(LOBYTE(LOWORD(version))),
              static_cast<unsigned>(HIBYTE(LOWORD(version))), build, family95 ? "95" : "NT");
    return text;
}

std::string LocalTimeText() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
              now.wSecond, now.wMilliseconds);
    return text;
}

}  // namespace platform

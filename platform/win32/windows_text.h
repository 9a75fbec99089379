// Text Windows writes into a caller's buffer, read whole. Private to platform/win32.
#pragma once

#include <windows.h>

#include <string>

namespace platform::win32 {

// What `get(buffer, size)` writes, the buffer grown to the answer: functions
// such as GetFullPathNameA answer a buffer too small with the size needed,
// terminator included. Empty when the text cannot be had.
template <typename Get>
std::string TextFromWindows(Get get) {
    std::string text(MAX_PATH, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const auto got = get(&text[0], static_cast<DWORD>(text.size()));
        if (got == 0) return std::string();
        if (got >= text.size()) {
            text.assign(got + 1, '\0');
            continue;
        }
        text.resize(got);
        return text;
    }
    return std::string();
}

}  // namespace platform::win32

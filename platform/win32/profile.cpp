// Profile file reads for the Win32 side: GetPrivateProfileStringA with a buffer
// that grows until the value fits, so no value is ever cut.
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace platform {

namespace {
constexpr DWORD kFirstProfileBuffer = 1024;
// Beyond this a value is reported as not whole rather than read on.
constexpr DWORD kMaxProfileBuffer = 16u * 1024 * 1024;
}  // namespace

ProfileValue ReadProfileString(const std::string& section, const std::string& key,
                               const std::string& defaultText, const std::string& file) {
    ProfileValue value;
    std::string buffer;
    for (DWORD size = kFirstProfileBuffer;; size *= 2) {
        buffer.assign(size, '\0');
        DWORD got = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText.c_str(),
                                             &buffer[0], size, file.c_str());
        // A cut value comes back as size-1 characters, which cannot be told from a
        // value of exactly that length: only a shorter answer is surely whole.
        if (got < size - 1) {
            buffer.resize(got);
            break;
        }
        if (size >= kMaxProfileBuffer) {
            buffer.resize(got);
            value.whole = false;
            break;
        }
    }
    value.text = std::move(buffer);
    return value;
}

}  // namespace platform

// Where Windows' own DLLs are loaded from, the same on either side of the platform.
#include "platform/platform.h"

namespace platform {

std::string SystemDllPath(const char* name) {
    const std::string dir = GetSystemDir();
    return dir.empty() ? std::string() : dir + "\\" + name;
}

}  // namespace platform

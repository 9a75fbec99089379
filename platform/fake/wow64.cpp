// The fake machine's 64-bit Windows: the program's bitness and the 32-bit
// system directory, as a test sets them.
#include "platform/fake/machine_state.h"

namespace platform {

using fake::detail::M;

unsigned ProgramBits() {
    return M().programBits;
}

bool Is64BitWindows() {
    return M().windowsBits == 64;
}

std::string GetSystemWow64Dir() {
    return Is64BitWindows() ? M().windowsDir + "\\SysWOW64" : std::string();
}

}  // namespace platform

// The DLLs the fake machine loads when the program first needs them: the
// spooler's and the common controls', refused where a test says one is missing.
#include "platform/fake/machine_state.h"

namespace platform {

using fake::detail::M;
using fake::detail::Record;

bool LoadSpooler(const std::string& path) {
    if (!fake::detail::LoadDll(path, "winspool.drv")) return false;
    M().spoolerLoaded = true;
    return true;
}

bool InitProgressControls(const std::string& path) {
    if (!fake::detail::LoadDll(path, "comctl32.dll")) return false;
    Record("InitCommonControls");
    M().commonControls = true;
    return true;
}

}  // namespace platform

// Which Windows the fake machine plays, and its fixed local time.
#include "platform/fake/machine_state.h"

namespace platform {

using fake::detail::M;

bool IsWindows95Family() {
    return M().windows95 || M().reports95;
}

std::string WindowsVersionText() {
    return IsWindows95Family() ? "Windows 4.10.2222 (95 family)" : "Windows 5.1.2600 (NT family)";
}

std::string LocalTimeText() {
    return "2026-01-02 03:04:05.678";
}

}  // namespace platform

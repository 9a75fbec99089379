// The process for the Win32 side: its end, and what a failed allocation does
// (the program is built without exceptions: see app/runtime_win32.cpp).
#include <windows.h>

#include <new>

#include "platform/platform.h"

namespace platform {

void ExitProcessWith(int code) {
    ExitProcess(static_cast<UINT>(code));
}

namespace {
// The new-handler takes no argument: what it calls is kept here for it.
FunctionRef<void()> g_onNoMemory;

// The handler takes itself out first: an allocation that fails while the
// failure is being reported must not come back here.
void NoMemory() {
    std::set_new_handler(nullptr);
    g_onNoMemory();
    ExitProcess(1);
}
}  // namespace

// A call inside another's work: the outer handler comes back with it.
int CallWithNoMemoryHandler(FunctionRef<int()> work, FunctionRef<void()> onNoMemory) {
    const FunctionRef<void()> outer = g_onNoMemory;
    g_onNoMemory = onNoMemory;
    const std::new_handler previous = std::set_new_handler(NoMemory);
    const int result = work();
    std::set_new_handler(previous);
    g_onNoMemory = outer;
    return result;
}

}  // namespace platform

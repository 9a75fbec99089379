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
void (*g_onNoMemory)(void* context) = nullptr;
void* g_noMemoryContext = nullptr;

// The handler takes itself out first: an allocation that fails while the
// failure is being reported must not come back here.
void NoMemory() {
    std::set_new_handler(nullptr);
    g_onNoMemory(g_noMemoryContext);
    ExitProcess(1);
}
}  // namespace

// A call inside another's work: the outer handler and its context come back with it.
int CallWithNoMemoryHandler(int (*work)(void* context), void (*onNoMemory)(void* context), void* context) {
    void (*const outerHandler)(void*) = g_onNoMemory;
    void* const outerContext = g_noMemoryContext;
    g_onNoMemory = onNoMemory;
    g_noMemoryContext = context;
    const std::new_handler previous = std::set_new_handler(NoMemory);
    const int result = work(context);
    std::set_new_handler(previous);
    g_onNoMemory = outerHandler;
    g_noMemoryContext = outerContext;
    return result;
}

}  // namespace platform

// The fake machine's process: its end, and running out of memory as the
// program's own new-handler meets it.
#include <cstdlib>
#include <new>

#include "platform/fake/machine_state.h"

namespace platform {

void ExitProcessWith(int code) {
    // Windows ends the process without the heap: the record is kept where the heap allows.
    fake::detail::WithWindowsMemory([code] { fake::detail::Record("ExitProcess " + std::to_string(code)); });
    throw fake::ProcessExit{code};
}

namespace {
FunctionRef<void()> g_onNoMemory;
bool g_handling = false;

// As on Windows, the handler runs where the allocation failed, before anything
// has unwound; it takes itself out first.
void NoMemory() {
    std::set_new_handler(nullptr);
    g_handling = true;
    g_onNoMemory();
    std::abort();  // onNoMemory broke its promise to end the process
}
}  // namespace

int CallWithNoMemoryHandler(FunctionRef<int()> work, FunctionRef<void()> onNoMemory) {
    struct Restore {
        FunctionRef<void()> outer = g_onNoMemory;
        std::new_handler previous = std::set_new_handler(NoMemory);
        ~Restore() {
            std::set_new_handler(previous);
            g_onNoMemory = outer;
        }
    } restore;
    g_onNoMemory = onNoMemory;
    g_handling = false;
    try {
        return work();
    } catch (const std::bad_alloc&) {
        // An allocator that throws without asking the handler; a failure inside
        // the handler itself goes on to the caller.
        if (g_handling) throw;
        g_handling = true;
        onNoMemory();
    }
    std::abort();
}

}  // namespace platform

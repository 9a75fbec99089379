// Loads WINSPOOL.DRV and COMCTL32.DLL at their first use.
#include "platform/win32/late_dlls.h"

namespace platform::win32 {

namespace {

template <typename Function>
bool Find(HMODULE dll, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    return *function != nullptr;
}

SpoolerFunctions LoadSpooler() {
    SpoolerFunctions functions;
    // Kept loaded for the life of the process, as an import would be.
    const HMODULE dll = LoadLibraryA("winspool.drv");
    if (dll == nullptr) return functions;
    const bool complete = Find(dll, "EnumPrintersA", &functions.enumPrinters) &&
                          Find(dll, "OpenPrinterA", &functions.openPrinter) &&
                          Find(dll, "SetPrinterA", &functions.setPrinter) &&
                          Find(dll, "ClosePrinter", &functions.closePrinter) &&
                          Find(dll, "DeletePortA", &functions.deletePort) &&
                          Find(dll, "DeleteMonitorA", &functions.deleteMonitor);
    return complete ? functions : SpoolerFunctions();
}

// Plain globals rather than a function-local static: the program has one
// thread, and a guarded static would link in the runtime's locking.
SpoolerFunctions g_spooler;
bool g_spoolerLoaded = false;

}  // namespace

const SpoolerFunctions* Spooler() {
    if (!g_spoolerLoaded) {
        g_spooler = LoadSpooler();
        g_spoolerLoaded = true;
    }
    return g_spooler.enumPrinters != nullptr ? &g_spooler : nullptr;
}

bool InitCommonControlsLate() {
    const HMODULE dll = LoadLibraryA("comctl32.dll");
    decltype(&::InitCommonControls) init = nullptr;
    if (dll == nullptr || !Find(dll, "InitCommonControls", &init)) return false;
    init();
    return true;
}

}  // namespace platform::win32

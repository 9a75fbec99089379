// Loads WINSPOOL.DRV and COMCTL32.DLL when the program first needs them, from
// the full path it gives.
#include "platform/win32/late_dlls.h"

#include <commctrl.h>

#include <string>

#include "platform/platform.h"

namespace platform {

namespace win32 {
namespace {

template <typename Function>
bool Find(HMODULE dll, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    return *function != nullptr;
}

// Kept loaded for the life of the process, as an import would be. An empty
// path is refused: LoadLibraryA would take it for no file at all.
HMODULE LoadDll(const std::string& path) {
    return path.empty() ? nullptr : LoadLibraryA(path.c_str());
}

// A plain global rather than a function-local static: the program has one
// thread, and a guarded static would link in the runtime's locking.
SpoolerFunctions g_spooler;

}  // namespace

const SpoolerFunctions* Spooler() {
    return g_spooler.enumPrinters != nullptr ? &g_spooler : nullptr;
}

}  // namespace win32

bool LoadSpooler(const std::string& path) {
    const HMODULE dll = win32::LoadDll(path);
    if (dll == nullptr) return false;
    win32::SpoolerFunctions functions;
    const bool complete = win32::Find(dll, "EnumPrintersA", &functions.enumPrinters) &&
                          win32::Find(dll, "OpenPrinterA", &functions.openPrinter) &&
                          win32::Find(dll, "SetPrinterA", &functions.setPrinter) &&
                          win32::Find(dll, "ClosePrinter", &functions.closePrinter) &&
                          win32::Find(dll, "DeletePortA", &functions.deletePort) &&
                          win32::Find(dll, "DeleteMonitorA", &functions.deleteMonitor);
    win32::Find(dll, "XcvDataW", &functions.xcvData);
    if (complete) win32::g_spooler = functions;
    return complete;
}

bool InitProgressControls(const std::string& path) {
    const HMODULE dll = win32::LoadDll(path);
    decltype(&::InitCommonControls) init = nullptr;
    if (dll == nullptr || !win32::Find(dll, "InitCommonControls", &init)) return false;
    init();
    return true;
}

}  // namespace platform

// The spooler's and the common controls' functions, found in their DLLs at the
// first call. Both DLLs (and what they load in turn) are first needed after the
// answer Yes: importing them would load them before the question comes up.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <winspool.h>

namespace platform::win32 {

// Each pointer has the declared function's own type, calling convention
// included (stdcall on 32-bit Windows).
struct SpoolerFunctions {
    decltype(&::EnumPrintersA) enumPrinters = nullptr;
    decltype(&::OpenPrinterA) openPrinter = nullptr;
    decltype(&::SetPrinterA) setPrinter = nullptr;
    decltype(&::ClosePrinter) closePrinter = nullptr;
    decltype(&::DeletePortA) deletePort = nullptr;
    decltype(&::DeleteMonitorA) deleteMonitor = nullptr;
};

// Null when WINSPOOL.DRV or one of its functions cannot be had.
const SpoolerFunctions* Spooler();

// InitCommonControls from COMCTL32.DLL; false when it cannot be had.
bool InitCommonControlsLate();

}  // namespace platform::win32

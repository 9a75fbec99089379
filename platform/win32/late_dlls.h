// The spooler's functions, found in WINSPOOL.DRV once the program has loaded it
// (platform::LoadSpooler). The spooler and the common controls are first needed
// after the answer Yes: importing their DLLs would load them, and what they load
// in turn, before the question comes up.
#pragma once

#include <windows.h>
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
    // Windows 2000 on; null before, where ports go through DeletePortA only.
    decltype(&::XcvDataW) xcvData = nullptr;
};

// Null until platform::LoadSpooler has succeeded.
const SpoolerFunctions* Spooler();

}  // namespace platform::win32

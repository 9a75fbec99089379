// The product's print monitor: its ports, the printers on them, and its removal.
//
// print/: the product's print monitor. Uses path/ and platform/ only (not
// programs_entry/, its sibling); run/ uses it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/function_ref.h"
#include "platform/platform.h"

constexpr const char* kMonitorsKey = "System\\CurrentControlSet\\Control\\Print\\Monitors";
constexpr const char* kMonitorEnvironment = "Windows 4.0";

// One port of the monitor, with the settings the monitor keeps for it.
struct PortRecord {
    std::string name;  // the port's subkey name
    uint32_t autoOrManual = 0;
    uint32_t cmdAckTmout = 0;
    uint32_t cmdSendTmout = 0;
    uint32_t datAckTmout = 0;
    uint32_t datSendTmout = 0;
    std::string hostName;
    std::string portName;
    uint32_t serialNo = 0;
    uint32_t snNumber = 0;
};

// The monitor's ports, as the registry lists them under its key; none when it
// lists none or cannot be read.
std::vector<PortRecord> LoadMonitorPorts(const std::string& monitorName);

// A REG_DWORD value: stored in `out` when it could be read with that type,
// else false with `out` untouched.
bool ReadDwordValue(const platform::RegKey& key, const char* valueName, uint32_t* out);

// How a port is deleted: through the monitor's Xcv interface in the spooler
// (Windows 2000 on), through DeletePortA where the monitor has no such
// interface or Windows no XcvDataW, or in the spooler's registry where the
// spooler is not running.
enum class PortWay { Xcv, DeletePort, Registry };

// Hears of each port as its deletion was asked for: Windows' error (0 when
// deleted) and the way it went.
using PortDeleted = FunctionRef<void(const std::string& port, uint32_t error, PortWay way)>;

// Hears of each printer found on one of the monitor's ports: the ports it printed
// to and those it prints to now. Where it could not be opened or written,
// `error` is Windows' code and `to` the ports it stays on; else 0.
using PrinterMoved =
    FunctionRef<void(const std::string& printer, const std::string& from, const std::string& to, uint32_t error)>;

// What became of the monitor.
struct MonitorRemovalResult {
    platform::RemovalResult result = platform::RemovalResult::Failed;
    uint32_t error = 0;    // Windows' code where its key would not open
    bool retried = false;  // "Windows 4.0" refused (1805): deleted, or not, for no environment
};

// Whether the spooler is not running, so that what it would do for the
// monitor is done in its registry, which it reads at its next start: a call
// that needs it (opening the monitor's Xcv interface) answers 1722, and the
// Service Control Manager says the service is stopped. Decided from such a
// call, never from the service's state alone: Wine's spooler works in the
// caller's process while the service is stopped.
bool SpoolerNotRunning(const std::string& monitorName);

// What the spooler would do, done in its registry: each printer under
// Control\Print\Printers whose Port names one of the monitor's ports is set
// to the ports it keeps, or LPT1:, and the monitor's key goes with its ports.
// With `foresee` nothing is touched, and what would be done is told.
MonitorRemovalResult RemoveLprMonitorInRegistry(const std::string& monitorName, const std::vector<PortRecord>& ports,
                                                PortDeleted onPort, PrinterMoved onPrinter, bool foresee);

// What RemoveLprMonitor would do, with nothing touched: each printer it would
// move, each port it would delete (as deleted, the way it would go: Xcv where
// the monitor's interface opens), and the monitor removed where it is there.
MonitorRemovalResult ForeseeLprMonitorRemoval(const std::string& monitorName, const std::vector<PortRecord>& ports,
                                        PortDeleted onPort, PrinterMoved onPrinter);

// Moves every local printer on one of the monitor's `ports` to LPT1, deletes
// the ports (through the monitor's Xcv interface, else DeletePortA) and then
// the monitor, for the environment "Windows 4.0" and, where
// the print server does not serve that one, once more for none (the caller's
// own). A monitor not deleted is not there where its key is not.
MonitorRemovalResult RemoveLprMonitor(const std::string& monitorName, const std::vector<PortRecord>& ports,
                                PortDeleted onPort = {}, PrinterMoved onPrinter = {});

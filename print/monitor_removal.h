// The product's print monitor: its ports, the printers on them, and its removal.
//
// print/: the product's print monitor. Uses path/ and platform/ only (not
// registry/, its sibling); run/ uses it.
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

// A REG_DWORD value: stored in `out` and 1 when it could be read with that
// type, else 0 with `out` untouched.
int ReadDwordValue(const platform::RegKey& key, const char* valueName, uint32_t* out);

// Hears of each port as its deletion was asked for: whether the spooler deleted it.
using PortDeleted = FunctionRef<void(const std::string& port, bool deleted)>;

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

// What RemoveLprMonitor would do, with nothing touched: each printer it would
// move, each port it would delete (as deleted), and the monitor removed where
// it is there.
MonitorRemovalResult ForeseeLprMonitorRemoval(const std::string& monitorName, const std::vector<PortRecord>& ports,
                                        PortDeleted onPort, PrinterMoved onPrinter);

// Moves every local printer on one of the monitor's `ports` to LPT1, deletes
// the ports and then the monitor, for the environment "Windows 4.0" and, where
// the print server does not serve that one, once more for none (the caller's
// own). A monitor not deleted is not there where its key is not.
MonitorRemovalResult RemoveLprMonitor(const std::string& monitorName, const std::vector<PortRecord>& ports,
                                PortDeleted onPort = {}, PrinterMoved onPrinter = {});

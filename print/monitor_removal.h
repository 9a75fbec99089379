// The product's print monitor: its ports, the printers on them, and its removal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
using PortDeleted = void (*)(const std::string& port, bool deleted, void* context);

// Moves every local printer on one of the monitor's `ports` to LPT1, deletes
// the ports and then the monitor, for the environment "Windows 4.0" and, where
// the print server does not serve that one, once more for none (the caller's
// own); `retried` (where given) says whether it came to that. Returns 1 when
// the monitor was deleted, else 0.
int RemoveLprMonitor(const std::string& monitorName, const std::vector<PortRecord>& ports,
                     PortDeleted onPort = nullptr, void* context = nullptr, bool* retried = nullptr);

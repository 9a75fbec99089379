// Print monitor removal: the monitor's ports are learnt from the registry, the
// printers on them moved to LPT1, then the ports and the monitor deleted.
#include "print/monitor_removal.h"

#include <algorithm>

#include "path/win_path.h"

namespace {

void ReadTextValue(const platform::RegKey& key, const char* valueName, std::string* out) {
    platform::RegValue value;
    if (!platform::QueryValue(key, valueName, &value)) return;
    if (value.type != platform::kRegSz && value.type != platform::kRegExpandSz) return;
    std::string text = value.data;
    const std::size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    *out = text;
}

void ReadPortSettings(const platform::RegKey& port, PortRecord* record) {
    ReadDwordValue(port, "CmdSendTmout", &record->cmdSendTmout);
    ReadDwordValue(port, "DatSendTmout", &record->datSendTmout);
    ReadDwordValue(port, "CmdAckTmout", &record->cmdAckTmout);
    ReadDwordValue(port, "DatAckTmout", &record->datAckTmout);
    ReadDwordValue(port, "SNNumber", &record->snNumber);
    ReadDwordValue(port, "AutoOrManual", &record->autoOrManual);
    ReadDwordValue(port, "SerialNo", &record->serialNo);
    ReadTextValue(port, "HostName", &record->hostName);
    ReadTextValue(port, "PortName", &record->portName);
}

// The spooler names ports without regard to case.
bool SamePortName(const std::string& a, const std::string& b) {
    return winpath::SameIgnoringCase(a, b);
}

// A printer may print to a pool of ports, its port name then a list
// ("VP1:,LPT2:"). The names of the list, without the blanks around them.
std::vector<std::string> PoolPorts(const std::string& list) {
    std::vector<std::string> names;
    for (std::size_t start = 0; start <= list.size();) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        std::string name = list.substr(start, end - start);
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        if (!name.empty()) names.push_back(name);
        start = end + 1;
    }
    return names;
}

bool IsMonitorPort(const std::string& name, const std::vector<PortRecord>& ports) {
    for (const PortRecord& port : ports) {
        if (SamePortName(name, port.name)) return true;
    }
    return false;
}

// The printer's ports without the monitor's, as a list; empty when none is left.
std::string OtherPorts(const std::string& list, const std::vector<PortRecord>& ports) {
    std::string others;
    for (const std::string& name : PoolPorts(list)) {
        if (IsMonitorPort(name, ports)) continue;
        others += (others.empty() ? "" : ",") + name;
    }
    return others;
}

bool PrintsTo(const std::string& list, const std::string& port) {
    for (const std::string& name : PoolPorts(list)) {
        if (SamePortName(name, port)) return true;
    }
    return false;
}

// The parallel port's two names, the one this Windows uses first: the 95
// family names it without the colon. Under a compatibility mode the NT family
// reports the 95 family too, and its spooler refuses "LPT1": where one form is
// refused the other is tried.
struct ParallelPorts {
    const char* names[2];
};

ParallelPorts ParallelPortNames() {
    const bool family95 = platform::IsWindows95Family();
    return {{family95 ? "LPT1" : "LPT1:", family95 ? "LPT1:" : "LPT1"}};
}

std::string MonitorKey(const std::string& monitorName) {
    return std::string(kMonitorsKey) + "\\" + monitorName;
}

// The monitor's key opened for reading: not there, or there with the error
// opening it gave (0 where it opened).
MonitorRemovalResult MonitorKeyResult(const std::string& monitorName) {
    const uint32_t error = platform::OpenLocalMachineKey(MonitorKey(monitorName), platform::RegAccess::Read).Error();
    if (platform::IsNotFoundError(error)) return {platform::RemovalResult::NotThere, 0};
    return {platform::RemovalResult::Failed, error};
}

constexpr const char* kPrintersKey = "System\\CurrentControlSet\\Control\\Print\\Printers";

std::vector<std::string> SubkeyNames(const std::string& path) {
    std::vector<std::string> names;
    const platform::RegKey key = platform::OpenLocalMachineKey(path, platform::RegAccess::Read);
    std::string name;
    for (uint32_t index = 0; key.IsOpen() && platform::EnumSubkey(key, index, &name); ++index)
        if (!name.empty()) names.push_back(name);
    return names;
}

// The key and everything below it, deepest first: the NT family refuses to
// delete a key that has subkeys. 0 when it is gone, else the error opening
// it for change gives, access denied where even that opens.
uint32_t DeleteKeyTree(const std::string& path) {
    for (const std::string& name : SubkeyNames(path)) DeleteKeyTree(path + "\\" + name);
    platform::DeleteLocalMachineKey(path);
    const uint32_t error = platform::OpenLocalMachineKey(path, platform::RegAccess::SetValue).Error();
    if (platform::IsNotFoundError(error)) return 0;
    return error != 0 ? error : platform::kErrorAccessDenied;
}

}  // namespace

bool ReadDwordValue(const platform::RegKey& key, const char* valueName, uint32_t* out) {
    platform::RegValue value;
    if (!platform::QueryValue(key, valueName, &value)) return false;
    if (value.type != platform::kRegDword || value.data.size() != 4) return false;
    const auto byte = [&value](int i) { return static_cast<uint32_t>(static_cast<unsigned char>(value.data[i])); };
    *out = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;  // little-endian, as stored
    return true;
}

std::vector<PortRecord> LoadMonitorPorts(const std::string& monitorName) {
    std::vector<PortRecord> records;
    const std::string portsPath = MonitorKey(monitorName) + "\\Ports";
    const platform::RegKey ports = platform::OpenLocalMachineKey(portsPath, platform::RegAccess::Read);
    if (!ports.IsOpen()) return records;

    std::string name;
    uint32_t count = 0;
    while (platform::EnumSubkey(ports, count, &name)) ++count;

    for (uint32_t index = 0; index < count; ++index) {
        if (!platform::EnumSubkey(ports, index, &name) || name.empty()) continue;
        PortRecord record;
        record.name = name;
        // A port whose settings cannot be read is still the monitor's port: its
        // printers must move and it must go, under the name the registry lists.
        const platform::RegKey port =
            platform::OpenLocalMachineKey(portsPath + "\\" + name, platform::RegAccess::Read);
        if (port.IsOpen()) ReadPortSettings(port, &record);
        records.push_back(std::move(record));
    }
    return records;
}

MonitorRemovalResult ForeseeLprMonitorRemoval(const std::string& monitorName, const std::vector<PortRecord>& ports,
                                        PortDeleted onPort, PrinterMoved onPrinter) {
    const platform::PrinterList printers = platform::EnumLocalPrinters();
    const char* parallelPort = ParallelPortNames().names[0];
    for (std::size_t i = 0; i < platform::PrinterCount(printers); ++i) {
        const std::string from = platform::PortNameAt(printers, i);
        const bool onMonitor = std::any_of(ports.begin(), ports.end(),
                                           [&from](const PortRecord& port) { return PrintsTo(from, port.name); });
        if (!onMonitor) continue;
        const std::string others = OtherPorts(from, ports);
        onPrinter(platform::PrinterNameAt(printers, i), from, others.empty() ? parallelPort : others, 0);
    }
    const PortWay way = platform::OpenMonitorXcv(monitorName).IsOpen() ? PortWay::Xcv : PortWay::DeletePort;
    for (const PortRecord& port : ports) onPort(port.name, 0, way);
    const bool there = platform::OpenLocalMachineKey(MonitorKey(monitorName),
                                                     platform::RegAccess::Read)
                           .IsOpen();
    return {there ? platform::RemovalResult::Removed : platform::RemovalResult::NotThere, 0};
}

MonitorRemovalResult RemoveLprMonitor(const std::string& monitorName, const std::vector<PortRecord>& ports,
                                PortDeleted onPort, PrinterMoved onPrinter) {
    platform::PrinterList printers = platform::EnumLocalPrinters();
    const ParallelPorts parallelPorts = ParallelPortNames();
    // Through the monitor's Xcv interface the spooler deletes the port itself;
    // DeletePortA would load the monitor's UI DLL into this process, and where
    // that DLL is for another bitness or missing the port would stay.
    platform::PrinterHandle xcv = platform::OpenMonitorXcv(monitorName);
    bool xcvKnowsDeletePort = xcv.IsOpen();

    for (const PortRecord& port : ports) {
        for (std::size_t i = 0; i < platform::PrinterCount(printers); ++i) {
            if (!PrintsTo(platform::PortNameAt(printers, i), port.name)) continue;
            const std::string name = platform::PrinterNameAt(printers, i);
            const std::string from = platform::PortNameAt(printers, i);
            const platform::PrinterHandle printer = platform::OpenPrinterAllAccess(name);
            if (!printer.IsOpen()) {
                if (onPrinter) onPrinter(name, from, from, printer.Error());
                continue;
            }
            // The record written back is the one just read: every other setting stays.
            // Its security descriptor goes out of it: written back, it needs a right
            // that changing a port does not, and where that is refused the whole
            // write is. Without it Windows keeps the printer's security as it is.
            platform::ClearSecurityDescriptorAt(printers, i);
            // A pooled printer keeps its other ports, and leaves all of the
            // monitor's at once; with none left it goes to the parallel port.
            // Where the write is refused the snapshot keeps the new port all the
            // same: the printer is not tried again for the monitor's next port.
            const std::string others = OtherPorts(from, ports);
            uint32_t error = 0;
            bool moved = false;
            if (!others.empty()) {
                platform::SetPortNameAt(printers, i, others);
                error = platform::SetPrinterLevel2(printer, printers, i);
                moved = error == 0;
            }
            for (const char* parallelPort : parallelPorts.names) {
                if (moved || !others.empty()) break;
                platform::SetPortNameAt(printers, i, parallelPort);
                error = platform::SetPrinterLevel2(printer, printers, i);
                moved = error == 0;
            }
            if (onPrinter) onPrinter(name, from, moved ? platform::PortNameAt(printers, i) : from, moved ? 0 : error);
        }
        uint32_t error = 0;
        if (xcvKnowsDeletePort) {
            error = platform::XcvDeletePort(xcv, port.name);
            xcvKnowsDeletePort = !platform::IsUnknownXcvCommand(error);
        }
        const PortWay way = xcvKnowsDeletePort ? PortWay::Xcv : PortWay::DeletePort;
        if (way == PortWay::DeletePort) error = platform::DeletePortWithError(port.name);
        if (onPort) onPort(port.name, error, way);
    }

    // A monitor with a handle open on it is in use: Wine's spooler then never
    // returns from DeleteMonitor.
    xcv = platform::PrinterHandle();

    // Nothing documents that every edition still serves "Windows 4.0"; one
    // from Vista on that does not refuses it with ERROR_INVALID_ENVIRONMENT.
    uint32_t error = platform::DeleteMonitorWithError(kMonitorEnvironment, monitorName);
    const bool again = error == platform::kErrorInvalidEnvironment;
    if (again) error = platform::DeleteMonitorWithError(nullptr, monitorName);
    if (error == 0) return {platform::RemovalResult::Removed, 0, again};
    MonitorRemovalResult removal = MonitorKeyResult(monitorName);
    removal.retried = again;
    return removal;
}

bool SpoolerNotRunning(const std::string& monitorName) {
    if (platform::IsWindows95Family()) return false;
    const platform::PrinterHandle xcv = platform::OpenMonitorXcv(monitorName);
    return !xcv.IsOpen() && xcv.Error() == platform::kErrorSpoolerUnreachable && platform::SpoolerServiceStopped();
}

MonitorRemovalResult RemoveLprMonitorInRegistry(const std::string& monitorName, const std::vector<PortRecord>& ports,
                                                PortDeleted onPort, PrinterMoved onPrinter, bool foresee) {
    // A printer that keeps one of the ports keeps the monitor: the spooler
    // would refuse to delete either.
    uint32_t keptBy = 0;
    for (const std::string& key : SubkeyNames(kPrintersKey)) {
        const std::string path = std::string(kPrintersKey) + "\\" + key;
        std::string from;
        std::string name = key;
        {
            const platform::RegKey printer = platform::OpenLocalMachineKey(path, platform::RegAccess::Read);
            ReadTextValue(printer, "Port", &from);
            ReadTextValue(printer, "Name", &name);
        }
        const bool onMonitor = std::any_of(ports.begin(), ports.end(),
                                           [&from](const PortRecord& port) { return PrintsTo(from, port.name); });
        if (!onMonitor) continue;
        const std::string others = OtherPorts(from, ports);
        const std::string to = others.empty() ? "LPT1:" : others;
        uint32_t error = 0;
        if (!foresee) {
            const platform::RegKey printer = platform::OpenLocalMachineKey(path, platform::RegAccess::SetValue);
            error = printer.Error();
            if (printer.IsOpen()) error = platform::SetTextValueWithError(printer, "Port", to);
        }
        if (error != 0) keptBy = error;
        if (onPrinter) onPrinter(name, from, error == 0 ? to : from, error);
    }
    const std::string monitorKey = MonitorKey(monitorName);
    for (const PortRecord& port : ports) {
        const uint32_t error = foresee || keptBy != 0 ? keptBy : DeleteKeyTree(monitorKey + "\\Ports\\" + port.name);
        if (onPort) onPort(port.name, error, PortWay::Registry);
    }
    if (platform::IsNotFoundError(platform::OpenLocalMachineKey(monitorKey, platform::RegAccess::Read).Error()))
        return {platform::RemovalResult::NotThere, 0};
    const uint32_t error = foresee || keptBy != 0 ? keptBy : DeleteKeyTree(monitorKey);
    return {error == 0 ? platform::RemovalResult::Removed : platform::RemovalResult::Failed, error};
}

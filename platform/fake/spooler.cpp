// The fake print spooler. As under Wine, printers and monitors are registry keys,
// so a printer made by plain registry writes is as real as one made by AddPrinter.
#include <algorithm>

#include "platform/fake/machine_state.h"

namespace platform {

struct PrinterListState {
    std::vector<fake::Printer> records;
    std::vector<bool> withSecurity;  // the record still carries the printer's security descriptor
    unsigned generation;
};

struct PrinterHandleState {
    std::string name;  // as the caller gave it
    std::shared_ptr<fake::detail::RegNode> key;
    unsigned generation;
};

}  // namespace platform

namespace fake {
namespace {

using detail::M;
using detail::RegNode;

const char kPrintersKey[] = "System\\CurrentControlSet\\Control\\Print\\Printers";
const char kMonitorsKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors";

// Tries before giving up when printers keep arriving between the size query and
// the enumeration; the Win32 side asks as many times.
constexpr int kEnumAttempts = 5;

std::string TextValue(const RegNode& key, const char* name) {
    const platform::RegValue* value = detail::FindValue(key, name);
    if (value == nullptr || (value->type != platform::kRegSz && value->type != platform::kRegExpandSz)) return "";
    return value->data.substr(0, value->data.find('\0'));
}

uint32_t NumberValue(const RegNode& key, const char* name) {
    const platform::RegValue* value = detail::FindValue(key, name);
    if (value == nullptr || value->type != platform::kRegDword || value->data.size() != 4) return 0;
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<unsigned char>(value->data[i]);
    return number;
}

void SetText(RegNode& key, const char* name, const std::string& text) {
    detail::SetValue(key, name, platform::kRegSz, text + '\0');
}

void SetNumber(RegNode& key, const char* name, uint32_t number) {
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    detail::SetValue(key, name, platform::kRegDword, data);
}

// What SetPrinterA level 2 writes, value by value.
void WritePrinter(RegNode& key, const Printer& printer) {
    SetText(key, "Name", printer.name);
    SetText(key, "Share Name", printer.shareName);
    SetText(key, "Port", printer.port);
    SetText(key, "Printer Driver", printer.driverName);
    SetText(key, "Description", printer.comment);
    SetText(key, "Location", printer.location);
    SetText(key, "Separator File", printer.sepFile);
    SetText(key, "Print Processor", printer.printProcessor);
    SetText(key, "Datatype", printer.datatype);
    SetText(key, "Parameters", printer.parameters);
    SetNumber(key, "Attributes", printer.attributes);
    SetNumber(key, "Priority", printer.priority);
    SetNumber(key, "Default Priority", printer.defaultPriority);
    SetNumber(key, "StartTime", printer.startTime);
    SetNumber(key, "UntilTime", printer.untilTime);
}

// A missing value reads as empty or 0; a printer without a Name value goes by its key's name.
Printer ReadPrinter(const RegNode& key) {
    Printer printer;
    printer.name = TextValue(key, "Name");
    if (printer.name.empty()) printer.name = key.name;
    printer.shareName = TextValue(key, "Share Name");
    printer.port = TextValue(key, "Port");
    printer.driverName = TextValue(key, "Printer Driver");
    printer.comment = TextValue(key, "Description");
    printer.location = TextValue(key, "Location");
    printer.sepFile = TextValue(key, "Separator File");
    printer.printProcessor = TextValue(key, "Print Processor");
    printer.datatype = TextValue(key, "Datatype");
    printer.parameters = TextValue(key, "Parameters");
    printer.attributes = NumberValue(key, "Attributes");
    printer.priority = NumberValue(key, "Priority");
    printer.defaultPriority = NumberValue(key, "Default Priority");
    printer.startTime = NumberValue(key, "StartTime");
    printer.untilTime = NumberValue(key, "UntilTime");
    return printer;
}

// Lists of folded names.
void SetListed(std::vector<std::string>& names, const std::string& name, bool listed) {
    names.erase(std::remove(names.begin(), names.end(), detail::Fold(name)), names.end());
    if (listed) names.push_back(detail::Fold(name));
}

bool Listed(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), detail::Fold(name)) != names.end();
}

std::shared_ptr<RegNode> PrinterKey(const std::string& name) {
    const auto printers = detail::FindKey(kPrintersKey);
    return printers ? detail::FindSubkey(*printers, name) : nullptr;
}

// The spooler refuses to delete a port, or the monitor owning it, while a printer
// prints to it, alone or as one of a pool ("P1:,LPT2:", blanks allowed around names).
bool PortInUse(const std::string& port) {
    const auto printers = detail::FindKey(kPrintersKey);
    if (!printers) return false;
    for (const auto& key : printers->subkeys) {
        const std::string list = TextValue(*key, "Port") + ",";
        std::string name;
        for (char c : list) {
            if (c != ',') {
                if (c != ' ' || !name.empty()) name += c;
                continue;
            }
            name.erase(name.find_last_not_of(' ') + 1);
            if (detail::SameName(name, port)) return true;
            name.clear();
        }
    }
    return false;
}

}  // namespace

void AddPrinter(const Printer& printer) {
    WritePrinter(*detail::CreateKey(std::string(kPrintersKey) + "\\" + printer.name), printer);
}

bool GetPrinter(const std::string& name, Printer* printer) {
    const auto key = PrinterKey(name);
    if (!key) return false;
    *printer = ReadPrinter(*key);
    return true;
}

void AddMonitorPort(const std::string& monitor, const std::string& port) {
    detail::CreateKey(std::string(kMonitorsKey) + "\\" + monitor + "\\Ports\\" + port);
}

void SetPrinterOpenRefused(const std::string& name, bool refused) {
    SetListed(M().refusedPrinters, name, refused);
}

void SetPrinterSecurityRefused(const std::string& name, bool refused) {
    SetListed(M().securityRefusedPrinters, name, refused);
}

void SetPortRefused(const std::string& port, bool refused) {
    SetListed(M().refusedPorts, port, refused);
}

void SetEnvironmentRefused(const std::string& environment, bool refused) {
    SetListed(M().refusedEnvironments, environment, refused);
}

void AddPrinterDuringNextEnum(const Printer& printer, int times) {
    M().racingPrinter = printer;
    M().racingEnumsLeft = times;
    M().racingPrinterAdded = false;
}

void SetMonitorXcv(const std::string& monitor, XcvSupport support) {
    M().xcvMonitors[detail::Fold(monitor)] = support;
}

void SetSpoolerNotRunning(bool serviceStopped) {
    M().spoolerDown = true;
    M().spoolerServiceStopped = serviceStopped;
}

int OpenPrinters() {
    return M().openPrinters;
}

int LivePrinterSnapshots() {
    return M().liveSnapshots;
}

}  // namespace fake

namespace platform {

using fake::detail::M;
using fake::detail::Record;

void Discard(PrinterListState* state) {
    if (state->generation == fake::detail::Generation()) --M().liveSnapshots;
    delete state;
}

std::size_t PrinterCount(const PrinterList& list) {
    return list.IsOpen() ? list.State()->records.size() : 0;
}

std::string PrinterNameAt(const PrinterList& list, std::size_t index) {
    return index < PrinterCount(list) ? list.State()->records[index].name : std::string();
}

std::string PortNameAt(const PrinterList& list, std::size_t index) {
    return index < PrinterCount(list) ? list.State()->records[index].port : std::string();
}

void SetPortNameAt(PrinterList& list, std::size_t index, const std::string& port) {
    if (index < PrinterCount(list)) list.State()->records[index].port = port;
}

void ClearSecurityDescriptorAt(PrinterList& list, std::size_t index) {
    if (index < PrinterCount(list)) list.State()->withSecurity[index] = false;
}

void Discard(PrinterHandleState* state) {
    if (state->generation == fake::detail::Generation()) {
        Record("ClosePrinter " + state->name);
        --M().openPrinters;
    }
    delete state;
}

PrinterList EnumLocalPrinters() {
    Record("EnumPrinters");
    fake::detail::Machine& m = M();
    if (!m.spoolerLoaded) return PrinterList();
    for (int attempt = 0; attempt < fake::kEnumAttempts; ++attempt) {
        if (m.racingEnumsLeft > 0) {
            // The buffer sized a moment ago no longer fits: ask again.
            if (!m.racingPrinterAdded) fake::AddPrinter(m.racingPrinter);
            m.racingPrinterAdded = true;
            --m.racingEnumsLeft;
            continue;
        }
        auto state = std::make_unique<PrinterListState>();
        state->generation = fake::detail::Generation();
        if (const auto printers = fake::detail::FindKey(fake::kPrintersKey)) {
            for (const auto& key : printers->subkeys) state->records.push_back(fake::ReadPrinter(*key));
            state->withSecurity.assign(state->records.size(), true);
        }
        ++m.liveSnapshots;
        return PrinterList(std::move(state));
    }
    return PrinterList();
}

// Windows' codes for a printer that cannot be had.
constexpr uint32_t kErrorInvalidPrinterName = 1801;
constexpr uint32_t kErrorUnknownPort = 1796;
constexpr uint32_t kErrorInvalidParameter = 87;

PrinterHandle OpenPrinterAllAccess(const std::string& printerName) {
    Record("OpenPrinter " + printerName);
    const auto key = fake::PrinterKey(printerName);
    if (M().spoolerLoaded && M().spoolerDown) return PrinterHandle(kErrorSpoolerUnreachable);
    if (!M().spoolerLoaded || !key || fake::Listed(M().refusedPrinters, printerName))
        return PrinterHandle(key && M().spoolerLoaded ? kErrorAccessDenied : kErrorInvalidPrinterName);
    ++M().openPrinters;
    return PrinterHandle(
        std::make_unique<PrinterHandleState>(PrinterHandleState{printerName, key, fake::detail::Generation()}));
}

uint32_t SetPrinterLevel2(const PrinterHandle& printer, const PrinterList& list, std::size_t index) {
    const PrinterHandleState* handle = printer.State();
    const bool hasRecord = index < PrinterCount(list);
    Record("SetPrinter " + (handle ? handle->name : std::string()) + " port=" +
           (hasRecord ? PortNameAt(list, index) : std::string()));
    uint32_t refused = 0;
    if (M().spoolerDown)
        refused = kErrorSpoolerUnreachable;
    else if (handle == nullptr || !hasRecord || handle->key->deleted)
        refused = kErrorInvalidPrinterName;
    else if (list.State()->withSecurity[index] && fake::Listed(M().securityRefusedPrinters, handle->name))
        refused = kErrorAccessDenied;
    else if (fake::Listed(M().refusedPorts, PortNameAt(list, index)))
        refused = kErrorUnknownPort;
    if (refused == 0) fake::WritePrinter(*handle->key, list.State()->records[index]);
    return refused;
}

namespace {

constexpr uint32_t kErrorBusy = 170;
constexpr uint32_t kUnknownMonitor = 3000;

// What the spooler's monitor makes of deleting `port`, one of `monitor`'s.
uint32_t DeleteMonitorPort(const fake::detail::RegNode& monitor, const std::string& port) {
    const auto ports = fake::detail::FindSubkey(monitor, "Ports");
    if (!ports || !fake::detail::FindSubkey(*ports, port)) return kErrorUnknownPort;
    if (fake::PortInUse(port)) return kErrorBusy;
    const bool removed = fake::detail::RemoveKeyTree(
        std::string(fake::kMonitorsKey) + "\\" + monitor.name + "\\Ports\\" + port, false);
    return removed ? 0 : kErrorUnknownPort;
}

}  // namespace

uint32_t DeletePortWithError(const std::string& port) {
    Record("DeletePort " + port);
    if (!M().spoolerLoaded) return 1;
    if (M().spoolerDown) return kErrorSpoolerUnreachable;
    if (const auto monitors = fake::detail::FindKey(fake::kMonitorsKey)) {
        for (const auto& monitor : monitors->subkeys) {
            const uint32_t error = DeleteMonitorPort(*monitor, port);
            if (error != kErrorUnknownPort) return error;
        }
    }
    return kErrorUnknownPort;
}

PrinterHandle OpenMonitorXcv(const std::string& monitor) {
    Record("XcvOpen " + monitor);
    const auto key = fake::detail::FindKey(std::string(fake::kMonitorsKey) + "\\" + monitor);
    const auto support = M().xcvMonitors.find(fake::detail::Fold(monitor));
    if (!M().spoolerLoaded || M().spoolerDown || monitor.empty() || monitor[0] == '\\' || !key ||
        support == M().xcvMonitors.end() || support->second == fake::XcvSupport::None) {
        return PrinterHandle(!M().spoolerLoaded ? kErrorCallNotImplemented
                             : M().spoolerDown  ? kErrorSpoolerUnreachable
                                                : kUnknownMonitor);
    }
    ++M().openPrinters;
    return PrinterHandle(std::make_unique<PrinterHandleState>(
        PrinterHandleState{",XcvMonitor " + monitor, key, fake::detail::Generation()}));
}

uint32_t XcvDeletePort(const PrinterHandle& xcv, const std::string& port) {
    Record("XcvData DeletePort " + port);
    if (!xcv.IsOpen() || xcv.State()->key->deleted) return kErrorInvalidHandle;
    if (M().spoolerDown) return kErrorSpoolerUnreachable;
    if (M().xcvMonitors[fake::detail::Fold(xcv.State()->key->name)] != fake::XcvSupport::DeletePort)
        return kErrorInvalidParameter;
    return DeleteMonitorPort(*xcv.State()->key, port);
}

bool SpoolerServiceStopped() {
    Record("QueryServiceStatus Spooler");
    return !M().windows95 && M().spoolerDown && M().spoolerServiceStopped;
}

uint32_t DeleteMonitorWithError(const char* environment, const std::string& monitor) {
    Record("DeleteMonitor " + std::string(environment != nullptr ? environment : "(null)") + "|" + monitor);
    constexpr uint32_t kMonitorInUse = 3008;
    if (!M().spoolerLoaded) return 1;
    if (M().spoolerDown) return kErrorSpoolerUnreachable;
    // The environments a print server serves, as Wine's does; none is the server's own.
    if (environment != nullptr) {
        const bool served = fake::detail::SameName(environment, "Windows 4.0") ||
                            fake::detail::SameName(environment, "Windows NT x86") ||
                            fake::detail::SameName(environment, "Windows x64");
        if (!served || fake::Listed(M().refusedEnvironments, environment)) return kErrorInvalidEnvironment;
    }
    // The monitor's key is opened below Monitors: an empty name or one that starts
    // with a backslash (which RegOpenKey refuses) would reach Monitors itself or another key.
    if (monitor.empty() || monitor[0] == '\\') return kUnknownMonitor;
    const std::string monitorPath = std::string(fake::kMonitorsKey) + "\\" + monitor;
    const auto key = fake::detail::FindKey(monitorPath);
    if (!key) return kUnknownMonitor;
    if (const auto ports = fake::detail::FindSubkey(*key, "Ports")) {
        for (const auto& port : ports->subkeys) {
            if (fake::PortInUse(port->name)) return kMonitorInUse;
        }
    }
    return fake::detail::RemoveKeyTree(monitorPath, false) ? 0 : kUnknownMonitor;
}

}  // namespace platform

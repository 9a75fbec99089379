// The print spooler for the Win32 side: a snapshot of the local printers that
// owns the spooler's buffer, printer handles that close themselves, and the
// port and monitor removal calls.
#include <windows.h>
#include <winspool.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/exports.h"
#include "platform/win32/handles.h"
#include "platform/win32/late_dlls.h"

namespace platform {

struct PrinterListState {
    // The PRINTER_INFO_2A records and every string they point at, as the spooler
    // wrote them. Allocated as 64-bit words so the records are aligned.
    std::vector<unsigned long long> buffer;
    DWORD count = 0;
    // Port names set by SetPortName. A deque never moves its elements, so the
    // records can point at these strings for as long as the list lives.
    std::deque<std::string> ports;

    PRINTER_INFO_2A* Records() { return reinterpret_cast<PRINTER_INFO_2A*>(buffer.data()); }
    const PRINTER_INFO_2A* Records() const {
        return reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    }
};

struct PrinterHandleState {
    win32::UniquePrinter printer;
};

void Discard(PrinterListState* state) {
    delete state;
}

void Discard(PrinterHandleState* state) {
    delete state;
}

std::size_t PrinterCount(const PrinterList& list) {
    return list.IsOpen() ? list.State()->count : 0;
}

namespace {
std::string TextOrEmpty(const char* text) {
    return text ? std::string(text) : std::string();
}

// Copies for the spooler functions that take LPSTR though they do not write.
std::vector<char> Writable(const std::string& text) {
    return std::vector<char>(text.c_str(), text.c_str() + text.size() + 1);
}

constexpr int kEnumAttempts = 5;
// Slack beyond the size the spooler asked for.
constexpr DWORD kEnumSlackBytes = 64;
}  // namespace

std::string PrinterNameAt(const PrinterList& list, std::size_t index) {
    if (index >= PrinterCount(list)) return std::string();
    return TextOrEmpty(list.State()->Records()[index].pPrinterName);
}

std::string PortNameAt(const PrinterList& list, std::size_t index) {
    if (index >= PrinterCount(list)) return std::string();
    return TextOrEmpty(list.State()->Records()[index].pPortName);
}

void SetPortNameAt(PrinterList& list, std::size_t index, const std::string& port) {
    if (index >= PrinterCount(list)) return;
    PrinterListState* state = list.State();
    state->ports.push_back(port);
    state->Records()[index].pPortName = &state->ports.back()[0];
}

void ClearSecurityDescriptorAt(PrinterList& list, std::size_t index) {
    if (index < PrinterCount(list)) list.State()->Records()[index].pSecurityDescriptor = nullptr;
}

PrinterList EnumLocalPrinters() {
    const win32::SpoolerFunctions* spooler = win32::Spooler();
    if (spooler == nullptr) return PrinterList();
    for (int attempt = 0; attempt < kEnumAttempts; ++attempt) {
        DWORD needed = 0;
        DWORD returned = 0;
        if (spooler->enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned))
            return PrinterList();  // no printers at all
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return PrinterList();

        auto state = std::make_unique<PrinterListState>();
        DWORD bytes = needed + kEnumSlackBytes;
        state->buffer.assign((bytes + 7) / 8, 0);
        bytes = static_cast<DWORD>(state->buffer.size() * 8);
        if (spooler->enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 2,
                          reinterpret_cast<BYTE*>(state->buffer.data()), bytes, &needed,
                          &returned)) {
            state->count = returned;
            return PrinterList(std::move(state));
        }
        // A printer added since the size query: ask again rather than give up.
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return PrinterList();
    }
    return PrinterList();
}

namespace {

// GetLastError after a failure; never 0.
uint32_t LastError() {
    const DWORD last = GetLastError();
    return last != 0 ? last : ERROR_ACCESS_DENIED;
}

}  // namespace

PrinterHandle OpenPrinterAllAccess(const std::string& printerName) {
    const win32::SpoolerFunctions* spooler = win32::Spooler();
    if (spooler == nullptr) return PrinterHandle(ERROR_INVALID_FUNCTION);
    PRINTER_DEFAULTSA defaults = {};
    defaults.pDatatype = nullptr;
    defaults.pDevMode = nullptr;
    defaults.DesiredAccess = PRINTER_ALL_ACCESS;
    std::vector<char> name = Writable(printerName);
    auto state = std::make_unique<PrinterHandleState>();
    if (!spooler->openPrinter(name.data(), state->printer.Put(), &defaults) || !state->printer.Valid())
        return PrinterHandle(LastError());
    return PrinterHandle(std::move(state));
}

uint32_t SetPrinterLevel2(const PrinterHandle& printer, const PrinterList& list, std::size_t index) {
    if (!printer.IsOpen() || index >= PrinterCount(list)) return ERROR_INVALID_HANDLE;
    PRINTER_INFO_2A* record = &list.State()->Records()[index];
    // An open printer means the spooler's functions were found.
    if (win32::Spooler()->setPrinter(printer.State()->printer.Get(), 2, reinterpret_cast<BYTE*>(record), 0)) return 0;
    return LastError();
}

uint32_t DeletePortWithError(const std::string& port) {
    const win32::SpoolerFunctions* spooler = win32::Spooler();
    if (spooler == nullptr) return ERROR_INVALID_FUNCTION;
    std::vector<char> name = Writable(port);
    if (spooler->deletePort(nullptr, nullptr, name.data())) return 0;
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_INVALID_FUNCTION;
}

PrinterHandle OpenMonitorXcv(const std::string& monitor) {
    const win32::SpoolerFunctions* spooler = win32::Spooler();
    if (spooler == nullptr || spooler->xcvData == nullptr) return PrinterHandle(ERROR_CALL_NOT_IMPLEMENTED);
    PRINTER_DEFAULTSA defaults = {};
    defaults.DesiredAccess = SERVER_ACCESS_ADMINISTER;
    std::vector<char> name = Writable(",XcvMonitor " + monitor);
    auto state = std::make_unique<PrinterHandleState>();
    if (!spooler->openPrinter(name.data(), state->printer.Put(), &defaults) || !state->printer.Valid())
        return PrinterHandle(LastError());
    return PrinterHandle(std::move(state));
}

uint32_t XcvDeletePort(const PrinterHandle& xcv, const std::string& port) {
    // An open Xcv handle means XcvDataW was found.
    if (!xcv.IsOpen()) return ERROR_INVALID_HANDLE;
    const int chars = MultiByteToWideChar(CP_ACP, 0, port.c_str(), -1, nullptr, 0);
    if (chars <= 0) return GetLastError() != 0 ? GetLastError() : ERROR_INVALID_PARAMETER;
    std::vector<wchar_t> name(static_cast<std::size_t>(chars));
    MultiByteToWideChar(CP_ACP, 0, port.c_str(), -1, name.data(), chars);
    DWORD needed = 0;
    DWORD status = 0;
    if (!win32::Spooler()->xcvData(xcv.State()->printer.Get(), L"DeletePort", reinterpret_cast<BYTE*>(name.data()),
                                   static_cast<DWORD>(name.size() * sizeof(wchar_t)), nullptr, 0, &needed, &status)) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_INVALID_FUNCTION;
    }
    return status;
}

bool SpoolerServiceStopped() {
    using OpenManager = decltype(&::OpenSCManagerA);
    using OpenService = decltype(&::OpenServiceA);
    using QueryStatus = decltype(&::QueryServiceStatus);
    using CloseService = decltype(&::CloseServiceHandle);
    const auto openManager = win32::ExportedFunction<OpenManager>("advapi32.dll", "OpenSCManagerA");
    const auto openService = win32::ExportedFunction<OpenService>("advapi32.dll", "OpenServiceA");
    const auto query = win32::ExportedFunction<QueryStatus>("advapi32.dll", "QueryServiceStatus");
    const auto close = win32::ExportedFunction<CloseService>("advapi32.dll", "CloseServiceHandle");
    if (!openManager || !openService || !query || !close) return false;
    const SC_HANDLE manager = openManager(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return false;
    const SC_HANDLE service = openService(manager, "Spooler", SERVICE_QUERY_STATUS);
    SERVICE_STATUS status = {};
    const bool stopped = service != nullptr && query(service, &status) && status.dwCurrentState == SERVICE_STOPPED;
    if (service != nullptr) close(service);
    close(manager);
    return stopped;
}

uint32_t DeleteMonitorWithError(const char* environment, const std::string& monitor) {
    const win32::SpoolerFunctions* spooler = win32::Spooler();
    if (spooler == nullptr) return ERROR_INVALID_FUNCTION;
    std::vector<char> env = Writable(environment != nullptr ? environment : "");
    std::vector<char> name = Writable(monitor);
    if (spooler->deleteMonitor(nullptr, environment != nullptr ? env.data() : nullptr, name.data())) return 0;
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_INVALID_FUNCTION;
}

}  // namespace platform

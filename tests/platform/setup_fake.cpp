// The platform suite's machine setup on the fake machine: every test starts on a
// fresh machine, and the state is read straight from the fake, not through platform.h.
#include "tests/platform/machine_setup.h"

#include <cstdlib>

#include "platform/fake/fake_machine.h"

namespace setup {

namespace {

const char kScratch[] = "C:\\zevtest";
const char kPrintersKey[] = "System\\CurrentControlSet\\Control\\Print\\Printers";

std::string WindowsFile(const std::string& name) {
    return "C:\\windows\\" + name;
}

}  // namespace

// The code page the suite runs in, as the Windows side takes it from the locale.
unsigned ActiveCodePage() {
    const char* asked = std::getenv("ZEV_CODE_PAGE");
    return asked != nullptr ? static_cast<unsigned>(std::strtoul(asked, nullptr, 10)) : 1252;
}

std::string FreshScratch() {
    fake::Reset();
    fake::SetCodePage(ActiveCodePage());
    fake::Set64BitWindows(64);  // as the suite's Win32 build is, under 64-bit Wine
    fake::AddDirectory(kScratch);
    fake::AddMonitorPort("Local Port", "LPT1:");  // every spooler's own, with the Xcv interface
    fake::SetMonitorXcv("Local Port", fake::XcvSupport::DeletePort);
    return kScratch;
}

void CleanScratch() {
    fake::Reset();
}

void MakeDir(const std::string& path) {
    fake::AddDirectory(path);
}

void MakeFile(const std::string& path, const std::string& content) {
    fake::AddFile(path, content);
}

void ChangeDirectory(const std::string& path) {
    fake::SetCurrentDirectory(path);
}

bool FileExists(const std::string& path) {
    return fake::FileExists(path);
}

bool DirExists(const std::string& path) {
    return fake::DirectoryExists(path);
}

void SetReadOnly(const std::string& path) {
    fake::SetReadOnly(path, true);
}

void HoldOpen(const std::string& path) {
    fake::SetFileLocked(path, true);
}

namespace {
std::string g_heldLock;
}

void HoldProgramLock(const std::string& name) {
    g_heldLock = name;
    fake::HoldProgramLockElsewhere(name, true);
}

void AbandonProgramLock() {
    fake::HoldProgramLockElsewhere(g_heldLock, false);
}

void MakeLoadedImage(const std::string& path) {
    fake::AddFile(path, "MZ");
    fake::SetFileLoaded(path, true);
}

std::string ReadWindowsFile(const std::string& name) {
    std::string content;
    fake::ReadFileContent(WindowsFile(name), &content);
    return content;
}

std::string RegReadData(const std::string& path, const std::string& name) {
    platform::RegValue value;
    return fake::RegGetValue(path, name, &value) ? value.data : std::string();
}

void WriteWindowsFile(const std::string& name, const std::string& content) {
    fake::AddFile(WindowsFile(name), content);
}

void RemoveWindowsFile(const std::string& name) {
    fake::RemovePath(WindowsFile(name));
}

void RegCreate(const std::string& path) {
    fake::RegCreateKey(path);
}

void RegSetDword(const std::string& path, const std::string& name, uint32_t value) {
    fake::RegSetDword(path, name, value);
}

void RegSetString(const std::string& path, const std::string& name, const std::string& value) {
    fake::RegSetString(path, name, value);
}

void RegSetBinary(const std::string& path, const std::string& name, const std::string& data) {
    fake::RegSetRaw(path, name, platform::kRegBinary, data);
}

void RegDeleteTree(const std::string& path) {
    fake::RegDeleteTree(path);
}

bool RegKeyExists(const std::string& path) {
    return fake::RegKeyExists(path);
}

bool RegValueExists(const std::string& path, const std::string& name) {
    return fake::RegValueExists(path, name);
}

void AddPrinter(const std::string& name, const std::string& port, const std::string& comment) {
    fake::Printer printer;
    printer.name = name;
    printer.port = port;
    printer.comment = comment;
    fake::AddPrinter(printer);
}

std::string PrinterPort(const std::string& name) {
    fake::Printer printer;
    return fake::GetPrinter(name, &printer) ? printer.port : std::string();
}

std::string PrinterComment(const std::string& name) {
    fake::Printer printer;
    return fake::GetPrinter(name, &printer) ? printer.comment : std::string();
}

void RemovePrinter(const std::string& name) {
    fake::RegDeleteTree(std::string(kPrintersKey) + "\\" + name);
}

}  // namespace setup

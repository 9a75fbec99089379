// libFuzzer target: the input is ZEVFList.ini on a small fixed machine, the whole
// uninstaller runs with its question answered Yes, and every promise the
// property test checks must hold (tests/property/run_oracle.h); a broken one
// aborts with its description.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/uninstaller.h"
#include "platform/fake/fake_machine.h"
#include "tests/property/run_oracle.h"

namespace {

const char kPrograms[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

void AddEntry(const std::string& name) {
    const std::string key = std::string(kPrograms) + "\\" + name;
    fake::RegSetString(key, "DisplayName", name);
    fake::RegSetString(key, "UninstallString", "C:\\windows\\uninst.exe");
    fake::RegSetString(key, "DisplayIcon", "C:\\windows\\uninst.exe,0");
}

fake::Printer MakePrinter(const std::string& name, const std::string& port) {
    fake::Printer printer;
    printer.name = name;
    printer.port = port;
    printer.comment = name + " comment";
    printer.attributes = 0x240;
    printer.priority = 5;
    return printer;
}

// The product as its installer left it, with neighbours beside, above and
// below it, a file in use and a read-only one, and empty directories that only
// a wrong parent would reach.
oracle::MachineFacts BuildMachine() {
    fake::Reset();
    oracle::MachineFacts facts;
    facts.currentDir = "C:\\Program Files";
    fake::AddDirectory(facts.currentDir);
    fake::SetCurrentDirectory(facts.currentDir);

    for (const char* file : {"C:\\Program Files\\Vantorin\\Print\\vprint.exe",
                             "C:\\Program Files\\Vantorin\\Print\\vprint.hlp",
                             "C:\\Program Files\\Vantorin\\Print\\Drivers\\vpdrv.dll",
                             "C:\\Program Files\\Vantorin\\Print\\Drivers\\vpui.dll",
                             "C:\\Program Files\\Vantorin\\Print\\inuse.dll",
                             "C:\\Program Files\\Vantorin\\Other Tool\\tool.exe",
                             "C:\\Program Files\\Common Files\\shared.dll",
                             "C:\\windows\\system32\\vpmon.dll",
                             "C:\\windows\\system32\\kernel32.dll",
                             "C:\\windows\\system32\\ro.dll",
                             "C:\\windows\\win.ini",
                             "C:\\Spool\\Other\\keep.spl",
                             "C:\\keep.txt",
                             "D:\\Data\\keep.txt",
                             "\\\\srv\\share\\Vantorin\\x.dll",
                             "\\\\srv\\share\\keep.txt"})
        fake::AddFile(file, "data");
    for (const char* dir : {"C:\\Spool\\Vantorin\\Jobs", "C:\\Program Files\\Vantorin\\Print\\Empty", "C:\\Empty",
                            "C:\\A\\B\\C", "D:\\X\\Y", "\\\\srv\\share\\Empty\\Sub", "C:\\Program Files\\Held"})
        fake::AddDirectory(dir);
    fake::SetFileLocked("C:\\Program Files\\Vantorin\\Print\\inuse.dll", true);
    fake::SetReadOnly("C:\\windows\\system32\\ro.dll", true);
    fake::SetReadOnly("C:\\Program Files\\Held", true);
    facts.lockedPaths = {"C:\\Program Files\\Vantorin\\Print\\inuse.dll"};
    facts.readOnlyPaths = {"C:\\windows\\system32\\ro.dll", "C:\\Program Files\\Held"};
    fake::AddFile("C:\\windows\\ZEVUnins.ini", "[STATIC]\nMSGBOX00=Vantorin Print has been removed.\n");

    AddEntry("VantorinPrint");
    AddEntry("Vantorin");
    AddEntry("Other Product");
    fake::RegSetString(std::string(kPrograms) + "\\Vantorin\\Print", "DisplayName", "part");
    fake::RegSetString("SOFTWARE\\Vantorin\\Print", "Path", "C:\\Program Files\\Vantorin\\Print");

    fake::AddMonitorPort("Vantorin Port", "VP1");
    fake::AddMonitorPort("Vantorin Port", "VP2");
    fake::AddMonitorPort("Other Monitor", "OM1");
    fake::AddMonitorPort("Local Port", "LPT1:");
    fake::AddMonitorPort("Local Port", "FILE:");
    const std::vector<fake::Printer> printers = {MakePrinter("P1", "VP1"), MakePrinter("P2", "VP2"),
                                                 MakePrinter("Q", "OM1"), MakePrinter("L", "LPT1:"),
                                                 MakePrinter("F", "FILE:")};
    for (const fake::Printer& printer : printers) {
        fake::AddPrinter(printer);
        facts.printerNames.push_back(printer.name);
    }
    fake::SetPrinterOpenRefused("P2", true);
    facts.refusedPrinters = {"P2"};
    return facts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    oracle::MachineFacts facts = BuildMachine();
    fake::AddFile("C:\\windows\\ZEVFList.ini", std::string(reinterpret_cast<const char*>(data), size));
    oracle::RunCheck check(std::move(facts));

    int status = -1;
    try {
        status = UninstallerMain(nullptr);
    } catch (const fake::ProcessExit& exit) {
        status = exit.code;
    }
    const std::vector<std::string> violations = check.Check(status, true);
    if (violations.empty()) return 0;
    std::fprintf(stderr, "the run broke its promise:\n");
    for (const std::string& violation : violations) std::fprintf(stderr, "  %s\n", violation.c_str());
    std::fprintf(stderr, "as read: %s", check.Describe().c_str());
    std::abort();
}

// The fake machine's registry and spooler where the platform suite cannot check
// them against Windows: handle accounting, the 95 family's key deletion, denied
// keys, and the scripted spooler races and refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"
#include "platform/platform.h"

namespace {

using Strings = std::vector<std::string>;

const std::string kPrinters = "System\\CurrentControlSet\\Control\\Print\\Printers";
const std::string kMonitors = "System\\CurrentControlSet\\Control\\Print\\Monitors";

class FakeRegistry : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
};

TEST_F(FakeRegistry, HandlesAreCountedAndClosedByTheirOwners) {
    fake::RegCreateKey("SOFTWARE\\Vendor");
    {
        platform::RegKey key = platform::OpenLocalMachineKey("software\\VENDOR", platform::RegAccess::Read);
        ASSERT_TRUE(key.IsOpen());
        EXPECT_EQ(fake::OpenRegistryKeys(), 1);
        platform::RegKey other = platform::OpenLocalMachineKey("SOFTWARE", platform::RegAccess::Read);
        other = std::move(key);  // closes SOFTWARE, takes the Vendor handle
        EXPECT_EQ(fake::OpenRegistryKeys(), 1);
        EXPECT_FALSE(platform::OpenLocalMachineKey("SOFTWARE\\Missing", platform::RegAccess::Read).IsOpen());
        EXPECT_FALSE(platform::OpenLocalMachineKey("\\SOFTWARE", platform::RegAccess::Read).IsOpen());
    }
    EXPECT_EQ(fake::OpenRegistryKeys(), 0);

    // A handle left over from before a reset does not touch the fresh machine's count.
    platform::RegKey stale = platform::OpenLocalMachineKey("SOFTWARE", platform::RegAccess::Read);
    fake::Reset();
    stale = platform::RegKey();
    EXPECT_EQ(fake::OpenRegistryKeys(), 0);
}

TEST_F(FakeRegistry, TheWindows95FamilyDeletesWholeTreesAndADeniedKeyStays) {
    fake::RegCreateKey("SOFTWARE\\Vendor\\Product\\Settings");
    fake::RegCreateKey("SOFTWARE\\Vendor\\Locked");
    fake::RegDenyOpen("SOFTWARE\\Vendor\\Locked", true);
    EXPECT_FALSE(platform::DeleteLocalMachineKey("SOFTWARE\\Vendor\\Locked"));

    fake::SetWindows95Family(true);
    EXPECT_TRUE(platform::IsWindows95Family());
    EXPECT_TRUE(platform::DeleteLocalMachineKey("software\\vendor\\product"));
    EXPECT_EQ(fake::RegSubkeys("SOFTWARE\\Vendor"), (Strings{"Locked"}));
    EXPECT_FALSE(platform::DeleteLocalMachineKey("SOFTWARE\\Vendor\\Locked"));
}

class FakeSpooler : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        platform::LoadSpooler("C:\\windows\\system32\\winspool.drv");
    }

    static fake::Printer Named(const std::string& name, const std::string& port) {
        fake::Printer printer;
        printer.name = name;
        printer.port = port;
        return printer;
    }
};

TEST_F(FakeSpooler, APrinterAddedDuringTheEnumerationIsListedAfterTheRetries) {
    fake::AddPrinter(Named("P1", "LPT1:"));
    fake::AddPrinterDuringNextEnum(Named("Late", "COM1:"), 4);

    platform::PrinterList list = platform::EnumLocalPrinters();
    ASSERT_EQ(platform::PrinterCount(list), 2u);
    EXPECT_EQ(platform::PrinterNameAt(list, 1), "Late");
    EXPECT_EQ(platform::PrinterCount(platform::EnumLocalPrinters()), 2u);  // the race is over
}

TEST_F(FakeSpooler, AnEnumerationThatNeverSettlesGivesNoPrinters) {
    fake::AddPrinter(Named("P1", "LPT1:"));
    fake::AddPrinterDuringNextEnum(Named("Late", "COM1:"), 6);

    EXPECT_EQ(platform::PrinterCount(platform::EnumLocalPrinters()), 0u);
    EXPECT_EQ(fake::LivePrinterSnapshots(), 0);
    EXPECT_EQ(platform::PrinterCount(platform::EnumLocalPrinters()), 2u);  // one failing attempt was left
}

TEST_F(FakeSpooler, SnapshotsAndHandlesAreCounted) {
    fake::AddPrinter(Named("P1", "LPT1:"));
    fake::SetPrinterOpenRefused("p1", true);
    EXPECT_FALSE(platform::OpenPrinterAllAccess("P1").IsOpen());
    fake::SetPrinterOpenRefused("P1", false);
    {
        platform::PrinterList list = platform::EnumLocalPrinters();
        platform::PrinterList moved = std::move(list);
        EXPECT_EQ(fake::LivePrinterSnapshots(), 1);
        platform::PrinterHandle printer = platform::OpenPrinterAllAccess("p1");
        ASSERT_TRUE(printer.IsOpen());
        EXPECT_EQ(fake::OpenPrinters(), 1);
        platform::SetPortNameAt(moved, 0, "FILE:");
        EXPECT_EQ(platform::SetPrinterLevel2(printer, moved, 0), 0u);
        EXPECT_NE(platform::SetPrinterLevel2(printer, moved, 1), 0u);
    }
    EXPECT_EQ(fake::LivePrinterSnapshots(), 0);
    EXPECT_EQ(fake::OpenPrinters(), 0);
}

TEST_F(FakeSpooler, PortsAndMonitorsInUseAreKept) {
    fake::AddMonitorPort("Tool Port", "TOOL1");
    fake::AddMonitorPort("Tool Port", "TOOL2");
    fake::AddPrinter(Named("P1", "tool2"));  // the spooler compares port names without case

    EXPECT_EQ(platform::DeletePortWithError("TOOL1"), 0u);
    EXPECT_NE(platform::DeletePortWithError("TOOL1"), 0u);
    EXPECT_NE(platform::DeletePortWithError("TOOL2"), 0u);
    EXPECT_NE(platform::DeleteMonitorWithError("Windows 4.0", "Tool Port"), 0u);
    EXPECT_EQ(fake::RegSubkeys(kMonitors + "\\Tool Port\\Ports"), (Strings{"TOOL2"}));

    fake::RegSetString(kPrinters + "\\P1", "Port", "LPT1:");  // a plain registry write moves it too
    EXPECT_EQ(platform::DeleteMonitorWithError("Windows x64", "TOOL PORT"), 0u);
    EXPECT_FALSE(fake::RegKeyExists(kMonitors + "\\Tool Port"));
}

TEST_F(FakeSpooler, AMonitorNameIsNeverThePathOfAnotherKey) {
    fake::AddMonitorPort("Tool Port", "TOOL1");
    // The spooler opens the monitor's key below Monitors, and a key below
    // another never starts with a backslash: none of these is a monitor.
    for (const char* name : {"", "\\", "\\Tool Port", "\\\\"})
        EXPECT_NE(platform::DeleteMonitorWithError("Windows 4.0", name), 0u) << name;
    EXPECT_TRUE(fake::RegKeyExists(kMonitors + "\\Tool Port\\Ports\\TOOL1"));
}

}  // namespace

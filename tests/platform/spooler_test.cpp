// The print spooler as the program relies on it: listing the local printers,
// moving one to another port, and removing ports and monitors, on the fake and
// under Wine (which keeps printers and monitors in the registry).
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/platform/machine_setup.h"

namespace {

const std::string kMonitors = "System\\CurrentControlSet\\Control\\Print\\Monitors";

class Spooler : public ::testing::Test {
protected:
    void SetUp() override {
        setup::FreshScratch();
        ASSERT_TRUE(platform::LoadSpooler(platform::GetSystemDir() + "\\winspool.drv"));
    }
    void TearDown() override { setup::CleanScratch(); }
};

// The index of `name` in `list`, or Count() when it is not listed.
std::size_t IndexOf(const platform::PrinterList& list, const std::string& name) {
    for (std::size_t i = 0; i < platform::PrinterCount(list); ++i)
        if (platform::PrinterNameAt(list, i) == name) return i;
    return platform::PrinterCount(list);
}

bool Listed(const std::string& name) {
    platform::PrinterList list = platform::EnumLocalPrinters();
    return IndexOf(list, name) < platform::PrinterCount(list);
}

TEST_F(Spooler, ListsEachPrinterWithItsOwnPort) {
    setup::AddPrinter("ZevSuite P1", "ZEVSUITE1:", "first");
    setup::AddPrinter("ZevSuite P2", "LPT1:", "second");

    platform::PrinterList list = platform::EnumLocalPrinters();
    std::size_t p1 = IndexOf(list, "ZevSuite P1");
    std::size_t p2 = IndexOf(list, "ZevSuite P2");
    ASSERT_LT(p1, platform::PrinterCount(list));
    ASSERT_LT(p2, platform::PrinterCount(list));
    EXPECT_EQ(platform::PortNameAt(list, p1), "ZEVSUITE1:");
    EXPECT_EQ(platform::PortNameAt(list, p2), "LPT1:");
    EXPECT_EQ(platform::PrinterNameAt(list, platform::PrinterCount(list)), "");
    EXPECT_EQ(platform::PortNameAt(list, platform::PrinterCount(list)), "");
}

TEST_F(Spooler, ARemovedPrinterIsNoLongerListed) {
    setup::AddPrinter("ZevSuite Gone", "ZEVSUITE1:", "");
    ASSERT_TRUE(Listed("ZevSuite Gone"));

    setup::RemovePrinter("ZevSuite Gone");
    EXPECT_FALSE(Listed("ZevSuite Gone"));
}

TEST_F(Spooler, AnEmptyListOwnsNothing) {
    platform::PrinterList none;
    EXPECT_EQ(platform::PrinterCount(none), 0u);
    EXPECT_EQ(platform::PrinterNameAt(none, 0), "");
    platform::PrinterHandle closed;
    EXPECT_NE(platform::SetPrinterLevel2(closed, none, 0), 0u);
}

TEST_F(Spooler, ChangingAPortInTheSnapshotLeavesThePrinterUntilWritten) {
    setup::AddPrinter("ZevSuite P1", "ZEVSUITE1:", "kept comment");

    platform::PrinterList list = platform::EnumLocalPrinters();
    std::size_t p1 = IndexOf(list, "ZevSuite P1");
    ASSERT_LT(p1, platform::PrinterCount(list));
    platform::SetPortNameAt(list, p1, "LPT1:");
    EXPECT_EQ(platform::PortNameAt(list, p1), "LPT1:");
    EXPECT_EQ(setup::PrinterPort("ZevSuite P1"), "ZEVSUITE1:");

    platform::PrinterHandle printer = platform::OpenPrinterAllAccess("ZevSuite P1");
    ASSERT_TRUE(printer.IsOpen());
    EXPECT_EQ(platform::SetPrinterLevel2(printer, list, p1), 0u);
    EXPECT_EQ(setup::PrinterPort("ZevSuite P1"), "LPT1:");
    EXPECT_EQ(setup::PrinterComment("ZevSuite P1"), "kept comment");
}

TEST_F(Spooler, EveryMovedPrinterGetsItsOwnNewPort) {
    // Several names set before any is written: each record must still point at
    // its own name when it is written back.
    setup::AddPrinter("ZevSuite A", "ZEVSUITE1:", "a");
    setup::AddPrinter("ZevSuite B", "ZEVSUITE2:", "b");
    setup::AddPrinter("ZevSuite C", "ZEVSUITE3:", "c");
    setup::AddPrinter("ZevSuite Stay", "ZEVSUITE4:", "stays");

    platform::PrinterList list = platform::EnumLocalPrinters();
    const std::string names[] = {"ZevSuite A", "ZevSuite B", "ZevSuite C"};
    const std::string ports[] = {"LPT1:", "COM2:", "FILE:"};
    for (int i = 0; i < 3; ++i) {
        std::size_t index = IndexOf(list, names[i]);
        ASSERT_LT(index, platform::PrinterCount(list)) << names[i];
        platform::SetPortNameAt(list, index, ports[i]);
        // Written back without its security descriptor, the printer keeps the security it has.
        if (i == 1) platform::ClearSecurityDescriptorAt(list, index);
    }
    for (int i = 0; i < 3; ++i) {
        platform::PrinterHandle printer = platform::OpenPrinterAllAccess(names[i]);
        ASSERT_TRUE(printer.IsOpen()) << names[i];
        EXPECT_EQ(platform::SetPrinterLevel2(printer, list, IndexOf(list, names[i])), 0u);
    }
    for (int i = 0; i < 3; ++i) EXPECT_EQ(setup::PrinterPort(names[i]), ports[i]) << names[i];
    EXPECT_EQ(setup::PrinterPort("ZevSuite Stay"), "ZEVSUITE4:");
    EXPECT_EQ(setup::PrinterComment("ZevSuite B"), "b");
}

TEST_F(Spooler, AMovedSnapshotKeepsItsRecords) {
    setup::AddPrinter("ZevSuite P1", "ZEVSUITE1:", "");

    platform::PrinterList first = platform::EnumLocalPrinters();
    std::size_t p1 = IndexOf(first, "ZevSuite P1");
    ASSERT_LT(p1, platform::PrinterCount(first));
    platform::SetPortNameAt(first, p1, "LPT2:");
    platform::PrinterList second(std::move(first));
    EXPECT_EQ(platform::PrinterCount(first), 0u);
    EXPECT_EQ(platform::PortNameAt(second, p1), "LPT2:");

    platform::PrinterHandle printer = platform::OpenPrinterAllAccess("ZevSuite P1");
    platform::PrinterHandle moved;
    moved = std::move(printer);
    EXPECT_FALSE(printer.IsOpen());
    ASSERT_TRUE(moved.IsOpen());
    EXPECT_EQ(platform::SetPrinterLevel2(moved, second, p1), 0u);
    EXPECT_EQ(setup::PrinterPort("ZevSuite P1"), "LPT2:");
}

TEST_F(Spooler, OpeningAMissingPrinterFails) {
    EXPECT_FALSE(platform::OpenPrinterAllAccess("ZevSuite Missing").IsOpen());
}

TEST_F(Spooler, DeleteMonitorRemovesThatMonitorOnly) {
    setup::RegCreate(kMonitors + "\\ZevSuiteMon\\Ports\\ZEVSUITE1:");
    setup::RegCreate(kMonitors + "\\ZevSuiteOther\\Ports\\ZEVSUITE2:");

    EXPECT_EQ(platform::DeleteMonitorWithError("Windows 4.0", "ZevSuiteMon"), 0u);
    EXPECT_FALSE(setup::RegKeyExists(kMonitors + "\\ZevSuiteMon"));
    EXPECT_TRUE(setup::RegKeyExists(kMonitors + "\\ZevSuiteOther\\Ports\\ZEVSUITE2:"));
    // No environment is the print server's own. (Windows answers one it does
    // not serve with ERROR_INVALID_ENVIRONMENT; Wine takes any, so only the
    // fake shows that.)
    EXPECT_EQ(platform::DeleteMonitorWithError(nullptr, "ZevSuiteOther"), 0u);
    EXPECT_FALSE(setup::RegKeyExists(kMonitors + "\\ZevSuiteOther"));

    EXPECT_NE(platform::DeleteMonitorWithError("Windows 4.0", "ZevSuiteMon"), 0u);
    EXPECT_NE(platform::DeleteMonitorWithError("Windows 4.0", "ZevSuiteNever"), 0u);
}

TEST_F(Spooler, DeletingAnUnknownPortFails) {
    EXPECT_NE(platform::DeletePortWithError("ZEVSUITENOPORT:"), 0u);
}

TEST_F(Spooler, PortsGoThroughTheXcvOfAMonitorThatHasOne) {
    setup::RegCreate(kMonitors + "\\ZevSuiteMon\\Ports\\ZEVSUITE1:");
    // A monitor without the interface (here one with no DLL at all) gives no handle, and says why.
    const platform::PrinterHandle none = platform::OpenMonitorXcv("ZevSuiteMon");
    EXPECT_FALSE(none.IsOpen());
    EXPECT_NE(none.Error(), 0u);
    // The spooler's own monitor has it: a port it does not have is the monitor's error, not a deletion.
    const platform::PrinterHandle xcv = platform::OpenMonitorXcv("Local Port");
    ASSERT_TRUE(xcv.IsOpen()) << xcv.Error();
    const uint32_t status = platform::XcvDeletePort(xcv, "ZEVSUITENOPORT:");
    EXPECT_NE(status, 0u);
    EXPECT_FALSE(platform::IsUnknownXcvCommand(status)) << status;
}

TEST_F(Spooler, IsNotTheWindows95Family) {
    EXPECT_FALSE(platform::IsWindows95Family());
}

}  // namespace

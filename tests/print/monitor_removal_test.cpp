// Print monitor removal: ports read from the registry, printers moved to LPT1,
// ports and monitor deleted.
#include "print/monitor_removal.h"

#include <algorithm>

#include "tests/support/machine.h"

using testing_support::FakeMachineTest;
using Strings = std::vector<std::string>;

namespace {

const std::string kMonitors = "System\\CurrentControlSet\\Control\\Print\\Monitors";

fake::Printer MakePrinter(const std::string& name, const std::string& port) {
    fake::Printer printer;
    printer.name = name;
    printer.port = port;
    printer.comment = "comment of " + name;
    printer.location = "floor 2";
    printer.shareName = name + " share";
    printer.driverName = "Driver X";
    printer.datatype = "NT EMF 1.008";
    printer.parameters = "p=1";
    printer.sepFile = "C:\\sep.sep";
    printer.attributes = 0x48;
    printer.priority = 7;
    printer.defaultPriority = 3;
    printer.startTime = 60;
    printer.untilTime = 1200;
    return printer;
}

std::string PortOf(const std::string& printer) {
    fake::Printer now;
    EXPECT_TRUE(fake::GetPrinter(printer, &now)) << printer;
    return now.port;
}

// `printers`, where given, hears of each printer: "name: from -> to", and Windows' error.
platform::RemovalResult RemoveMonitor(const std::string& monitor, Strings* printers = nullptr) {
    const auto tell = [printers](const std::string& printer, const std::string& from, const std::string& to,
                                 uint32_t error) {
        if (printers == nullptr) return;
        printers->push_back(printer + ": " + from + " -> " + to + (error != 0 ? ", error " + std::to_string(error) : ""));
    };
    return RemoveLprMonitor(monitor, LoadMonitorPorts(monitor), {}, tell).result;
}

constexpr platform::RemovalResult kRemoved = platform::RemovalResult::Removed;

}  // namespace

class MonitorRemoval : public FakeMachineTest {
protected:
    void SetUp() override {
        FakeMachineTest::SetUp();
        platform::LoadSpooler("C:\\windows\\system32\\winspool.drv");
    }
};

TEST_F(MonitorRemoval, PrintersOnTheMonitorsPortsMoveToLpt1AndKeepEverythingElse) {
    fake::AddMonitorPort("Tool Port", "TOOL1");
    fake::AddMonitorPort("Tool Port", "TOOL2");
    fake::AddMonitorPort("Other Monitor", "OTHER1");
    fake::AddPrinter(MakePrinter("P1", "TOOL1"));
    fake::AddPrinter(MakePrinter("P2", "TOOL1"));  // two on one port
    fake::AddPrinter(MakePrinter("P3", "TOOL2"));
    fake::AddPrinter(MakePrinter("Q", "OTHER1"));

    EXPECT_EQ(RemoveMonitor("Tool Port"), kRemoved);

    for (const char* moved : {"P1", "P2", "P3"}) EXPECT_EQ(PortOf(moved), "LPT1:") << moved;
    EXPECT_EQ(PortOf("Q"), "OTHER1");
    fake::Printer p1;
    ASSERT_TRUE(fake::GetPrinter("P1", &p1));
    const fake::Printer expected = MakePrinter("P1", "LPT1:");
    EXPECT_EQ(p1.comment, expected.comment);
    EXPECT_EQ(p1.location, expected.location);
    EXPECT_EQ(p1.shareName, expected.shareName);
    EXPECT_EQ(p1.driverName, expected.driverName);
    EXPECT_EQ(p1.datatype, expected.datatype);
    EXPECT_EQ(p1.parameters, expected.parameters);
    EXPECT_EQ(p1.sepFile, expected.sepFile);
    EXPECT_EQ(p1.attributes, expected.attributes);
    EXPECT_EQ(p1.priority, expected.priority);
    EXPECT_EQ(p1.defaultPriority, expected.defaultPriority);
    EXPECT_EQ(p1.startTime, expected.startTime);
    EXPECT_EQ(p1.untilTime, expected.untilTime);

    EXPECT_FALSE(fake::RegKeyExists(kMonitors + "\\Tool Port"));
    EXPECT_TRUE(fake::RegKeyExists(kMonitors + "\\Other Monitor\\Ports\\OTHER1"));
    EXPECT_EQ(fake::OpenRegistryKeys(), 0);
    EXPECT_EQ(fake::OpenPrinters(), 0);
    EXPECT_EQ(fake::LivePrinterSnapshots(), 0);
}

TEST_F(MonitorRemoval, The95FamilyNamesTheParallelPortWithoutColon) {
    fake::SetWindows95Family(true);
    fake::AddMonitorPort("Tool Port", "TOOL1");
    fake::AddPrinter(MakePrinter("P1", "TOOL1"));
    RemoveMonitor("Tool Port");
    EXPECT_EQ(PortOf("P1"), "LPT1");
}

TEST_F(MonitorRemoval, WhereOneFormOfTheParallelPortIsRefusedTheOtherIsWritten) {
    // Under a compatibility mode the NT family reports the 95 family, and its
    // spooler refuses "LPT1"; the other way round is as likely.
    for (const bool family95 : {true, false}) {
        SetUp();
        fake::SetWindows95Family(family95);
        const std::string first = family95 ? "LPT1" : "LPT1:";
        const std::string other = family95 ? "LPT1:" : "LPT1";
        fake::SetPortRefused(first, true);
        fake::AddMonitorPort("Tool Port", "TOOL1");
        fake::AddPrinter(MakePrinter("P1", "TOOL1"));
        EXPECT_EQ(RemoveMonitor("Tool Port"), kRemoved) << first;
        EXPECT_EQ(PortOf("P1"), other);
        EXPECT_FALSE(fake::RegKeyExists(kMonitors + "\\Tool Port")) << first;
    }
}

TEST_F(MonitorRemoval, PrinterThatCannotBeOpenedStaysAndTheMonitorWithIt) {
    fake::AddMonitorPort("Tool Port", "TOOL1");
    fake::AddPrinter(MakePrinter("P1", "TOOL1"));
    fake::AddPrinter(MakePrinter("P2", "TOOL1"));
    fake::SetPrinterOpenRefused("P1", true);
    Strings told;
    EXPECT_EQ(RemoveMonitor("Tool Port", &told), platform::RemovalResult::Failed);  // the spooler keeps a monitor in use
    EXPECT_EQ(PortOf("P1"), "TOOL1");
    EXPECT_EQ(PortOf("P2"), "LPT1:");
    EXPECT_EQ(told, (Strings{"P1: TOOL1 -> TOOL1, error 5", "P2: TOOL1 -> LPT1:"}));
    EXPECT_EQ(fake::OpenPrinters(), 0);
}

TEST_F(MonitorRemoval, PrinterIsMovedWhereItsSecurityMayNotBeWritten) {
    fake::AddMonitorPort("Tool Port", "TOOL1");
    fake::AddPrinter(MakePrinter("P1", "TOOL1"));
    fake::SetPrinterSecurityRefused("P1", true);
    EXPECT_EQ(RemoveMonitor("Tool Port"), kRemoved);
    EXPECT_EQ(PortOf("P1"), "LPT1:");
    fake::Printer p1;
    ASSERT_TRUE(fake::GetPrinter("P1", &p1));
    EXPECT_EQ(p1.comment, MakePrinter("P1", "").comment);
    EXPECT_FALSE(fake::RegKeyExists(kMonitors + "\\Tool Port"));
}

TEST_F(MonitorRemoval, MissingPortsKeyStillAttemptsTheMonitor) {
    fake::RegCreateKey(kMonitors + "\\Tool Port");
    fake::AddPrinter(MakePrinter("P1", "TOOL1"));
    EXPECT_EQ(RemoveMonitor("Tool Port"), kRemoved);
    EXPECT_EQ(PortOf("P1"), "TOOL1");
    EXPECT_FALSE(fake::RegKeyExists(kMonitors + "\\Tool Port"));

    EXPECT_EQ(RemoveMonitor("Unknown"), platform::RemovalResult::NotThere);
}

TEST_F(MonitorRemoval, PortSettingsAreReadAndAWrongTypeLeavesOnlyItsField) {
    const std::string port = kMonitors + "\\Tool Port\\Ports\\TOOL1";
    fake::AddMonitorPort("Tool Port", "TOOL1");
    fake::RegSetDword(port, "CmdSendTmout", 11);
    fake::RegSetDword(port, "DatSendTmout", 12);
    fake::RegSetDword(port, "CmdAckTmout", 13);
    fake::RegSetDword(port, "DatAckTmout", 14);
    fake::RegSetDword(port, "SNNumber", 15);
    fake::RegSetDword(port, "AutoOrManual", 1);
    fake::RegSetString(port, "SerialNo", "12345");  // text where a number belongs
    fake::RegSetString(port, "HostName", "printhost.example");
    fake::RegSetString(port, "PortName", "queue1");

    const std::vector<PortRecord> records = LoadMonitorPorts("Tool Port");
    ASSERT_EQ(records.size(), 1u);
    const PortRecord& record = records[0];
    EXPECT_EQ(record.name, "TOOL1");
    EXPECT_EQ(record.cmdSendTmout, 11u);
    EXPECT_EQ(record.datSendTmout, 12u);
    EXPECT_EQ(record.cmdAckTmout, 13u);
    EXPECT_EQ(record.datAckTmout, 14u);
    EXPECT_EQ(record.snNumber, 15u);
    EXPECT_EQ(record.autoOrManual, 1u);
    EXPECT_EQ(record.serialNo, 0u);
    EXPECT_EQ(record.hostName, "printhost.example");
    EXPECT_EQ(record.portName, "queue1");
    EXPECT_EQ(fake::OpenRegistryKeys(), 0);
}

TEST_F(MonitorRemoval, ReadDwordLeavesTheOutputAloneOnFailure) {
    const std::string port = kMonitors + "\\M\\Ports\\P";
    fake::RegSetRaw(port, "Short", platform::kRegDword, std::string("\x01\x02", 2));
    fake::RegSetRaw(port, "Binary", platform::kRegBinary, std::string("\x01\x00\x00\x00", 4));
    fake::RegSetDword(port, "Good", 0x01020304);
    const platform::RegKey key = platform::OpenLocalMachineKey(port, platform::RegAccess::Read);
    ASSERT_TRUE(key.IsOpen());
    uint32_t out = 77;
    EXPECT_FALSE(ReadDwordValue(key, "Missing", &out));
    EXPECT_FALSE(ReadDwordValue(key, "Short", &out));
    EXPECT_FALSE(ReadDwordValue(key, "Binary", &out));
    EXPECT_EQ(out, 77u);
    EXPECT_TRUE(ReadDwordValue(key, "Good", &out));
    EXPECT_EQ(out, 0x01020304u);
}

TEST_F(MonitorRemoval, PortWhoseKeyCannotBeOpenedIsStillHandledByItsName) {
    fake::AddMonitorPort("Tool Port", "TOOL1");
    fake::AddMonitorPort("Tool Port", "LOCKED");
    fake::RegDenyOpen(kMonitors + "\\Tool Port\\Ports\\LOCKED", true);
    fake::AddPrinter(MakePrinter("P1", "LOCKED"));
    fake::AddPrinter(MakePrinter("Blank", ""));  // a printer with no port must never match
    RemoveMonitor("Tool Port");
    EXPECT_EQ(PortOf("P1"), "LPT1:");
    EXPECT_EQ(PortOf("Blank"), "");
    EXPECT_EQ(fake::CallsOf("DeletePort"), (Strings{"TOOL1", "LOCKED"}));
}

TEST_F(MonitorRemoval, LongPortNamesAreKeptWholeAndNotMatchedByTheirStart) {
    const std::string longPort(200, 'P');
    const std::string sameStart = std::string(127, 'P');
    fake::AddMonitorPort("Tool Port", longPort);
    fake::AddPrinter(MakePrinter("Long", longPort));
    fake::AddPrinter(MakePrinter("Start", sameStart));
    RemoveMonitor("Tool Port");
    EXPECT_EQ(PortOf("Long"), "LPT1:");
    EXPECT_EQ(PortOf("Start"), sameStart);
    EXPECT_EQ(fake::CallsOf("DeletePort"), (Strings{longPort}));
}

TEST_F(MonitorRemoval, SnapshotIsAskedForAgainWhenAPrinterArrivesMeanwhile) {
    fake::AddMonitorPort("Tool Port", "TOOL1");
    fake::AddPrinter(MakePrinter("P1", "TOOL1"));
    fake::AddPrinterDuringNextEnum(MakePrinter("Late", "TOOL1"), 2);
    RemoveMonitor("Tool Port");
    EXPECT_EQ(PortOf("P1"), "LPT1:");
    EXPECT_EQ(PortOf("Late"), "LPT1:");
    EXPECT_EQ(fake::LivePrinterSnapshots(), 0);
}

TEST_F(MonitorRemoval, PrinterOnAPortSpeltInAnotherCaseIsMovedToo) {
    // The spooler compares port names without case: "tool1" is the monitor's TOOL1.
    fake::AddMonitorPort("Tool Port", "TOOL1");
    fake::AddMonitorPort("Other Monitor", "OTHER1");
    fake::AddPrinter(MakePrinter("P1", "tool1"));
    fake::AddPrinter(MakePrinter("Q", "other1"));
    EXPECT_EQ(RemoveMonitor("Tool Port"), kRemoved);
    EXPECT_EQ(PortOf("P1"), "LPT1:");
    EXPECT_EQ(PortOf("Q"), "other1");
    EXPECT_FALSE(fake::RegKeyExists(kMonitors + "\\Tool Port"));
}

TEST_F(MonitorRemoval, DoubleBytePortNamesAreComparedWithoutFoldingTheirSecondByte) {
    using namespace testing_support::sjis;
    fake::SetCodePage(932);
    // Di's second byte is "a", katakana a's is "A": different ports.
    fake::AddMonitorPort("Tool Port", "VP" + kA);
    fake::AddMonitorPort("Other Monitor", "VP" + kDi);
    fake::AddPrinter(MakePrinter("P1", "vp" + kA));
    fake::AddPrinter(MakePrinter("Q", "VP" + kDi));
    EXPECT_EQ(RemoveMonitor("Tool Port"), kRemoved);
    EXPECT_EQ(PortOf("P1"), "LPT1:");
    EXPECT_EQ(PortOf("Q"), "VP" + kDi);
    EXPECT_TRUE(fake::RegKeyExists(kMonitors + "\\Other Monitor\\Ports\\VP" + kDi));
}

TEST_F(MonitorRemoval, PooledPrintersLeaveTheMonitorsPortsAndKeepTheirOthers) {
    fake::AddMonitorPort("Tool Port", "TOOL1");
    fake::AddMonitorPort("Tool Port", "TOOL2");
    fake::AddMonitorPort("Other Monitor", "OTHER1");
    fake::AddPrinter(MakePrinter("Pool", "TOOL1,LPT2:"));
    fake::AddPrinter(MakePrinter("Spaced", "LPT3:, tool2 "));
    fake::AddPrinter(MakePrinter("Both", "TOOL1,TOOL2"));
    fake::AddPrinter(MakePrinter("Q", "OTHER1,LPT2:"));
    Strings told;
    EXPECT_EQ(RemoveMonitor("Tool Port", &told), kRemoved);
    std::sort(told.begin(), told.end());
    EXPECT_EQ(told, (Strings{"Both: TOOL1,TOOL2 -> LPT1:", "Pool: TOOL1,LPT2: -> LPT2:", "Spaced: LPT3:, tool2  -> LPT3:"}));
    EXPECT_EQ(PortOf("Pool"), "LPT2:");
    EXPECT_EQ(PortOf("Spaced"), "LPT3:");
    EXPECT_EQ(PortOf("Both"), "LPT1:");  // none left: the parallel port
    EXPECT_EQ(PortOf("Q"), "OTHER1,LPT2:");
    EXPECT_FALSE(fake::RegKeyExists(kMonitors + "\\Tool Port"));
}

// How the ports go, by what the monitor and the spooler allow, and what is left.
TEST_F(MonitorRemoval, PortsGoThroughXcvThenDeletePortThenTheSpoolersRegistry) {
    enum Spooler { Running, StoppedService, OtherService };
    const struct {
        fake::XcvSupport xcv;
        Spooler spooler;
        const char* told;  // each port's "name error way" in order
        const char* p1;
        const char* p2;
        bool monitorGone;
    } rows[] = {
        {fake::XcvSupport::DeletePort, Running, "TOOL1 0 x|TOOL2 0 x", "LPT1:", "LPT2:", true},
        {fake::XcvSupport::None, Running, "TOOL1 0 d|TOOL2 0 d", "LPT1:", "LPT2:", true},
        {fake::XcvSupport::OtherCommandsOnly, Running, "TOOL1 0 d|TOOL2 0 d", "LPT1:", "LPT2:", true},
        {fake::XcvSupport::DeletePort, StoppedService, "TOOL1 0 r|TOOL2 0 r", "LPT1:", "LPT2:", true},
        {fake::XcvSupport::DeletePort, OtherService, "TOOL1 1722 d|TOOL2 1722 d", "TOOL1", "tool2, LPT2:", false},
    };
    for (const auto& row : rows) {
        fake::Reset();
        platform::LoadSpooler("C:\\windows\\system32\\winspool.drv");
        fake::AddMonitorPort("Tool Port", "TOOL1");
        fake::AddMonitorPort("Tool Port", "TOOL2");
        fake::SetMonitorXcv("Tool Port", row.xcv);
        fake::AddPrinter(MakePrinter("P1", "TOOL1"));
        fake::AddPrinter(MakePrinter("P2", "tool2, LPT2:"));
        if (row.spooler != Running) fake::SetSpoolerNotRunning(row.spooler == StoppedService);
        std::string told;
        const auto onPort = [&told](const std::string& port, uint32_t error, PortWay way) {
            told += (told.empty() ? "" : "|") + port + " " + std::to_string(error) + " " +
                    (way == PortWay::Xcv ? "x" : way == PortWay::DeletePort ? "d" : "r");
        };
        const std::vector<PortRecord> ports = LoadMonitorPorts("Tool Port");
        const bool inRegistry = SpoolerNotRunning("Tool Port");
        const auto result = inRegistry ? RemoveLprMonitorInRegistry("Tool Port", ports, onPort, {}, false).result
                                       : RemoveLprMonitor("Tool Port", ports, onPort).result;
        EXPECT_EQ(told, row.told) << row.told;
        EXPECT_EQ(PortOf("P1"), row.p1) << row.told;
        EXPECT_EQ(PortOf("P2"), row.p2) << row.told;
        EXPECT_EQ(!fake::RegKeyExists(kMonitors + "\\Tool Port"), row.monitorGone) << row.told;
        EXPECT_EQ(result == kRemoved, row.monitorGone) << row.told;
        EXPECT_EQ(fake::OpenPrinters(), 0) << row.told;
    }
}

// The run checker itself: it passes a correct run of the example product and
// catches each kind of fault a wrong run could make, done by hand after the run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/uninstaller.h"
#include "platform/fake/fake_machine.h"
#include "tests/property/run_oracle.h"

namespace {

const char kEntries[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

class RunChecker : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        fake::AddFile("C:\\windows\\ZEVFList.ini",
                      "[UNINSTALL]\nPATH=C:\\Prog\\Vendor\\Tool\n[UnInstKey]\nUnInstKey=Tool\n[LPR]\nMonitor=Tool Port\n"
                      "[FILES]\nFILE00=C:\\Prog\\Vendor\\Tool\\tool.exe\n[PATHS]\nPATH00=C:\\Data\\Cache\n"
                      "[STMPATHS]\nROOT=C:\\Spool\nPATH00=C:\\Spool\\Tool\\Jobs\n");
        fake::AddFile("C:\\Prog\\Vendor\\Tool\\tool.exe");
        fake::AddFile("C:\\Prog\\Vendor\\keep.txt");
        fake::AddFile("C:\\Data\\keep.txt");
        fake::AddDirectory("C:\\Data\\Cache");
        fake::AddDirectory("C:\\Spool\\Tool\\Jobs");
        fake::AddDirectory("C:\\Unlisted\\Empty");
        fake::RegSetString(std::string(kEntries) + "\\Tool", "DisplayName", "Tool");
        fake::RegSetString(std::string(kEntries) + "\\Other", "DisplayName", "Other");
        fake::AddMonitorPort("Tool Port", "TOOL1");
        fake::AddMonitorPort("Local Port", "COM1:");
        fake::Printer onTool;
        onTool.name = "P";
        onTool.port = "TOOL1";
        fake::AddPrinter(onTool);
        fake::Printer onCom = onTool;
        onCom.name = "Q";
        onCom.port = "COM1:";
        fake::AddPrinter(onCom);
        facts_.printerNames = {"P", "Q"};
    }

    // Runs the uninstaller, lets `fault` do something wrong, and returns what the checker says.
    template <typename Fault>
    std::vector<std::string> RunWith(Fault fault) {
        oracle::RunCheck check(facts_);
        const int status = UninstallerMain(nullptr);
        fault();
        return check.Check(status, true);
    }

    static bool Mentions(const std::vector<std::string>& violations, const std::string& part) {
        for (const std::string& line : violations)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }

    oracle::MachineFacts facts_;
};

TEST_F(RunChecker, ACorrectRunPasses) {
    const std::vector<std::string> violations = RunWith([] {});
    EXPECT_TRUE(violations.empty()) << (violations.empty() ? "" : violations.front());
    EXPECT_FALSE(fake::DirectoryExists("C:\\Spool\\Tool"));
    EXPECT_TRUE(fake::DirectoryExists("C:\\Spool"));
}

TEST_F(RunChecker, CatchesWhatARunMustNeverDo) {
    EXPECT_TRUE(Mentions(RunWith([] { platform::RemoveDirectoryWithError("C:\\Unlisted\\Empty"); }),
                         "the run removed directory \"C:\\Unlisted\\Empty\""));
    SetUp();
    EXPECT_TRUE(Mentions(RunWith([] { platform::RemoveDirectoryWithError("C:\\Spool"); }), "C:\\Spool"));
    SetUp();
    EXPECT_TRUE(Mentions(RunWith([] { platform::DeleteFileWithError("C:\\Data\\keep.txt"); }), "removed file"));
    SetUp();
    EXPECT_TRUE(Mentions(RunWith([] { platform::RemoveDirectoryWithError("C:"); }), "names a drive or share root"));
    SetUp();
    EXPECT_TRUE(Mentions(RunWith([] { platform::RemoveDirectoryWithError("Unlisted"); }), "is not a full path"));
    SetUp();
    EXPECT_TRUE(Mentions(RunWith([] { platform::DeleteLocalMachineKey(std::string(kEntries) + "\\Other"); }),
                         "deleted key"));
    SetUp();
    EXPECT_TRUE(Mentions(RunWith([] {
                             fake::Printer q;
                             fake::GetPrinter("Q", &q);
                             q.port = "LPT1:";
                             fake::AddPrinter(q);
                         }),
                         "not the monitor's, moved"));
    SetUp();
    EXPECT_TRUE(Mentions(RunWith([] { fake::AddFile("C:\\Prog\\Vendor\\Tool\\tool.exe"); }), "was left"));
}

// On a Japanese machine (code page 932) a name ending in 表 (95 5C) ends in no
// backslash, and ア (83 41) and ヂ (83 61) are two names, though their second
// bytes differ only in case.
TEST_F(RunChecker, ReadsNamesInTheMachinesCodePage) {
    const std::string hyo = "\x95\x5C", a = "\x83\x41", di = "\x83\x61";
    const std::string prog = "C:\\" + hyo;
    const std::string entry = std::string(kEntries) + "\\" + hyo;
    const auto japaneseMachine = [&] {
        fake::Reset();
        fake::SetCodePage(932);
        const std::string list = "[UNINSTALL]\nPATH=" + prog + "\\" + a + "\n[UnInstKey]\nUnInstKey=" + hyo +
                                 "\n[LPR]\nMonitor=" + hyo + "\n";
        fake::AddFile("C:\\windows\\ZEVFList.ini", list);
        fake::AddDirectory(prog + "\\" + a);
        fake::AddDirectory(prog + "\\" + di);
        fake::RegSetString(entry, "DisplayName", "Tool");
        fake::AddMonitorPort(hyo, a + "1");
        fake::AddMonitorPort("Other", di + "1");
        fake::Printer onOther;
        onOther.name = "P";
        onOther.port = di + "1";
        fake::AddPrinter(onOther);
        facts_ = oracle::MachineFacts();
        facts_.codePage = 932;
        facts_.printerNames = {"P"};
    };

    japaneseMachine();
    const std::vector<std::string> violations = RunWith([] {});
    EXPECT_TRUE(violations.empty()) << (violations.empty() ? "" : violations.front());
    EXPECT_FALSE(fake::DirectoryExists(prog + "\\" + a));

    japaneseMachine();
    EXPECT_TRUE(Mentions(RunWith([&] { platform::RemoveDirectoryWithError(prog + "\\" + di); }), "removed directory"));
    japaneseMachine();
    EXPECT_TRUE(Mentions(RunWith([&] { fake::RegSetString(entry, "DisplayName", "Tool"); }), "is still listed"));
    japaneseMachine();
    EXPECT_TRUE(Mentions(RunWith([] {
                             fake::Printer p;
                             fake::GetPrinter("P", &p);
                             p.port = "LPT1:";
                             fake::AddPrinter(p);
                         }),
                         "not the monitor's, moved"));
}

TEST_F(RunChecker, CatchesARunThatDoesNotEndAsPromised) {
    oracle::RunCheck check(facts_);
    fake::ScriptBoxAnswer(platform::BoxAnswer::No);
    const int status = UninstallerMain(nullptr);
    EXPECT_TRUE(check.Check(status, false).empty());
    EXPECT_FALSE(check.Check(0, false).empty());
    // Taken for confirmed, the same run lacks its completion box and its bar.
    const std::vector<std::string> violations = check.Check(status, true);
    EXPECT_TRUE(Mentions(violations, "boxes"));
    EXPECT_TRUE(Mentions(violations, "bar"));
}

}  // namespace

// How often the run asks Windows for the file list: each profile read is a call
// into Windows, and on a long list the reads are most of the run's time.
#include <string>
#include <vector>

#include "app/exit_status.h"
#include "app/uninstaller.h"
#include "run/uninstall_run.h"
#include "tests/support/machine.h"

using testing_support::FakeMachineTest;
using testing_support::WriteFileList;

namespace {

// The [FILES] keys read, in order.
std::vector<std::string> FilesKeysRead() {
    std::vector<std::string> keys;
    const std::string prefix = "ZEVFList.ini [FILES] ";
    for (const std::string& read : fake::CallsOf("ReadProfile"))
        if (read.rfind(prefix, 0) == 0) keys.push_back(read.substr(prefix.size()));
    return keys;
}

using UninstallRunReads = FakeMachineTest;

}  // namespace

TEST_F(UninstallRunReads, TheStepCountAndTheRunReadTheFileListOnce) {
    WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[FILES]\nFILE00=C:\\Prog\\Tool\\a.exe\n"
                  "FILE01=C:\\Prog\\Tool\\b.dll\nFILE02=C:\\Prog\\Tool\\c.hlp\n");
    for (const char* file : {"C:\\Prog\\Tool\\a.exe", "C:\\Prog\\Tool\\b.dll", "C:\\Prog\\Tool\\c.hlp"})
        fake::AddFile(file);

    EXPECT_EQ(UninstallerMain(nullptr), kExitCompleted);

    // Each entry once, and the first missing number once: it ends the list.
    EXPECT_EQ(FilesKeysRead(), (std::vector<std::string>{"FILE00", "FILE01", "FILE02", "FILE03"}));
    EXPECT_EQ(fake::CallsOf("DeleteFile").size(), 5u);  // the three files and the two list files
    EXPECT_FALSE(fake::FileExists("C:\\Prog\\Tool\\b.dll"));
}

TEST_F(UninstallRunReads, TheRunDeletesWhatThePlanHolds) {
    WriteFileList("[FILES]\nFILE00=C:\\a.txt\nFILE01=C:\\b.txt\n");
    fake::AddFile("C:\\a.txt");
    fake::AddFile("C:\\b.txt");
    fake::AddFile("C:\\c.txt");
    const UninstallPlan plan = ReadUninstallPlan();
    // Rewritten between the plan and the run: the run acts on the plan.
    WriteFileList("[FILES]\nFILE00=C:\\c.txt\n");
    fake::ClearCalls();
    RunOutcome outcome;
    RunUninstall(plan, outcome);

    EXPECT_FALSE(fake::FileExists("C:\\a.txt"));
    EXPECT_FALSE(fake::FileExists("C:\\b.txt"));
    EXPECT_TRUE(fake::FileExists("C:\\c.txt"));
    EXPECT_TRUE(fake::CallsOf("ReadProfile").empty());
    EXPECT_EQ(outcome.stepsTaken, CountUninstallSteps(plan));
}

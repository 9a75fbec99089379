// What the user sees: the question, the progress dialog and the completion box.
#include "app/exit_status.h"
#include "app/uninstaller.h"

#include "app/resource.h"
#include "run/uninstall_run.h"
#include "tests/support/machine.h"

using testing_support::FakeMachineTest;
using testing_support::WriteFileList;
using testing_support::WriteStringsFile;
using Strings = std::vector<std::string>;

using Entry = FakeMachineTest;

TEST_F(Entry, NoRemovesNothingAndShowsNoCompletion) {
    WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[FILES]\nFILE00=C:\\Prog\\Tool\\a.exe\n[UnInstKey]\nUnInstKey=Tool\n");
    fake::AddFile("C:\\Prog\\Tool\\a.exe");
    fake::RegSetString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool", "DisplayName", "Tool");
    const auto before = fake::AllPaths();
    fake::ScriptBoxAnswer(platform::BoxAnswer::No);

    EXPECT_EQ(UninstallerMain(nullptr), 1602);
    EXPECT_EQ(fake::AllPaths(), before);
    EXPECT_TRUE(fake::RegKeyExists("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool"));
    EXPECT_EQ(fake::Boxes().size(), 1u);
    EXPECT_FALSE(fake::DialogShown());
    EXPECT_TRUE(fake::CallsOf("DeleteFile").empty());
    EXPECT_TRUE(fake::CallsOf("RemoveDirectory").empty());
}

TEST_F(Entry, WithoutStringsFileTheBoxesShowTheDefaults) {
    EXPECT_EQ(UninstallerMain(nullptr), 0);
    ASSERT_EQ(fake::Boxes().size(), 2u);
    const fake::ShownBox& question = fake::Boxes()[0];
    EXPECT_EQ(question.text, "Uninstall Vantorin\nAre you Sure ?");
    EXPECT_EQ(question.caption, "Uninstaller");
    EXPECT_EQ(question.buttons, platform::BoxButtons::YesNoQuestion);
    const fake::ShownBox& done = fake::Boxes()[1];
    EXPECT_EQ(done.text, "Uninstall is Complete");
    EXPECT_EQ(done.caption, "Complete");
    EXPECT_EQ(done.buttons, platform::BoxButtons::Ok);
}

TEST_F(Entry, TextsComeFromTheStringsFileUnchanged) {
    WriteStringsFile("[STATIC]\nDIALOG00=Remove 100% of %s and %d\nDIALOG01=Sure?\nMSGBOX00=Gone\n"
                     "[TITLE]\nDIALOG=Remover\nMSGBOX=Finished\n");
    EXPECT_EQ(UninstallerMain(nullptr), 0);
    ASSERT_EQ(fake::Boxes().size(), 2u);
    EXPECT_EQ(fake::Boxes()[0].text, "Remove 100% of %s and %d\nSure?");
    EXPECT_EQ(fake::Boxes()[0].caption, "Remover");
    EXPECT_EQ(fake::Boxes()[1].text, "Gone");
    EXPECT_EQ(fake::Boxes()[1].caption, "Finished");
    // The strings file was read before the run deleted it.
    EXPECT_FALSE(fake::FileExists("C:\\windows\\ZEVUnins.ini"));
}

TEST_F(Entry, LongTextsAreShownWhole) {
    const std::string first(300, 'a');
    const std::string second(300, 'b');
    WriteStringsFile("[STATIC]\nDIALOG00=" + first + "\nDIALOG01=" + second + "\n");
    fake::ScriptBoxAnswer(platform::BoxAnswer::No);
    UninstallerMain(nullptr);
    EXPECT_EQ(fake::Boxes()[0].text, first + "\n" + second);
}

TEST_F(Entry, DialogPreparesTheBarThenRunsAndEnds) {
    WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[FILES]\nFILE00=C:\\Prog\\Tool\\a.exe\nFILE01=C:\\Prog\\Tool\\b.exe\n");
    EXPECT_EQ(UninstallerMain(nullptr), 0);
    EXPECT_TRUE(fake::CommonControlsInitialised());
    EXPECT_TRUE(fake::DialogShown());

    Strings dialogCalls;
    for (const std::string& call : fake::Calls()) {
        for (const char* kind : {"InitCommonControls", "ProgressDialog", "SetPos", "DeleteFile", "CloseProgressDialog",
                                 "MessageBox"})
            if (call.rfind(kind, 0) == 0)
                dialogCalls.push_back(call.rfind("SetPos", 0) == 0 ? call : call.substr(0, call.find(' ')));
    }
    // Each step fills another 55 of the bar's 220 pixels: each is shown as it is taken.
    EXPECT_EQ(dialogCalls, (Strings{"MessageBox", "InitCommonControls", "ProgressDialog", "DeleteFile", "SetPos 1",
                                    "DeleteFile", "SetPos 2", "DeleteFile", "DeleteFile", "SetPos 3", "SetPos 4",
                                    "CloseProgressDialog", "MessageBox"}));
    // Two files and two chain directories: the bar ends exactly full.
    EXPECT_EQ(fake::CallsOf("ProgressDialog"), (Strings{std::to_string(IDD_PROGRESS) + " 4"}));
    EXPECT_EQ(fake::Bar().rangeUpper, 4u);
    EXPECT_EQ(fake::Bar().position, 4);
}

TEST_F(Entry, TheLateDllsAreLoadedByTheirFullPathInTheSystemDirectory) {
    // The program runs as administrator: a bare name would be looked for beside
    // it (and in the current directory) first.
    WriteFileList("[LPR]\nMonitor=Tool Port\n");
    EXPECT_EQ(UninstallerMain(nullptr), 0);
    EXPECT_EQ(fake::CallsOf("LoadLibrary"),
              (Strings{"C:\\windows\\system32\\comctl32.dll", "C:\\windows\\system32\\winspool.drv"}));

    // The spooler only where a monitor is named.
    fake::Reset();
    EXPECT_EQ(UninstallerMain(nullptr), 0);
    EXPECT_EQ(fake::CallsOf("LoadLibrary"), (Strings{"C:\\windows\\system32\\comctl32.dll"}));
}

TEST_F(Entry, WithoutTheDialogTheRunStillHappensAndTheBoxFollows) {
    // No common controls, or a dialog Windows will not make: the run goes on without a bar.
    for (const bool controls : {false, true}) {
        fake::Reset();
        WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[FILES]\nFILE00=C:\\Prog\\Tool\\a.exe\n");
        fake::AddFile("C:\\Prog\\Tool\\a.exe");
        fake::SetDllMissing("comctl32.dll", !controls);
        fake::SetDialogRefused(controls);

        EXPECT_EQ(UninstallerMain(nullptr), 0) << controls;
        EXPECT_FALSE(fake::DirectoryExists("C:\\Prog")) << controls;
        EXPECT_FALSE(fake::FileExists("C:\\windows\\ZEVFList.ini")) << controls;
        ASSERT_EQ(fake::Boxes().size(), 2u) << controls;
        EXPECT_EQ(fake::Boxes()[1].text, "Uninstall is Complete");
        EXPECT_FALSE(fake::DialogShown());
        EXPECT_EQ(fake::CallsOf("ProgressDialog").size(), controls ? 1u : 0u);
    }
}

TEST_F(Entry, TheWindowsAreAnsweredAtEveryStepAndPauseAndTheDialogClosesAfterTheRun) {
    WriteFileList("[FILES]\nFILE00=C:\\a.txt\n[STMPATHS]\nROOT=C:\\Spool\nPATH00=C:\\Spool\\Jobs\n");
    fake::AddFile("C:\\a.txt");
    fake::AddFile("C:\\Spool\\Jobs\\theirs.txt");

    EXPECT_EQ(UninstallerMain(nullptr), 0);
    // Two steps, and ten pauses while Jobs is tried again.
    EXPECT_EQ(fake::PausedMilliseconds(), 10u * 500u);
    EXPECT_GE(fake::MessageChecks(), 2u + 10u);
    EXPECT_EQ(fake::Calls()[fake::Calls().size() - 2], "CloseProgressDialog");  // after the whole run, before the box
    EXPECT_EQ(fake::Bar().position, 2);
}

TEST_F(Entry, SilentRunAsksNothingShowsNothingAndSaysHowItWentByItsStatus) {
    for (const char* line : {"/S", "-s", "  /s  "}) {
        fake::Reset();
        WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[FILES]\nFILE00=C:\\Prog\\Tool\\a.exe\n");
        fake::AddFile("C:\\Prog\\Tool\\a.exe");
        EXPECT_EQ(UninstallerMain(nullptr, line), kExitCompleted) << line;
        EXPECT_TRUE(fake::Boxes().empty()) << line;
        EXPECT_TRUE(fake::CallsOf("ProgressDialog").empty()) << line;
        EXPECT_TRUE(fake::CallsOf("LoadLibrary").empty()) << line;  // no common controls either
        EXPECT_FALSE(fake::DirectoryExists("C:\\Prog")) << line;
    }

    // Something held: done but for the restart, in silence too.
    fake::Reset();
    WriteFileList("[FILES]\nFILE00=C:\\Prog\\held.dll\n");
    fake::AddFile("C:\\Prog\\held.dll");
    fake::SetFileLocked("C:\\Prog\\held.dll", true);
    EXPECT_EQ(UninstallerMain(nullptr, "/S"), kExitRestartNeeded);
    EXPECT_TRUE(fake::Boxes().empty());
    EXPECT_EQ(fake::CallsOf("MoveFileEx"), (Strings{"C:\\Prog\\held.dll"}));
}

TEST_F(Entry, TheCompletionBoxAsksForARestartOnlyWhereOneFinishesTheRun) {
    WriteFileList("[FILES]\nFILE00=C:\\Prog\\held.dll\n");
    fake::AddFile("C:\\Prog\\held.dll");
    fake::SetFileLocked("C:\\Prog\\held.dll", true);
    EXPECT_EQ(UninstallerMain(nullptr), kExitRestartNeeded);
    ASSERT_EQ(fake::Boxes().size(), 2u);
    EXPECT_EQ(fake::Boxes()[1].text,
              "Uninstall is Complete\nPlease restart Windows to finish removing the files that were in use.");
    EXPECT_EQ(fake::Boxes()[1].caption, "Complete");

    // The line comes from the strings file where it has one; without a restart it is not shown.
    for (const bool held : {true, false}) {
        fake::Reset();
        WriteFileList("[FILES]\nFILE00=C:\\Prog\\held.dll\n");
        WriteStringsFile("[STATIC]\nMSGBOX00=Gone\nMSGBOX01=Restart now\n");
        fake::AddFile("C:\\Prog\\held.dll");
        fake::SetFileLocked("C:\\Prog\\held.dll", held);
        EXPECT_EQ(UninstallerMain(nullptr), held ? kExitRestartNeeded : kExitCompleted);
        ASSERT_EQ(fake::Boxes().size(), 2u);
        EXPECT_EQ(fake::Boxes()[1].text, held ? "Gone\nRestart now" : "Gone");
    }
}

TEST_F(Entry, WhatWindowsRefusedEndsIn1603WithALineInTheBoxAndTheLog) {
    WriteFileList("[UnInstKey]\nUnInstKey=Tool\n[FILES]\nFILE00=C:\\Prog\\denied.dll\nFILE01=C:\\Prog\\held.dll\n");
    fake::AddFile("C:\\Prog\\denied.dll");
    fake::AddFile("C:\\Prog\\held.dll");
    fake::SetFileDenied("C:\\Prog\\denied.dll", true);
    fake::SetFileLocked("C:\\Prog\\held.dll", true);
    fake::RegDenyOpen("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool", true);
    EXPECT_EQ(UninstallerMain(nullptr, "/LOG=C:\\u.log"), kExitIncomplete);
    ASSERT_EQ(fake::Boxes().size(), 2u);
    EXPECT_EQ(fake::Boxes()[1].text, "Uninstall is Complete\nSome items could not be removed.\n"
                                     "Please restart Windows to finish removing the files that were in use.");
    std::string log;
    ASSERT_TRUE(fake::ReadFileContent("C:\\u.log", &log));
    for (const char* line : {"\tfailed\tprograms entry\tTool\terror 5\r\n",
                             "\tfailed\tfile\tC:\\Prog\\denied.dll\taccess denied, error 5\r\n",
                             "\texit\tstatus\t1603\tnot everything could be removed"})
        EXPECT_NE(log.find(line), std::string::npos) << line;

    // A bad command line, and /? where no box can be shown, are logged where a log is asked for.
    for (const char* line : {"/S /X /LOG=C:\\bad.log", "/S /? /LOG=C:\\bad.log"}) {
        fake::Reset();
        EXPECT_EQ(UninstallerMain(nullptr, line), kExitBadCommandLine) << line;
        ASSERT_TRUE(fake::ReadFileContent("C:\\bad.log", &log)) << line;
        EXPECT_NE(log.find("\texit\tstatus\t87\ta bad command line"), std::string::npos) << line;
    }
}

TEST_F(Entry, UsageAndUnknownSwitchesTouchNothing) {
    struct Case {
        const char* line;
        int status;
        std::size_t boxes;
        const char* named;  // the switch the box names first; null for none
    };
    const Case cases[] = {
        {"/?", kExitCompleted, 1, nullptr},
        {"-?", kExitCompleted, 1, nullptr},
        {"/X", kExitBadCommandLine, 1, "/X"},
        {"/? /LOGX", kExitBadCommandLine, 1, "/LOGX"},
        {"stray", kExitBadCommandLine, 1, "stray"},
        {"/S /bogus", kExitBadCommandLine, 0, nullptr},
        {"/S /?", kExitBadCommandLine, 0, nullptr},  // a box cannot be shown: nothing that was asked for was done
        {"/WHATIF", kExitBadCommandLine, 1, nullptr},  // the plan goes to the log only
        {"/S /whatif", kExitBadCommandLine, 0, nullptr},
    };
    for (const Case& c : cases) {
        fake::Reset();
        WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[FILES]\nFILE00=C:\\Prog\\Tool\\a.exe\n");
        fake::AddFile("C:\\Prog\\Tool\\a.exe");
        const auto before = fake::AllPaths();
        EXPECT_EQ(UninstallerMain(nullptr, c.line), c.status) << c.line;
        EXPECT_EQ(fake::AllPaths(), before) << c.line;
        EXPECT_TRUE(fake::CallsOf("DeleteFile").empty()) << c.line;
        ASSERT_EQ(fake::Boxes().size(), c.boxes) << c.line;
        if (c.boxes == 0) continue;
        const fake::ShownBox& box = fake::Boxes()[0];
        EXPECT_EQ(box.buttons, platform::BoxButtons::Ok) << c.line;
        EXPECT_NE(box.text.find("/LOG="), std::string::npos) << c.line;
        EXPECT_NE(box.text.find("3010"), std::string::npos) << c.line;
        if (c.named != nullptr) EXPECT_EQ(box.text.rfind(std::string("Unknown switch: ") + c.named + "\n", 0), 0u) << c.line;
        else EXPECT_EQ(box.text.find("Unknown"), std::string::npos) << c.line;
    }
}

TEST_F(Entry, TheLogSaysWhatBecameOfEveryItemAsTheRunGoes) {
    WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[UnInstKey]\nUnInstKey=Tool\n[FILES]\n"
                  "FILE00=C:\\Prog\\Tool\\a.exe\nFILE01=C:\\Prog\\Tool\\gone.dll\nFILE02=Temp\\x.dll\n"
                  "FILE03=C:\\Prog\\Tool\\held.dll\nFILE04=C:\\Prog\\Tool\\ro.hlp\n");
    fake::AddFile("C:\\Prog\\Tool\\a.exe");
    fake::AddFile("C:\\Prog\\Tool\\held.dll");
    fake::AddFile("C:\\Prog\\Tool\\ro.hlp");
    fake::SetFileLocked("C:\\Prog\\Tool\\held.dll", true);
    fake::SetReadOnly("C:\\Prog\\Tool\\ro.hlp", true);
    fake::RegSetString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool", "DisplayName", "Tool");
    fake::AddDirectory("C:\\Logs");
    fake::AddFile("C:\\Logs\\u.log", "earlier\r\n");

    EXPECT_EQ(UninstallerMain(nullptr, "/S \"/LOG=C:\\Logs\\u.log\""), kExitRestartNeeded);
    std::string log;
    ASSERT_TRUE(fake::ReadFileContent("C:\\Logs\\u.log", &log));
    // Every line: the time, what became of the item, its kind, its name and why, tab-separated.
    std::string expectedLog = "earlier\r\n";
    for (const char* fields :
         {"started\tprogram\tZEVUnins 1.0.0.0\tsilent", "info\twindows\tWindows 5.1.2600 (NT family)\t",
          "info\tfile list\tC:\\windows\\ZEVFList.ini\t", "info\tstrings file\tC:\\windows\\ZEVUnins.ini\t",
          "info\tlog file\tC:\\Logs\\u.log\t", "removed\tprograms entry\tTool\t",
          "removed\tfile\tC:\\Prog\\Tool\\a.exe\t", "not there\tfile\tC:\\Prog\\Tool\\gone.dll\t",
          "passed over\tfile\tTemp\\x.dll\tnot a full path",
          "at restart\tfile\tC:\\Prog\\Tool\\held.dll\tin use, error 32; goes at the next restart",
          "removed\tfile\tC:\\Prog\\Tool\\ro.hlp\t", "removed\tfile\tC:\\windows\\ZEVFList.ini\t",
          "not there\tfile\tC:\\windows\\ZEVUnins.ini\t",
          "at restart\tdirectory\tC:\\Prog\\Tool\tholds files that go at the next restart, error 145; goes at the "
          "next restart",
          "at restart\tdirectory\tC:\\Prog\tholds files that go at the next restart, error 145; goes at the next "
          "restart",
          "exit\tstatus\t3010\tdone; what was in use goes at the next restart"})
        expectedLog += std::string("2026-01-02 03:04:05.678\t") + fields + "\r\n";
    EXPECT_EQ(log, expectedLog);

    // Each line goes to the file as its item is done, before the next one is tried.
    std::string unlogged;  // the deletion tried since the last line; empty when none
    for (const std::string& call : fake::Calls()) {
        if (call.rfind("WriteLog", 0) == 0) {
            unlogged.clear();
        } else if (call.rfind("DeleteFile C:\\Prog", 0) == 0) {
            EXPECT_TRUE(unlogged.empty() || unlogged == call) << call << " before a line for " << unlogged;
            unlogged = call;
        }
    }
}

TEST_F(Entry, AnotherCopyOrALogThatCannotBeWrittenTouchesNothing) {
    struct Case {
        const char* line;
        bool otherCopy;
        int status;
        std::size_t boxes;
        const char* log;  // where a line naming the status must be; null for no log anywhere
    };
    const Case cases[] = {
        {"/S /LOG=C:\\NoSuchDir\\u.log", false, kExitLogFailure, 0, nullptr},
        {"/LOG=C:\\Logs", false, kExitLogFailure, 1, nullptr},       // a directory of that name
        {"/S /LOG=C:\\Logs\\ro.log", false, kExitLogFailure, 0, nullptr},
        {"/S /LOG=C:\\Logs\\u.log", true, kExitAlreadyRunning, 0, "C:\\Logs\\u.log"},
        {"/LOG=u.log", true, kExitAlreadyRunning, 1, "C:\\Logs\\u.log"},  // against the current directory
        {"/S", true, kExitAlreadyRunning, 0, nullptr},
    };
    for (const Case& c : cases) {
        fake::Reset();
        WriteFileList("[FILES]\nFILE00=C:\\Prog\\a.exe\n");
        fake::AddFile("C:\\Prog\\a.exe");
        fake::AddFile("C:\\Logs\\ro.log", "kept\r\n");
        fake::SetReadOnly("C:\\Logs\\ro.log", true);
        fake::SetCurrentDirectory("C:\\Logs");
        fake::HoldProgramLockElsewhere(kProgramLockName, c.otherCopy);
        const auto before = fake::AllPaths();
        EXPECT_EQ(UninstallerMain(nullptr, c.line), c.status) << c.line;
        EXPECT_TRUE(fake::FileExists("C:\\Prog\\a.exe")) << c.line;
        EXPECT_TRUE(fake::CallsOf("DeleteFile").empty()) << c.line;
        EXPECT_EQ(fake::Boxes().size(), c.boxes) << c.line;
        std::string log;
        if (c.log == nullptr) {
            EXPECT_EQ(fake::AllPaths(), before) << c.line;
            continue;
        }
        ASSERT_TRUE(fake::ReadFileContent(c.log, &log)) << c.line;
        EXPECT_NE(log.find("\tlog file\t" + std::string(c.log) + "\t\r\n2026-01-02 03:04:05.678\texit\tstatus\t" +
                           std::to_string(c.status) + "\t"),
                  std::string::npos)
            << log;
    }

    // /WHATIF: what a run would do, in the log and nowhere else; no question.
    fake::Reset();
    WriteFileList("[FILES]\nFILE00=C:\\Prog\\a.exe\n");
    fake::AddFile("C:\\Prog\\a.exe");
    EXPECT_EQ(UninstallerMain(nullptr, "/WHATIF /LOG=C:\\plan.log"), kExitCompleted);
    EXPECT_TRUE(fake::FileExists("C:\\Prog\\a.exe"));
    EXPECT_TRUE(fake::FileExists("C:\\windows\\ZEVFList.ini"));
    ASSERT_EQ(fake::Boxes().size(), 1u);
    EXPECT_NE(fake::Boxes()[0].text.find("C:\\plan.log"), std::string::npos);
    std::string plan;
    ASSERT_TRUE(fake::ReadFileContent("C:\\plan.log", &plan));
    EXPECT_NE(plan.find("\twould remove\tfile\tC:\\Prog\\a.exe\t\r\n"), std::string::npos) << plan;
    EXPECT_NE(plan.find("\texit\tstatus\t0\twhat would be done is above; nothing was touched\r\n"), std::string::npos);

    // The copy that runs holds the lock, and its log open: a second copy may not write into it.
    fake::Reset();
    fake::ScriptBoxAnswer(platform::BoxAnswer::No);
    EXPECT_EQ(UninstallerMain(nullptr, "-log=C:\\u.log"), kExitCancelled);
    EXPECT_TRUE(fake::ProgramLockHeld(kProgramLockName));
    std::string log;
    ASSERT_TRUE(fake::ReadFileContent("C:\\u.log", &log));
    EXPECT_NE(log.find("\tstarted\tprogram\tZEVUnins 1.0.0.0\t\r\n"), std::string::npos);
    EXPECT_NE(log.find("\texit\tstatus\t1602\tthe user answered No"), std::string::npos);
}

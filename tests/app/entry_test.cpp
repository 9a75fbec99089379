// What the user sees: the question, the progress dialog and the completion box.
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
    for (const char* line : {"\r\nfailed       programs entry Tool (error 5)\r\n",
                             "\r\nfailed       file C:\\Prog\\denied.dll (access denied, error 5)\r\n",
                             "\r\nExit status 1603: not everything could be removed"})
        EXPECT_NE(log.find(line), std::string::npos) << line;

    // A bad command line, and /? where no box can be shown, are logged where a log is asked for.
    for (const char* line : {"/S /X /LOG=C:\\bad.log", "/S /? /LOG=C:\\bad.log"}) {
        fake::Reset();
        EXPECT_EQ(UninstallerMain(nullptr, line), kExitBadCommandLine) << line;
        ASSERT_TRUE(fake::ReadFileContent("C:\\bad.log", &log)) << line;
        EXPECT_NE(log.find("\r\nExit status 87: a bad command line"), std::string::npos) << line;
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
    EXPECT_EQ(log,
              "earlier\r\n"
              "\r\n"
              "ZEVUnins 1.0.0.0, silent, started 2026-01-02 03:04:05\r\n"
              "Windows 5.1.2600 (NT family)\r\n"
              "File list: C:\\windows\\ZEVFList.ini\r\n"
              "Strings file: C:\\windows\\ZEVUnins.ini\r\n"
              "removed      programs entry Tool\r\n"
              "removed      file C:\\Prog\\Tool\\a.exe\r\n"
              "not there    file C:\\Prog\\Tool\\gone.dll\r\n"
              "passed over  file Temp\\x.dll (not a full path)\r\n"
              "at restart   file C:\\Prog\\Tool\\held.dll (in use, error 32; goes at the next restart)\r\n"
              "removed      file C:\\Prog\\Tool\\ro.hlp\r\n"
              "removed      file C:\\windows\\ZEVFList.ini\r\n"
              "not there    file C:\\windows\\ZEVUnins.ini\r\n"
              "at restart   directory C:\\Prog\\Tool (holds files that go at the next restart, error 145; goes at "
              "the next restart)\r\n"
              "at restart   directory C:\\Prog (holds files that go at the next restart, error 145; goes at the next "
              "restart)\r\n"
              "Exit status 3010: done; what was in use goes at the next restart, 2026-01-02 03:04:05\r\n");

    // Each line goes to the file as its item is done, before the next one is tried.
    Strings order;
    for (const std::string& call : fake::Calls())
        if (call.rfind("DeleteFile C:\\Prog", 0) == 0 || call.rfind("AppendFile", 0) == 0)
            order.push_back(call.substr(0, call.find(' ')));
    const Strings expected = {"AppendFile", "AppendFile", "AppendFile", "AppendFile", "AppendFile", "AppendFile",
                              "DeleteFile", "AppendFile", "DeleteFile", "AppendFile", "AppendFile", "DeleteFile",
                              "AppendFile", "DeleteFile", "DeleteFile", "AppendFile",
                              // the two files in the Windows directory, the two directories, the exit status
                              "AppendFile", "AppendFile", "AppendFile", "AppendFile", "AppendFile"};
    EXPECT_EQ(order, expected);
}

TEST_F(Entry, ALogThatCannotBeWrittenStopsNothingAndAnsweringNoIsLoggedToo) {
    WriteFileList("[FILES]\nFILE00=C:\\Prog\\a.exe\n");
    fake::AddFile("C:\\Prog\\a.exe");
    EXPECT_EQ(UninstallerMain(nullptr, "/S /LOG=C:\\NoSuchDir\\u.log"), kExitCompleted);
    EXPECT_FALSE(fake::FileExists("C:\\Prog\\a.exe"));
    EXPECT_EQ(fake::CallsOf("AppendFile").size(), 1u);  // tried once, not at every item

    fake::Reset();
    fake::ScriptBoxAnswer(platform::BoxAnswer::No);
    EXPECT_EQ(UninstallerMain(nullptr, "-log=C:\\u.log"), kExitCancelled);
    std::string log;
    ASSERT_TRUE(fake::ReadFileContent("C:\\u.log", &log));
    EXPECT_NE(log.find("ZEVUnins 1.0.0.0, started"), std::string::npos);
    EXPECT_NE(log.find("\r\nExit status 1602: the user answered No"), std::string::npos);
}

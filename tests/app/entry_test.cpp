// What the user and a deployment tool are told: the question, the progress
// dialog, the completion box, the log and the exit status.
#include "app/exit_status.h"
#include "app/uninstaller.h"

#include <algorithm>

#include "app/run_event.h"
#include "app/run_log.h"
#include "run/dir_rules.h"
#include "tests/support/machine.h"

using testing_support::FakeMachineTest;
using testing_support::WriteFileList;
using testing_support::WriteStringsFile;
using Strings = std::vector<std::string>;

namespace {

using Entry = FakeMachineTest;

const std::string kEntryKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool";

std::string LogAt(const std::string& path) {
    std::string log;
    fake::ReadFileContent(path, &log);
    return log;
}

// Whether the log's last line is its exit line, with this status and why.
bool EndsWithExitLine(const std::string& log, int status, const std::string& why) {
    const std::string line = "\texit\tstatus\t" + std::to_string(status) + "\t" + why + "\r\n";
    return log.size() >= line.size() && log.compare(log.size() - line.size(), line.size(), line) == 0;
}

}  // namespace

TEST_F(Entry, TheBoxesShowTheStringsFilesTextsAndTheCompletionSaysHowTheRunWent) {
    const std::string texts = "[STATIC]\nDIALOG00=Remove 100% of %s and %d\nDIALOG01=Sure?\nMSGBOX00=Gone\n"
                              "MSGBOX01=Restart now\n[TITLE]\nDIALOG=Remover\nMSGBOX=Finished\n";
    const std::string asked = "Uninstall Vantorin\nAre you Sure ?", a(300, 'a'), b(300, 'b');
    const std::string restart = "\nPlease restart Windows to finish removing the files that were in use.";
    const struct {
        std::string strings;  // the strings file; none where empty
        bool held, denied;
        int status;
        std::string question, questionCaption, done, doneCaption, why;
    } cases[] = {
        {"", false, false, kExitCompleted, asked, "Uninstaller", "Uninstall is Complete", "Complete", "done"},
        {"", true, false, kExitRestartNeeded, asked, "Uninstaller", "Uninstall is Complete" + restart, "Complete",
         "done; what was in use goes at the next restart"},
        {"", true, true, kExitIncomplete, asked, "Uninstaller",
         "Uninstall is Complete\nSome items could not be removed." + restart, "Complete",
         "not everything could be removed; see the failed items above"},
        // Shown as written; the file's restart line only where a restart finishes the run.
        {texts, false, false, kExitCompleted, "Remove 100% of %s and %d\nSure?", "Remover", "Gone", "Finished", "done"},
        {texts, true, false, kExitRestartNeeded, "Remove 100% of %s and %d\nSure?", "Remover", "Gone\nRestart now",
         "Finished", "done; what was in use goes at the next restart"},
        {"[STATIC]\nDIALOG00=" + a + "\nDIALOG01=" + b + "\n", false, false, kExitCompleted, a + "\n" + b,
         "Uninstaller", "Uninstall is Complete", "Complete", "done"},
    };
    for (const auto& c : cases) {
        fake::Reset();
        WriteFileList("[UnInstKey]\nUnInstKey=Tool\n[FILES]\nFILE00=C:\\Prog\\held.dll\nFILE01=C:\\Prog\\denied.dll\n");
        fake::RegSetString(kEntryKey, "DisplayName", "Tool Suite");
        fake::AddFile("C:\\windows\\system32\\EventCreate.exe");
        if (!c.strings.empty()) WriteStringsFile(c.strings);
        fake::AddFile("C:\\Prog\\held.dll");
        fake::AddFile("C:\\Prog\\denied.dll");
        fake::SetFileLocked("C:\\Prog\\held.dll", c.held);
        fake::SetFileDenied("C:\\Prog\\denied.dll", c.denied);

        EXPECT_EQ(UninstallerMain(nullptr, "/LOG=C:\\u.log"), c.status) << c.done;
        ASSERT_EQ(fake::Boxes().size(), 2u) << c.done;
        const fake::ShownBox& question = fake::Boxes()[0];
        const fake::ShownBox& done = fake::Boxes()[1];
        EXPECT_EQ(question.text, c.question);
        EXPECT_EQ(question.caption, c.questionCaption);
        EXPECT_EQ(question.buttons, platform::BoxButtons::YesNoQuestion);
        EXPECT_EQ(done.text, c.done);
        EXPECT_EQ(done.caption, c.doneCaption);
        EXPECT_EQ(done.buttons, platform::BoxButtons::Ok);
        EXPECT_TRUE(EndsWithExitLine(LogAt("C:\\u.log"), c.status, c.why)) << c.done;
        // One event, with the name the programs list showed before the entry went.
        const auto kind = std::find_if(std::begin(kRunEventKinds), std::end(kRunEventKinds),
                                       [&c](const RunEventKind& k) { return k.exitStatus == c.status; });
        const std::vector<fake::LoggedEvent> events = fake::Events();
        ASSERT_EQ(events.size(), 1u) << c.done;
        const fake::LoggedEvent& event = events[0];
        EXPECT_EQ(event.id, kind->id);
        EXPECT_EQ(event.type, c.status == kExitIncomplete ? platform::EventType::Error : platform::EventType::Information);
        EXPECT_EQ(Strings(event.strings.begin() + 1, event.strings.end()),
                  (Strings{"Tool Suite", std::to_string(c.status) + ": " + kind->meaning, "C:\\u.log"}));
        EXPECT_NE(event.strings[0].find("Tool Suite"), std::string::npos) << event.strings[0];
        platform::RegValue file;
        EXPECT_TRUE(fake::RegGetValue(std::string(platform::kEventSourcesKey) + "\\ZEVUnins", "EventMessageFile", &file));
        EXPECT_EQ(file.type, platform::kRegExpandSz);
        // The strings file was read before the run deleted it.
        EXPECT_FALSE(fake::FileExists("C:\\windows\\ZEVUnins.ini")) << c.done;
    }
}

TEST_F(Entry, TheDialogCarriesTheWholeRunBetweenTheQuestionAndTheCompletionBox) {
    WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[LPR]\nMonitor=Tool Port\n[FILES]\nFILE00=C:\\Prog\\Tool\\a.exe\n"
                  "FILE01=C:\\Prog\\Tool\\b.exe\n[STMPATHS]\nROOT=C:\\Spool\nPATH00=C:\\Spool\\Jobs\n");
    fake::AddFile("C:\\Prog\\Tool\\a.exe");
    fake::AddFile("C:\\Prog\\Tool\\b.exe");
    fake::AddFile("C:\\Spool\\Jobs\\theirs.txt");
    fake::AddMonitorPort("Tool Port", "TOOL1");

    EXPECT_EQ(UninstallerMain(nullptr), kExitCompleted);
    EXPECT_FALSE(fake::DirectoryExists("C:\\Prog"));
    // The monitor gone and the controls ready: both DLLs were loaded, which the
    // fake does by their full path in the system directory only.
    EXPECT_FALSE(fake::RegKeyExists("System\\CurrentControlSet\\Control\\Print\\Monitors\\Tool Port"));
    EXPECT_TRUE(fake::CommonControlsInitialised());
    EXPECT_TRUE(fake::DialogShown());
    // The bar's range is the plan's step count: two files and two chain directories.
    EXPECT_EQ(fake::Bar().rangeUpper, 4u);
    // The windows are answered at every step, and at each pause while Jobs is tried again.
    EXPECT_GE(fake::MessageChecks(), 4u + kRetryAttempts);
    // The files' steps are on the bar before the pauses, however little time they took.
    const auto firstPause = std::find_if(fake::Calls().begin(), fake::Calls().end(),
                                         [](const std::string& call) { return call.rfind("Sleep", 0) == 0; });
    EXPECT_NE(std::find(fake::Calls().begin(), firstPause, "SetPos 2"), firstPause);

    // The question before anything is touched, everything under the dialog, the completion box after it.
    std::vector<std::size_t> boxes, touched;
    std::size_t opened = 0, closed = 0;
    for (std::size_t i = 0; i < fake::Calls().size(); ++i) {
        const std::string& call = fake::Calls()[i];
        const auto is = [&call](const char* kind) { return call.rfind(kind, 0) == 0; };
        if (is("MessageBox")) boxes.push_back(i);
        if (is("ProgressDialog")) opened = i;
        if (is("CloseProgressDialog")) closed = i;
        if (is("Delete") || is("RemoveDirectory") || is("RegDelete") || is("SetPrinter") || is("MoveFile"))
            touched.push_back(i);
    }
    ASSERT_EQ(boxes.size(), 2u);
    ASSERT_FALSE(touched.empty());
    EXPECT_LT(boxes[0], opened);
    EXPECT_LT(opened, touched.front());
    EXPECT_LT(touched.back(), closed);
    EXPECT_LT(closed, boxes[1]);
}

TEST_F(Entry, WithoutTheDialogOrInSilenceTheSameRunHappens) {
    // No common controls, or a dialog Windows will not make: the run goes on
    // without a bar. /S: no question, no dialog, no box, no DLL for them; the
    // status alone says how it went.
    const Strings controls = {"C:\\windows\\system32\\comctl32.dll"};  // no monitor: no spooler
    const struct {
        const char* line;
        bool noControls, dialogRefused, held, hidden;
        std::size_t boxes;
        Strings loaded;
    } cases[] = {
        {"", true, false, false, false, 2, controls},    {"", false, true, false, false, 2, controls},
        {"/S", false, false, false, false, 0, {}},       {"-s", false, false, false, false, 0, {}},
        {"  /s  ", false, false, false, false, 0, {}},   {"/S", false, false, true, false, 0, {}},
        {"/S", false, false, false, true, 0, {}},
    };
    for (const auto& c : cases) {
        fake::Reset();
        WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[FILES]\nFILE00=C:\\Prog\\Tool\\a.exe\nFILE01=C:\\Other\\held.dll\n");
        fake::AddFile("C:\\Prog\\Tool\\a.exe");
        fake::AddFile("C:\\Other\\held.dll");
        fake::SetFileLocked("C:\\Other\\held.dll", c.held);
        fake::SetDllMissing("comctl32.dll", c.noControls);
        fake::SetDialogRefused(c.dialogRefused);
        fake::SetWindowStationHidden(c.hidden);
        fake::SetCurrentDirectory("C:\\Prog\\Tool");  // a shortcut's "Start in"

        EXPECT_EQ(UninstallerMain(nullptr, c.line), c.held ? kExitRestartNeeded : kExitCompleted) << c.line;
        EXPECT_FALSE(fake::DirectoryExists("C:\\Prog")) << c.line;
        EXPECT_FALSE(fake::FileExists("C:\\windows\\ZEVFList.ini")) << c.line;
        EXPECT_EQ(fake::CallsOf("LoadLibrary"), c.loaded) << c.line;
        EXPECT_FALSE(fake::DialogShown()) << c.line;
        ASSERT_EQ(fake::Boxes().size(), c.boxes) << c.line;
        if (c.boxes != 0) EXPECT_EQ(fake::Boxes()[1].text, "Uninstall is Complete") << c.line;
    }
}

TEST_F(Entry, WhatEndsBeforeTheRunTouchesNothingAndSaysWhy) {
    // Every question is answered No: a line that wrongly went on to one still
    // touches nothing, and its status tells.
    const char* const kHeading = "\tlog file\tC:\\Logs\\u.log\t\r\n2026-01-02 03:04:05.678\texit";  // nothing between
    const char* const kAnotherCopy = "another copy of the uninstaller is running; nothing was touched";
    const char* const kBadLine = "a bad command line; nothing was touched";
    const std::string noOne = DescribeExitStatus(kExitNoOneToAnswer);
    const std::string kStarted = std::string("\tstarted\tprogram\tZEVUnins ") + kProgramVersion + "\t\r\n";
    const struct {
        const char* line;
        bool otherCopy;
        int status;
        const char* box;   // how the one box shown begins; null for none
        const char* log;   // null for none
        const char* holds;  // a piece of the log
        const char* why;    // the exit line's last field
        bool hidden = false;  // no one can see the window station
    } cases[] = {
        {"-log=C:\\u.log", false, kExitCancelled, "Uninstall Vantorin\nAre you Sure ?", "C:\\u.log",
         kStarted.c_str(), "the user answered No; nothing was touched"},
        {"/?", false, kExitCompleted, "ZEVUnins [/S] [/LOG=file]", nullptr, nullptr, nullptr},
        {"/X", false, kExitBadCommandLine, "Unknown switch: /X\n", nullptr, nullptr, nullptr},
        {"/? /LOGX", false, kExitBadCommandLine, "Unknown switch: /LOGX\n", nullptr, nullptr, nullptr},
        {"/WHATIF", false, kExitBadCommandLine, "/WHATIF writes what would be done to the /LOG= file", nullptr, nullptr, nullptr},
        {"/S /whatif", false, kExitBadCommandLine, nullptr, nullptr, nullptr, nullptr},
        // /? where no box can be shown is a bad command line too.
        {"/S /X /LOG=C:\\bad.log", false, kExitBadCommandLine, nullptr, "C:\\bad.log",
         "\trefused\tswitch\t/X\tunknown switch\r\n", kBadLine},
        {"/S /? /LOG=C:\\bad.log", false, kExitBadCommandLine, nullptr, "C:\\bad.log",
         "\trefused\tswitch\t/?\tthe usage box cannot be shown under /S\r\n", kBadLine},
        {"/WHATIF /LOG=C:\\plan.log", false, kExitCompleted, "What the uninstaller would do is written to:\nC:\\plan.log\n",
         "C:\\plan.log", "\twould remove\tfile\tC:\\Prog\\Tool\\a.exe\t\r\n",
         "what would be done is above; nothing was touched"},
        {"/S /LOG=C:\\NoSuchDir\\u.log", false, kExitLogFailure, nullptr, nullptr, nullptr, nullptr},
        {"/LOG=C:\\Logs", false, kExitLogFailure, "The log file cannot be written:\nC:\\Logs\n", nullptr, nullptr, nullptr},
        {"/S /LOG=C:\\Logs\\ro.log", false, kExitLogFailure, nullptr, nullptr, nullptr, nullptr},
        {"/S /LOG=C:\\Logs\\u.log", true, kExitAlreadyRunning, nullptr, "C:\\Logs\\u.log", kHeading, kAnotherCopy},
        // Against the directory the program was started in.
        {"/LOG=u.log", true, kExitAlreadyRunning, "Another copy of the uninstaller is running.", "C:\\Logs\\u.log",
         kHeading, kAnotherCopy},
        {"/S", true, kExitAlreadyRunning, nullptr, nullptr, nullptr, nullptr},
        // Where no one can see a box, none is shown, and nothing waits for an answer.
        {"/LOG=C:\\Logs\\u.log", false, kExitNoOneToAnswer, nullptr, "C:\\Logs\\u.log", kHeading, noOne.c_str(), true},
        {"/? /LOG=C:\\bad.log", false, kExitNoOneToAnswer, nullptr, "C:\\bad.log",
         "\trefused\tswitch\t/?\tthe usage box cannot be shown: no one can see it here\r\n", noOne.c_str(), true},
        {"/X /LOG=C:\\bad.log", false, kExitBadCommandLine, nullptr, "C:\\bad.log", "\t/X\tunknown switch\r\n", kBadLine, true},
        {"/WHATIF /LOG=C:\\plan.log", false, kExitCompleted, nullptr, "C:\\plan.log", "\twould remove\tfile\t",
         "what would be done is above; nothing was touched", true},
        {"/LOG=C:\\Logs", false, kExitLogFailure, nullptr, nullptr, nullptr, nullptr, true},
    };
    for (const auto& c : cases) {
        fake::Reset();
        fake::ScriptBoxAnswer(platform::BoxAnswer::No);
        WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[UnInstKey]\nUnInstKey=Tool\n[FILES]\nFILE00=C:\\Prog\\Tool\\a.exe\n");
        fake::AddFile("C:\\Prog\\Tool\\a.exe");
        fake::RegSetString(kEntryKey, "DisplayName", "Tool");
        fake::AddFile("C:\\Logs\\ro.log", "kept\r\n");
        fake::SetReadOnly("C:\\Logs\\ro.log", true);
        fake::SetCurrentDirectory("C:\\Logs");
        fake::HoldProgramLockElsewhere(kProgramLockName, c.otherCopy);
        fake::SetWindowStationHidden(c.hidden);
        const Strings before = fake::AllPaths();

        EXPECT_EQ(UninstallerMain(nullptr, c.line), c.status) << c.line;
        Strings after = fake::AllPaths();
        if (c.log != nullptr) after.erase(std::remove(after.begin(), after.end(), std::string(c.log)), after.end());
        EXPECT_EQ(after, before) << c.line;
        EXPECT_TRUE(fake::RegKeyExists(kEntryKey)) << c.line;
        EXPECT_FALSE(fake::DialogShown()) << c.line;
        // The copy that asked holds the lock (and its log open) until it ends.
        if (c.status == kExitCancelled) EXPECT_TRUE(fake::ProgramLockHeld(kProgramLockName));
        // /WHATIF lets go of it before its box: another copy need not wait for it to be read.
        if (c.status == kExitCompleted && c.log != nullptr) EXPECT_FALSE(fake::ProgramLockHeld(kProgramLockName));
        EXPECT_TRUE(fake::Events().empty()) << c.line;
        ASSERT_EQ(fake::Boxes().size(), c.box != nullptr ? 1u : 0u) << c.line;
        if (c.box != nullptr) {
            EXPECT_EQ(fake::Boxes()[0].text.rfind(c.box, 0), 0u) << fake::Boxes()[0].text;
            EXPECT_EQ(fake::Boxes()[0].buttons, c.status == kExitCancelled ? platform::BoxButtons::YesNoQuestion
                                                                          : platform::BoxButtons::Ok);
        }
        if (c.log == nullptr) continue;
        const std::string log = LogAt(c.log);
        EXPECT_NE(log.find(c.holds), std::string::npos) << c.line << "\n" << log;
        EXPECT_TRUE(EndsWithExitLine(log, c.status, c.why)) << c.line << "\n" << log;
    }
}

TEST_F(Entry, TheLogSaysWhatBecameOfEveryItemAsTheRunGoes) {
    WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[UnInstKey]\nUnInstKey=Tool\n[FILES]\n"
                  "FILE00=C:\\Prog\\Tool\\a.exe\nFILE01=C:\\Prog\\Tool\\gone.dll\nFILE02=Temp\\x.dll\n"
                  "FILE03=C:\\Prog\\Tool\\held.dll\nFILE04=C:\\Prog\\Tool\\ro.hlp\nFILE05=C:\\Other\\denied.dll\n"
                  "FILE06=C:\\Prog\\Tool\\a\tb.dll\n");
    fake::AddFile("C:\\Prog\\Tool\\a.exe");
    fake::AddFile("C:\\Prog\\Tool\\held.dll");
    fake::AddFile("C:\\Prog\\Tool\\ro.hlp");
    fake::AddFile("C:\\Other\\denied.dll");
    fake::SetFileLocked("C:\\Prog\\Tool\\held.dll", true);
    fake::SetReadOnly("C:\\Prog\\Tool\\ro.hlp", true);
    fake::SetFileDenied("C:\\Other\\denied.dll", true);
    fake::RegDenyOpen(kEntryKey, true);
    fake::AddDirectory("C:\\Logs");
    fake::AddFile("C:\\Logs\\u.log", "earlier\r\n");

    EXPECT_EQ(UninstallerMain(nullptr, "/S \"/LOG=C:\\Logs\\u.log\""), kExitIncomplete);
    // Every line: the time, what became of the item, its kind, its name and why, tab-separated.
    std::string expectedLog = "earlier\r\n";
    const std::string started = std::string("started\tprogram\tZEVUnins ") + kProgramVersion + "\tsilent";
    for (const char* fields :
         {started.c_str(), "info\twindows\tWindows 5.1.2600 (NT family)\t",
          "info\tfile list\tC:\\windows\\ZEVFList.ini\t", "info\tstrings file\tC:\\windows\\ZEVUnins.ini\t",
          "info\tlog file\tC:\\Logs\\u.log\t", "failed\tprograms entry\tTool\terror 5",
          "removed\tfile\tC:\\Prog\\Tool\\a.exe\t", "not there\tfile\tC:\\Prog\\Tool\\gone.dll\t",
          "passed over\tfile\tTemp\\x.dll\tnot a full path",
          "at restart\tfile\tC:\\Prog\\Tool\\held.dll\tin use, error 32; goes at the next restart",
          "removed\tfile\tC:\\Prog\\Tool\\ro.hlp\t", "failed\tfile\tC:\\Other\\denied.dll\taccess denied, error 5",
          "not there\tfile\tC:\\Prog\\Tool\\a<09>b.dll\t",
          "removed\tfile\tC:\\windows\\ZEVFList.ini\t", "not there\tfile\tC:\\windows\\ZEVUnins.ini\t",
          "at restart\tdirectory\tC:\\Prog\\Tool\tholds files that go at the next restart, error 145; goes at the "
          "next restart",
          "at restart\tdirectory\tC:\\Prog\tholds files that go at the next restart, error 145; goes at the next "
          "restart",
          "exit\tstatus\t1603\tnot everything could be removed; see the failed items above"})
        expectedLog += std::string("2026-01-02 03:04:05.678\t") + fields + "\r\n";
    EXPECT_EQ(LogAt("C:\\Logs\\u.log"), expectedLog);

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

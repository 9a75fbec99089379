// The step count and the uninstall run, against the fake machine.
#include "run/uninstall_run.h"

#include <algorithm>

#include "app/resource.h"
#include "app/uninstaller.h"
#include "path/dir_chain.h"
#include "run/progress_meter.h"
#include "tests/support/machine.h"

using testing_support::FakeMachineTest;
using testing_support::WriteFileList;
using Strings = std::vector<std::string>;

namespace {

const char* const kProduct = R"([UNINSTALL]
PATH=C:\Prog\Vendor\Tool
[UnInstKey]
UnInstKey=ToolProduct
[LPR]
Monitor=Tool Port
[FILES]
FILE00=C:\Prog\Vendor\Tool\tool.exe
FILE01=C:\Prog\Vendor\Tool\tool.dll
FILE02=C:\windows\system32\toolmon.dll
[PATHS]
PATH00=C:\ToolData\Cache
[STMPATHS]
ROOT=C:\Spool\
PATH00=C:\Spool\Tool\Jobs
)";

void InstallProduct() {
    WriteFileList(kProduct);
    testing_support::WriteStringsFile("[STATIC]\nDIALOG00=Tool\n");
    fake::AddFile("C:\\Prog\\Vendor\\Tool\\tool.exe");
    fake::AddFile("C:\\Prog\\Vendor\\Tool\\tool.dll");
    fake::AddDirectory("C:\\ToolData\\Cache");
    fake::AddFile("C:\\windows\\system32\\toolmon.dll");
    fake::AddFile("C:\\windows\\system32\\other.dll");
    fake::AddDirectory("C:\\Spool\\Tool\\Jobs");
    fake::RegSetString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ToolProduct", "DisplayName", "Tool");
    fake::AddMonitorPort("Tool Port", "TOOL1");
}

// A run as the entry makes one: the plan, then the run under the progress dialog.
struct Ran {
    int32_t steps = 0;  // as counted from the plan
    RunOutcome outcome;
};

Ran CountAndRun() {
    const UninstallPlan plan = ReadUninstallPlan();
    Ran ran;
    ran.steps = CountUninstallSteps(plan);
    EXPECT_TRUE(platform::RunUnderProgressDialog(nullptr, IDD_PROGRESS, IDC_PROGRESS, ran.steps,
                                                 [&](platform::Window bar) { RunUninstall(plan, ran.outcome, bar); }));
    return ran;
}

// The run took `steps` steps, and the bar, given a range of as many, ends exactly full.
void ExpectStepsEndingFull(const Ran& ran, int32_t steps) {
    EXPECT_EQ(ran.steps, steps);
    EXPECT_EQ(ran.outcome.stepsTaken, steps);
    EXPECT_EQ(fake::Bar().rangeUpper, static_cast<uint32_t>(steps));
    EXPECT_EQ(fake::Bar().position, steps);
}

const ItemOutcome* Outcome(const RunOutcome& outcome, const std::string& name) {
    for (const ItemOutcome& item : outcome.items)
        if (item.name == name) return &item;
    return nullptr;
}

// The position in the call record of the first line starting with `prefix`.
std::ptrdiff_t FirstCall(const std::string& prefix) {
    const auto& calls = fake::Calls();
    const auto found = std::find_if(calls.begin(), calls.end(),
                                    [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
    return found == calls.end() ? -1 : found - calls.begin();
}

}  // namespace

using UninstallRun = FakeMachineTest;

TEST_F(UninstallRun, RemovesEverythingListedInOrderAndNothingElseInTheStepsCounted) {
    InstallProduct();
    // 3 files + 3 chain directories; the chain's head has no step of its own, the final step stands for it.
    ExpectStepsEndingFull(CountAndRun(), 6);

    for (const char* gone : {"C:\\Prog", "C:\\ToolData", "C:\\Spool\\Tool", "C:\\windows\\system32\\toolmon.dll",
                             "C:\\windows\\ZEVFList.ini", "C:\\windows\\ZEVUnins.ini"}) {
        EXPECT_FALSE(fake::FileExists(gone) || fake::DirectoryExists(gone)) << gone;
    }
    EXPECT_TRUE(fake::DirectoryExists("C:\\Spool"));  // the root of the retried directories stays
    EXPECT_TRUE(fake::FileExists("C:\\windows\\system32\\other.dll"));
    EXPECT_FALSE(fake::RegKeyExists("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ToolProduct"));
    EXPECT_TRUE(fake::RegKeyExists("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
    EXPECT_FALSE(fake::RegKeyExists("System\\CurrentControlSet\\Control\\Print\\Monitors\\Tool Port"));

    // The fixed order: entry, monitor, files, directories, retried directories, list files, chain.
    const std::ptrdiff_t order[] = {
        FirstCall("RegDeleteKey SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ToolProduct"),
        FirstCall("DeleteMonitor"),
        FirstCall("DeleteFile C:\\Prog\\Vendor\\Tool\\tool.exe"),
        FirstCall("RemoveDirectory C:\\ToolData\\Cache"),
        FirstCall("RemoveDirectory C:\\Spool\\Tool\\Jobs"),
        FirstCall("DeleteFile C:\\windows\\ZEVFList.ini"),
        FirstCall("DeleteFile C:\\windows\\ZEVUnins.ini"),
        FirstCall("RemoveDirectory C:\\Prog\\Vendor\\Tool"),
    };
    for (std::size_t i = 0; i < std::size(order); ++i) EXPECT_GE(order[i], 0) << i;
    EXPECT_TRUE(std::is_sorted(std::begin(order), std::end(order)));
}

TEST_F(UninstallRun, TheBarHearsOfStepsOnlyAsItsFillMovesAndEndsFull) {
    // The run keeps its own count: the first common controls answer PBM_GETPOS
    // with 0. Each position it gives the bar fills one pixel more than the one
    // before, the last exactly full.
    constexpr int kFiles = 1000;
    constexpr int kPixels = 50;
    constexpr int32_t steps = kFiles + 1;
    std::string files = "[FILES]\n";
    for (int i = 0; i < kFiles; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "FILE%02d", i);
        files += std::string(key) + "=C:\\f\\" + std::to_string(i) + "\n";
    }
    for (const bool first : {false, true}) {
        fake::Reset();
        WriteFileList(files);
        fake::SetFirstCommonControls(first);
        fake::SetProgressBarWidth(kPixels);
        fake::SetMillisecondsPerClockRead(kBarRedrawEveryMs);  // each pixel's time has come
        const Ran ran = CountAndRun();

        // The first common controls keep 0..100 only above 65,535 steps.
        ExpectStepsEndingFull(ran, steps);
        const Strings positions = fake::CallsOf("SetPos");
        ASSERT_EQ(positions.size(), static_cast<std::size_t>(kPixels)) << first;
        for (int pixel = 1; pixel <= kPixels; ++pixel) {
            const long long position = std::stoll(positions[pixel - 1]);
            EXPECT_EQ(position * kPixels / steps, pixel) << position;
            EXPECT_LT((position - 1) * kPixels / steps, pixel) << position;  // not a step later than needed
        }
        EXPECT_EQ(positions.back(), std::to_string(steps));
    }

    // Faster than a person could see it: one position per kBarRedrawEveryMs at
    // most (besides the one shown before the directories and the last, full
    // one), and enough to keep it moving.
    fake::Reset();
    WriteFileList(files);
    fake::SetProgressBarWidth(kFiles);  // a pixel a step
    fake::SetMillisecondsPerClockRead(1);
    ExpectStepsEndingFull(CountAndRun(), steps);
    const unsigned long elapsed = platform::Milliseconds();
    const std::size_t given = fake::CallsOf("SetPos").size();
    EXPECT_LE(given, elapsed / kBarRedrawEveryMs + 2) << elapsed;
    EXPECT_GE(given, elapsed / (kBarRedrawEveryMs + 1)) << elapsed;
}

TEST_F(UninstallRun, EmptyChainStillCountsTheFinalStep) {
    WriteFileList("[FILES]\nFILE00=C:\\a.txt\nFILE01=C:\\b.txt\n");
    ExpectStepsEndingFull(CountAndRun(), 3);
}

TEST_F(UninstallRun, GapInTheNumberingEndsTheList) {
    WriteFileList("[FILES]\nFILE00=C:\\a.txt\nFILE02=C:\\c.txt\n[PATHS]\nPATH00=C:\\D1\nPATH02=C:\\D3\n");
    fake::AddFile("C:\\a.txt");
    fake::AddFile("C:\\c.txt");
    fake::AddDirectory("C:\\D1");
    fake::AddDirectory("C:\\D3");
    EXPECT_EQ(CountAndRun().steps, 2);
    EXPECT_FALSE(fake::FileExists("C:\\a.txt"));
    EXPECT_TRUE(fake::FileExists("C:\\c.txt"));
    EXPECT_FALSE(fake::DirectoryExists("C:\\D1"));
    EXPECT_TRUE(fake::DirectoryExists("C:\\D3"));
}

TEST_F(UninstallRun, NumberingGoesPastNinetyNine) {
    std::string list = "[FILES]\n";
    for (int i = 0; i <= 100; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "FILE%02d", i);
        list += std::string(key) + "=C:\\f\\" + std::to_string(i) + "\n";
        fake::AddFile("C:\\f\\" + std::to_string(i));
    }
    WriteFileList(list);
    EXPECT_EQ(CountAndRun().steps, 102);
    EXPECT_FALSE(fake::FileExists("C:\\f\\99"));
    EXPECT_FALSE(fake::FileExists("C:\\f\\100"));
}

TEST_F(UninstallRun, MissingFileListDeletesOnlyTheListFilesWithOneStep) {
    testing_support::WriteStringsFile("[TITLE]\nDIALOG=x\n");
    fake::AddFile("C:\\Prog\\keep.exe");
    const Ran ran = CountAndRun();
    EXPECT_EQ(fake::AllPaths(), (Strings{"C:\\Prog", "C:\\Prog\\keep.exe", "C:\\windows"}));
    ExpectStepsEndingFull(ran, 1);
}

TEST_F(UninstallRun, LongPathsAreUsedWhole) {
    const std::string dir = "C:\\" + std::string(200, 'd');
    const std::string file = dir + "\\" + std::string(150, 'f') + ".txt";
    WriteFileList("[UNINSTALL]\nPATH=" + dir + "\\" + std::string(100, 'i') + "\n[FILES]\nFILE00=" + file +
                  "\n[PATHS]\nPATH00=" + dir + "\n");
    fake::AddFile(file);
    fake::AddDirectory(dir + "\\" + std::string(100, 'i'));
    CountAndRun();
    EXPECT_FALSE(fake::FileExists(file));
    EXPECT_FALSE(fake::DirectoryExists(dir + "\\" + std::string(100, 'i')));
}

TEST_F(UninstallRun, ValueThatCannotBeReadWholeIsPassedOverWithoutEndingTheList) {
    const std::string longFile = "C:\\Data\\" + std::string(80, 'L') + ".txt";
    const std::string cut = longFile.substr(0, 40);
    WriteFileList("[UNINSTALL]\nPATH=C:\\" + std::string(60, 'p') + "\\x\n[FILES]\nFILE00=C:\\a.txt\nFILE01=" + longFile +
                  "\nFILE02=C:\\b.txt\n[PATHS]\nPATH00=C:\\" + std::string(60, 'q') + "\nPATH01=C:\\D\n");
    fake::SetProfileValueLimit(40);
    fake::AddFile("C:\\a.txt");
    fake::AddFile("C:\\b.txt");
    fake::AddFile(longFile);
    fake::AddFile(cut);  // what the cut value would name
    fake::AddDirectory("C:\\" + std::string(37, 'q'));
    fake::AddDirectory("C:\\" + std::string(37, 'p'));  // what the cut install path would name
    fake::AddDirectory("C:\\D");
    const Ran ran = CountAndRun();
    EXPECT_FALSE(fake::FileExists("C:\\a.txt"));
    EXPECT_FALSE(fake::FileExists("C:\\b.txt"));
    EXPECT_TRUE(fake::FileExists(longFile));
    EXPECT_TRUE(fake::FileExists(cut));
    EXPECT_FALSE(fake::DirectoryExists("C:\\D"));
    EXPECT_TRUE(fake::DirectoryExists("C:\\" + std::string(37, 'q')));
    EXPECT_TRUE(fake::DirectoryExists("C:\\" + std::string(37, 'p')));
    // The unread install path gives no chain; the passed-over file still has its step.
    ExpectStepsEndingFull(ran, 4);
}

TEST_F(UninstallRun, RetriedDirectoriesNeedTheirWholeRoot) {
    WriteFileList("[STMPATHS]\nROOT=C:\\" + std::string(60, 'r') + "\nPATH00=C:\\S\\T\n");
    fake::SetProfileValueLimit(40);
    fake::AddDirectory("C:\\S\\T");
    CountAndRun();
    EXPECT_TRUE(fake::DirectoryExists("C:\\S\\T"));

    // An entry that is ROOT itself, however written, is passed over, and the record says so.
    fake::Reset();
    WriteFileList("[STMPATHS]\nROOT=C:\\Spool\nPATH00=c:\\spool\\\nPATH01=C:\\Spool\\Jobs\\..\n");
    fake::AddDirectory("C:\\Spool");
    const Ran ran = CountAndRun();
    EXPECT_TRUE(fake::DirectoryExists("C:\\Spool"));  // empty, and ROOT
    for (const char* root : {"c:\\spool\\", "C:\\Spool\\Jobs\\.."}) {
        const ItemOutcome* item = Outcome(ran.outcome, root);
        ASSERT_NE(item, nullptr) << root;
        EXPECT_EQ(item->result, ItemResult::PassedOver) << root;
        EXPECT_EQ(item->reason, "ROOT itself") << root;
    }
}

TEST_F(UninstallRun, TheRunActsOnThePlanWhateverTheListSaysAfterIt) {
    WriteFileList("[FILES]\nFILE00=C:\\a.txt\nFILE01=C:\\b.txt\n");
    for (const char* file : {"C:\\a.txt", "C:\\b.txt", "C:\\c.txt"}) fake::AddFile(file);
    const UninstallPlan plan = ReadUninstallPlan();
    WriteFileList("[FILES]\nFILE00=C:\\c.txt\n");
    RunOutcome outcome;
    RunUninstall(plan, outcome);
    EXPECT_FALSE(fake::FileExists("C:\\a.txt") || fake::FileExists("C:\\b.txt"));
    EXPECT_TRUE(fake::FileExists("C:\\c.txt"));
    EXPECT_EQ(outcome.stepsTaken, CountUninstallSteps(plan));
}

TEST_F(UninstallRun, ListThatNamesItselfIsReadWholeBeforeAnythingGoes) {
    // An installer that lists every file it wrote lists the file list too.
    WriteFileList("[FILES]\nFILE00=C:\\windows\\ZEVFList.ini\nFILE01=C:\\Prog\\a.exe\n"
                  "[PATHS]\nPATH00=C:\\Prog\\Data\n[STMPATHS]\nROOT=C:\\Spool\nPATH00=C:\\Spool\\Jobs\n");
    fake::AddFile("C:\\Prog\\a.exe");
    fake::AddDirectory("C:\\Prog\\Data");
    fake::AddDirectory("C:\\Spool\\Jobs");
    const Ran ran = CountAndRun();
    EXPECT_FALSE(fake::FileExists("C:\\windows\\ZEVFList.ini"));
    EXPECT_FALSE(fake::FileExists("C:\\Prog\\a.exe"));
    EXPECT_FALSE(fake::DirectoryExists("C:\\Prog"));
    EXPECT_FALSE(fake::DirectoryExists("C:\\Spool\\Jobs"));
    ExpectStepsEndingFull(ran, 3);
}

TEST_F(UninstallRun, NoRootIsHandedToARemovalHoweverItIsWritten) {
    WriteFileList("[FILES]\nFILE00=C:\\\nFILE01=C:\nFILE02=\\\\srv\\share\\\n"
                  "[PATHS]\nPATH00=C:\\.\nPATH01=/\nPATH02=C:\\A\\..\nPATH03=D:\\Data\\..\\Other\n"
                  "[STMPATHS]\nPATH00=//srv/share\nPATH01=C:\\Spool\\.\\..\n");
    fake::AddDirectory("D:\\Other");
    const Ran ran = CountAndRun();
    EXPECT_FALSE(fake::DirectoryExists("D:\\Other"));
    ExpectStepsEndingFull(ran, 4);
    // Each is passed over, and the record says so.
    for (const char* root : {"C:\\", "C:", "\\\\srv\\share\\", "C:\\.", "/", "C:\\A\\..", "//srv/share",
                             "C:\\Spool\\.\\.."}) {
        const ItemOutcome* item = Outcome(ran.outcome, root);
        ASSERT_NE(item, nullptr) << root;
        EXPECT_EQ(item->result, ItemResult::PassedOver) << root;
    }
}

TEST_F(UninstallRun, OnlyFullPathsAreActedOn) {
    // From the programs list the current directory is often the system directory.
    fake::AddDirectory("C:\\windows\\system32");
    fake::SetCurrentDirectory("C:\\windows\\system32");
    WriteFileList("[UNINSTALL]\nPATH=Prog\\Tool\n"
                  "[FILES]\nFILE00=a.dll\nFILE01=..\\b.dll\nFILE02=C:c.dll\nFILE03=\\d.dll\nFILE04=C:\\e.dll\n"
                  "[PATHS]\nPATH00=Temp\nPATH01=\\Data\n"
                  "[STMPATHS]\nROOT=C:\\Spool\nPATH00=Jobs\nPATH01=C:\\Spool\\Out\n");
    const Strings kept = {"C:\\windows\\system32\\a.dll", "C:\\windows\\b.dll", "C:\\windows\\system32\\c.dll",
                          "C:\\d.dll"};
    for (const std::string& file : kept) fake::AddFile(file);
    fake::AddFile("C:\\e.dll");
    for (const char* dir : {"C:\\windows\\system32\\Temp", "C:\\Data", "C:\\windows\\system32\\Jobs",
                            "C:\\windows\\system32\\Prog\\Tool", "C:\\Spool\\Out"})
        fake::AddDirectory(dir);
    const Ran ran = CountAndRun();
    for (const std::string& file : kept) EXPECT_TRUE(fake::FileExists(file)) << file;
    EXPECT_FALSE(fake::FileExists("C:\\e.dll"));
    EXPECT_FALSE(fake::DirectoryExists("C:\\Spool\\Out"));
    for (const char* dir : {"C:\\windows\\system32\\Temp", "C:\\Data", "C:\\windows\\system32\\Jobs",
                            "C:\\windows\\system32\\Prog\\Tool"})
        EXPECT_TRUE(fake::DirectoryExists(dir)) << dir;
    // Every file keeps its step; the relative install path gives no chain.
    ExpectStepsEndingFull(ran, 6);

    // A ROOT that is not a full path cannot tell where the retry rule stops.
    fake::Reset();
    WriteFileList("[STMPATHS]\nROOT=Spool\nPATH00=C:\\Spool\\Out\n");
    fake::AddDirectory("C:\\Spool\\Out");
    CountAndRun();
    EXPECT_TRUE(fake::DirectoryExists("C:\\Spool\\Out"));
}

namespace {

const char* const kSessionManager = "System\\CurrentControlSet\\Control\\Session Manager";

// The paths in PendingFileRenameOperations, in order; each must be a deletion.
Strings PendingDeletions() {
    platform::RegValue value;
    Strings paths;
    if (!fake::RegGetValue(kSessionManager, "PendingFileRenameOperations", &value)) return paths;
    Strings texts;
    for (std::size_t start = 0; start < value.data.size();) {
        const std::size_t end = value.data.find('\0', start);
        texts.push_back(value.data.substr(start, end - start));
        start = end + 1;
    }
    for (std::size_t i = 0; i + 1 < texts.size(); i += 2) {
        EXPECT_EQ(texts[i + 1], "") << texts[i];
        paths.push_back(texts[i]);
    }
    return paths;
}

}  // namespace

TEST_F(UninstallRun, ReadOnlyListedFilesGoAndNothingUnlistedHasItsAttributesChanged) {
    WriteFileList("[FILES]\nFILE00=C:\\Prog\\ro.dll\nFILE01=C:\\Prog\\plain.dll\n[PATHS]\nPATH00=C:\\Prog\n");
    fake::AddFile("C:\\Prog\\ro.dll");
    fake::AddFile("C:\\Prog\\plain.dll");
    fake::AddFile("C:\\Prog\\other.dll");
    fake::SetReadOnly("C:\\Prog\\ro.dll", true);
    fake::SetReadOnly("C:\\Prog\\other.dll", true);
    RunOutcome outcome;
    RunUninstall(ReadUninstallPlan(), outcome);

    EXPECT_FALSE(fake::FileExists("C:\\Prog\\ro.dll"));
    EXPECT_FALSE(fake::FileExists("C:\\Prog\\plain.dll"));
    EXPECT_TRUE(fake::FileExists("C:\\Prog\\other.dll"));
    EXPECT_EQ(fake::CallsOf("SetFileAttributes"), (Strings{"C:\\Prog\\ro.dll 128"}));
    EXPECT_FALSE(outcome.restartNeeded);
    ASSERT_NE(Outcome(outcome, "C:\\Prog\\ro.dll"), nullptr);
    EXPECT_EQ(Outcome(outcome, "C:\\Prog\\ro.dll")->result, ItemResult::Removed);
    // C:\Prog still holds other.dll: kept, and said why.
    ASSERT_NE(Outcome(outcome, "C:\\Prog"), nullptr);
    EXPECT_EQ(Outcome(outcome, "C:\\Prog")->result, ItemResult::Kept);
    EXPECT_EQ(Outcome(outcome, "C:\\Prog")->reason, "not empty");
    EXPECT_FALSE(outcome.incomplete);
    EXPECT_TRUE(PendingDeletions().empty());
}

TEST_F(UninstallRun, FilesInUseGoAtTheNextRestartWithTheDirectoriesOnlyTheyKeep) {
    // The monitor's DLL and a program file, both held; Tool then holds nothing
    // but what goes at the restart, Vendor nothing but Tool. Data holds a file
    // of someone else's too: it stays. The program file is listed with a doubled
    // separator, which names the same file.
    WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Vendor\\Tool\n[FILES]\nFILE00=C:\\Prog\\Vendor\\\\Tool\\tool.exe\n"
                  "FILE01=C:\\windows\\system32\\toolmon.dll\nFILE02=C:\\Data\\held.dat\nFILE03=C:\\Prog\\ro.dll\n"
                  "[PATHS]\nPATH00=C:\\Data\n");
    fake::AddFile("C:\\Prog\\Vendor\\Tool\\tool.exe");
    fake::AddFile("C:\\windows\\system32\\toolmon.dll");
    fake::AddFile("C:\\Data\\held.dat");
    fake::AddFile("C:\\Data\\theirs.dat");
    fake::AddFile("C:\\Prog\\ro.dll");
    fake::AddFile("C:\\Prog\\keep.txt");
    for (const char* held : {"C:\\Prog\\Vendor\\Tool\\tool.exe", "C:\\windows\\system32\\toolmon.dll",
                             "C:\\Data\\held.dat", "C:\\Prog\\ro.dll"})
        fake::SetFileLocked(held, true);
    // Read-only and held: the attribute is cleared, and stays so for the restart.
    fake::SetReadOnly("C:\\Prog\\ro.dll", true);
    RunOutcome outcome;
    RunUninstall(ReadUninstallPlan(), outcome);

    EXPECT_TRUE(outcome.restartNeeded);
    EXPECT_EQ(PendingDeletions(), (Strings{"\\??\\C:\\Prog\\Vendor\\\\Tool\\tool.exe",
                                           "\\??\\C:\\windows\\system32\\toolmon.dll", "\\??\\C:\\Data\\held.dat",
                                           "\\??\\C:\\Prog\\ro.dll", "\\??\\C:\\Prog\\Vendor\\Tool",
                                           "\\??\\C:\\Prog\\Vendor"}));
    EXPECT_EQ(fake::CallsOf("SetFileAttributes"), (Strings{"C:\\Prog\\ro.dll 128"}));
    const ItemOutcome* monitorDll = Outcome(outcome, "C:\\windows\\system32\\toolmon.dll");
    ASSERT_NE(monitorDll, nullptr);
    EXPECT_EQ(monitorDll->result, ItemResult::Scheduled);
    EXPECT_EQ(monitorDll->error, platform::kErrorSharingViolation);
    EXPECT_EQ(Outcome(outcome, "C:\\Data")->result, ItemResult::Kept);
    EXPECT_EQ(Outcome(outcome, "C:\\Prog")->result, ItemResult::Kept);  // keep.txt
    EXPECT_TRUE(fake::FileExists("C:\\Data\\theirs.dat"));
}

TEST_F(UninstallRun, AHeldFileIsMovedAsideWhereWindowsAllowsAndWhatNoRestartChangesFails) {
    WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[FILES]\nFILE00=C:\\Prog\\Tool\\mon.dll\n"
                  "FILE01=C:\\Prog\\Tool\\held.dll\nFILE02=C:\\Prog\\denied.dll\nFILE03=\\\\srv\\share\\held.dll\n"
                  "FILE04=Z:\\held.dll\n");
    fake::AddFile("C:\\Prog\\Tool\\mon.dll");
    fake::AddFile("C:\\Prog\\Tool\\mon.dll.zevdel");  // left by an earlier run
    fake::SetFileLoaded("C:\\Prog\\Tool\\mon.dll", true);
    fake::SetReadOnly("C:\\Prog\\Tool\\mon.dll", true);
    fake::AddFile("C:\\Prog\\Tool\\held.dll");
    fake::AddFile("C:\\Prog\\denied.dll");
    fake::AddFile("\\\\srv\\share\\held.dll");
    fake::AddFile("Z:\\held.dll");
    fake::SetRemoteDrive('z');
    for (const char* held : {"C:\\Prog\\Tool\\held.dll", "\\\\srv\\share\\held.dll", "Z:\\held.dll"})
        fake::SetFileLocked(held, true);
    fake::SetFileDenied("C:\\Prog\\denied.dll", true);
    RunOutcome outcome;
    RunUninstall(ReadUninstallPlan(), outcome);

    // The loaded DLL's name is free for a next version at once; its new name goes at the restart.
    EXPECT_FALSE(fake::FileExists("C:\\Prog\\Tool\\mon.dll"));
    EXPECT_TRUE(fake::FileExists("C:\\Prog\\Tool\\mon.dll.zevdel2"));
    EXPECT_EQ(Outcome(outcome, "C:\\Prog\\Tool\\mon.dll")->movedTo, "C:\\Prog\\Tool\\mon.dll.zevdel2");
    EXPECT_EQ(PendingDeletions(), (Strings{"\\??\\C:\\Prog\\Tool\\mon.dll.zevdel2", "\\??\\C:\\Prog\\Tool\\held.dll"}));
    for (const char* refused : {"C:\\Prog\\denied.dll", "\\\\srv\\share\\held.dll", "Z:\\held.dll"}) {
        EXPECT_TRUE(fake::FileExists(refused)) << refused;
        EXPECT_EQ(Outcome(outcome, refused)->result, ItemResult::Failed) << refused;
    }
    EXPECT_EQ(std::string(Outcome(outcome, "C:\\Prog\\denied.dll")->reason), "access denied");
    EXPECT_EQ(std::string(Outcome(outcome, "Z:\\held.dll")->reason), "in use, on a network share");
    EXPECT_TRUE(outcome.incomplete);
    EXPECT_TRUE(outcome.restartNeeded);
}

TEST_F(UninstallRun, TheRestartListIsChosenByWhatWindowsCanDoAndWininitIsNeverCutShort) {
    // A compatibility mode: GetVersion says 95 family, MoveFileExA works.
    fake::SetReportsWindows95Family(true);
    WriteFileList("[FILES]\nFILE00=C:\\Prog\\a.dll\n");
    fake::AddFile("C:\\Prog\\a.dll");
    fake::SetFileLocked("C:\\Prog\\a.dll", true);
    RunOutcome outcome;
    RunUninstall(ReadUninstallPlan(), outcome);
    EXPECT_EQ(PendingDeletions(), (Strings{"\\??\\C:\\Prog\\a.dll"}));
    EXPECT_FALSE(fake::FileExists("C:\\windows\\WININIT.INI"));

    // The 95 family on a full disk (WININIT.INI's own lines: the restart list's
    // table): the file fails, and no restart is claimed for it.
    fake::Reset();
    fake::SetWindows95Family(true);
    WriteFileList("[FILES]\nFILE00=C:\\Prog\\a.dll\n");
    fake::AddFile("C:\\Prog\\a.dll");
    fake::SetFileLocked("C:\\Prog\\a.dll", true);
    fake::SetDiskFull(true);
    RunOutcome full;
    RunUninstall(ReadUninstallPlan(), full);
    EXPECT_EQ(Outcome(full, "C:\\Prog\\a.dll")->result, ItemResult::Failed);
    EXPECT_FALSE(full.restartNeeded);
}

TEST_F(UninstallRun, TheWindows95FamilyListsEachFileInWininitWithEveryLineKept) {
    fake::SetWindows95Family(true);
    WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[FILES]\nFILE00=C:\\Prog\\Tool\\a.dll\n"
                  "FILE01=C:\\Prog\\Tool\\b.dll\n");
    fake::AddFile("C:\\Prog\\Tool\\a.dll");
    fake::AddFile("C:\\Prog\\Tool\\b.dll");
    fake::SetFileLocked("C:\\Prog\\Tool\\a.dll", true);
    fake::SetFileLocked("C:\\Prog\\Tool\\b.dll", true);
    fake::AddFile("C:\\windows\\WININIT.INI", "[rename]\r\nNUL=C:\\OLD.DLL\r\n[other]\r\nk=v\r\n");
    RunOutcome outcome;
    RunUninstall(ReadUninstallPlan(), outcome);

    EXPECT_TRUE(outcome.restartNeeded);
    std::string wininit;
    ASSERT_TRUE(fake::ReadFileContent("C:\\windows\\WININIT.INI", &wininit));
    EXPECT_EQ(wininit,
              "[rename]\r\nNUL=C:\\OLD.DLL\r\nNUL=C:\\Prog\\Tool\\a.dll\r\nNUL=C:\\Prog\\Tool\\b.dll\r\n[other]\r\nk=v\r\n");
    // Its WININIT.INI deletes files only: the directories stay for a later run.
    EXPECT_EQ(Outcome(outcome, "C:\\Prog\\Tool")->result, ItemResult::Kept);
}

TEST_F(UninstallRun, EachDirectoryIsRecordedOnceWithWhatFinallyBecameOfIt) {
    // The walk up from Drivers finds Tool holding Spool; the retry rule empties
    // it; the chain removes Tool and keeps Prog, which the walk kept too.
    WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Tool\n[PATHS]\nPATH00=C:\\Prog\\Tool\\Drivers\n"
                  "[STMPATHS]\nROOT=C:\\Prog\\Tool\nPATH00=C:\\Prog\\Tool\\Spool\\Jobs\n");
    fake::AddDirectory("C:\\Prog\\Tool\\Drivers");
    fake::AddDirectory("C:\\Prog\\Tool\\Spool\\Jobs");
    fake::AddFile("C:\\Prog\\theirs.txt");
    RunOutcome outcome;
    RunUninstall(ReadUninstallPlan(), outcome);

    for (const char* dir : {"C:\\Prog\\Tool\\Drivers", "C:\\Prog\\Tool", "C:\\Prog\\Tool\\Spool\\Jobs",
                            "C:\\Prog\\Tool\\Spool", "C:\\Prog"}) {
        EXPECT_EQ(std::count_if(outcome.items.begin(), outcome.items.end(),
                                [dir](const ItemOutcome& item) { return item.name == dir; }),
                  1)
            << dir;
        EXPECT_EQ(Outcome(outcome, dir)->result,
                  std::string(dir) == "C:\\Prog" ? ItemResult::Kept : ItemResult::Removed)
            << dir;
    }
    EXPECT_EQ(outcome.items.back().name, "C:\\Prog");  // what stays is told last
}

TEST_F(UninstallRun, On64BitWindowsAFileOrDirectoryUnderTheSystemDirectoryGoesFromBothOfThem) {
    // The shipped 32-bit program, with the Sysnative alias and without it (XP
    // x64), and the 64-bit one. The spooler holds the native monitor DLL.
    const std::string sys32 = "C:\\windows\\system32\\", wow64 = "C:\\windows\\SysWOW64\\";
    for (const auto& [bits, sysnative] : {std::pair{32u, true}, {32u, false}, {64u, true}}) {
        SetUp();
        fake::Set64BitWindows(bits, sysnative);
        WriteFileList("[FILES]\nFILE00=C:\\WINDOWS\\System32\\toolmon.dll\nFILE01=C:/windows/system32/only32.dll\n"
                      "FILE02=C:\\windows\\system32\\spool\\prtprocs\\x64\\toolpp.dll\n"
                      "FILE03=C:\\Windows\\Sysnative\\toolui.dll\n[PATHS]\nPATH00=C:\\windows\\system32\\Tool\n");
        fake::AddFile(sys32 + "toolui.dll");  // a 32-bit installer's name for the native one
        fake::SetFileLocked(sys32 + "toolui.dll", true);
        for (const std::string& dir : {sys32, wow64}) {
            fake::AddDirectory(dir + "Tool");
            fake::AddFile(dir + "toolmon.dll");
            fake::AddFile(dir + "other.dll");
            fake::AddFile(dir + "spool\\prtprocs\\x64\\toolpp.dll");
        }
        fake::AddFile(wow64 + "only32.dll");
        fake::SetFileLocked(sys32 + "toolmon.dll", true);
        fake::SetFileLocked(wow64 + "only32.dll", true);  // each at the restart under the name the boot reads
        RunOutcome outcome;
        RunUninstall(ReadUninstallPlan(), outcome);

        const std::string name = std::to_string(bits) + (sysnative ? "" : " without Sysnative");
        for (const std::string& gone : {wow64 + "toolmon.dll", sys32 + "spool\\prtprocs\\x64\\toolpp.dll", wow64 + "Tool",
                                        sys32 + "Tool"})
            EXPECT_FALSE(fake::FileExists(gone)) << name << " " << gone;
        // spool is not redirected: the list names the native one only.
        for (const std::string& kept : {sys32 + "other.dll", wow64 + "other.dll", wow64 + "spool\\prtprocs\\x64\\toolpp.dll"})
            EXPECT_TRUE(fake::FileExists(kept)) << name << " " << kept;
        EXPECT_EQ(PendingDeletions(), (Strings{"\\??\\" + sys32 + "toolmon.dll", "\\??\\" + wow64 + "only32.dll",
                                               "\\??\\" + sys32 + "toolui.dll"}))
            << name;
        // Each named in the view it was found in.
        const std::pair<std::string, ItemResult> lines[] = {{wow64 + "toolmon.dll", ItemResult::Removed},
                                                             {wow64 + "Tool", ItemResult::Removed},
                                                             {sys32 + "Tool", ItemResult::Removed},
                                                             {sys32 + "toolui.dll", ItemResult::Scheduled},
                                                             {sys32 + "toolmon.dll", ItemResult::Scheduled},
                                                             {wow64 + "only32.dll", ItemResult::Scheduled},
                                                             {sys32 + "only32.dll", ItemResult::NotThere}};
        for (const auto& [path, result] : lines) {
            ASSERT_NE(Outcome(outcome, path), nullptr) << name << " " << path;
            EXPECT_EQ(Outcome(outcome, path)->result, result) << name << " " << path;
        }
    }
}

TEST_F(UninstallRun, On64BitWindowsTheEntryIsLookedForInBothRegistryViewsOwnFirst) {
    const std::string entry = "Microsoft\\Windows\\CurrentVersion\\Uninstall\\ToolProduct";
    const struct {
        unsigned bits;
        bool in32, in64;
        Strings lines;
    } cases[] = {
        {32, false, true, {"not there 32-bit view", "removed 64-bit view"}},
        {32, true, true, {"removed 32-bit view", "removed 64-bit view"}},
        {64, true, false, {"not there 64-bit view", "removed 32-bit view"}},
        {64, false, false, {"not there 64-bit view", "not there 32-bit view"}},
    };
    for (const auto& c : cases) {
        SetUp();
        fake::Set64BitWindows(c.bits);
        WriteFileList("[UnInstKey]\nUnInstKey=ToolProduct\n");
        if (c.in32) fake::RegSetString("SOFTWARE\\Wow6432Node\\" + entry, "DisplayName", "Tool");
        if (c.in64) fake::RegSetString("SOFTWARE\\" + entry, "DisplayName", "Tool");
        fake::RegSetString("SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other", "x", "y");
        RunOutcome outcome;
        RunUninstall(ReadUninstallPlan(), outcome);

        Strings lines;
        for (const ItemOutcome& item : outcome.items)
            if (item.name == "ToolProduct")
                lines.push_back((item.result == ItemResult::Removed ? "removed " : "not there ") + std::string(item.reason));
        EXPECT_EQ(lines, c.lines) << c.bits;
        EXPECT_FALSE(fake::RegKeyExists("SOFTWARE\\Wow6432Node\\" + entry) || fake::RegKeyExists("SOFTWARE\\" + entry));
        EXPECT_TRUE(fake::RegKeyExists("SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other"));
    }
    // A key that cannot go (it has a subkey) is stripped, in the view it is in.
    SetUp();
    fake::Set64BitWindows(32);
    WriteFileList("[UnInstKey]\nUnInstKey=ToolProduct\n");
    fake::RegSetString("SOFTWARE\\" + entry, "DisplayName", "Tool");
    fake::RegSetString("SOFTWARE\\" + entry, "UninstallString", "x");
    fake::RegCreateKey("SOFTWARE\\" + entry + "\\Sub");
    RunOutcome outcome;
    RunUninstall(ReadUninstallPlan(), outcome);
    EXPECT_FALSE(fake::RegValueExists("SOFTWARE\\" + entry, "UninstallString"));
    EXPECT_TRUE(fake::RegKeyExists("SOFTWARE\\" + entry + "\\Sub"));
    ASSERT_GE(outcome.items.size(), 2u);
    EXPECT_EQ(outcome.items[1].result, ItemResult::Removed);  // 32-bit view first, not there
}

TEST_F(UninstallRun, AMonitorWhoseEnvironmentIsRefusedGoesForTheServersOwnAndTheLogSaysSo) {
    InstallProduct();
    fake::SetEnvironmentRefused("Windows 4.0", true);
    const Ran ran = CountAndRun();

    EXPECT_FALSE(fake::RegKeyExists("System\\CurrentControlSet\\Control\\Print\\Monitors\\Tool Port"));
    const ItemOutcome* monitor = Outcome(ran.outcome, "Tool Port");
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(monitor->result, ItemResult::Removed);
    EXPECT_EQ(monitor->error, platform::kErrorInvalidEnvironment);
    EXPECT_EQ(monitor->reason, "no environment; Windows 4.0 refused");
}

TEST_F(UninstallRun, WhatIfForeseesTheRunItemByItemAndTouchesNothing) {
    InstallProduct();
    fake::Printer office;
    office.name = "Office";
    office.port = "TOOL1";
    fake::AddPrinter(office);
    fake::AddFile("C:\\ToolData\\theirs.txt");  // ToolData is kept
    const Strings paths = fake::AllPaths();
    RunOutcome foreseen;
    ForeseeUninstall(ReadUninstallPlan(), foreseen);
    EXPECT_EQ(fake::AllPaths(), paths);
    EXPECT_TRUE(fake::RegKeyExists("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ToolProduct"));
    EXPECT_TRUE(fake::RegKeyExists("System\\CurrentControlSet\\Control\\Print\\Monitors\\Tool Port\\Ports\\TOOL1"));
    ASSERT_TRUE(fake::GetPrinter("Office", &office));
    EXPECT_EQ(office.port, "TOOL1");

    RunOutcome ran;
    RunUninstall(ReadUninstallPlan(), ran);
    auto told = [](const RunOutcome& outcome) {
        Strings lines;
        for (const ItemOutcome& item : outcome.items)
            lines.push_back(KindName(item.kind) + (" " + item.name) + " " + std::to_string(static_cast<int>(item.result)));
        return lines;
    };
    EXPECT_EQ(told(foreseen), told(ran));
    EXPECT_NE(Outcome(foreseen, "Office"), nullptr);
    EXPECT_EQ(Outcome(foreseen, "C:\\ToolData")->result, ItemResult::Kept);

    // Where the spooler is stopped the run works in its registry, foresees that, and it is no failure.
    SetUp();
    InstallProduct();
    office.port = "TOOL1";
    fake::AddPrinter(office);
    fake::SetSpoolerNotRunning(true);
    RunOutcome foreseenStopped, ranStopped;
    ForeseeUninstall(ReadUninstallPlan(), foreseenStopped);
    RunUninstall(ReadUninstallPlan(), ranStopped);
    EXPECT_EQ(told(foreseenStopped), told(ranStopped));
    EXPECT_FALSE(ranStopped.incomplete);
    EXPECT_NE(Outcome(ranStopped, "TOOL1")->reason.find("spooler is not running"), std::string::npos);
    ASSERT_TRUE(fake::GetPrinter("Office", &office));
    EXPECT_EQ(office.port, "LPT1:");
    EXPECT_FALSE(fake::RegKeyExists("System\\CurrentControlSet\\Control\\Print\\Monitors\\Tool Port"));
}

// Files and directories as the program relies on them: what DeleteFileA and
// RemoveDirectoryA remove and what they refuse, on the fake and under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/platform/machine_setup.h"

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override { scratch_ = setup::FreshScratch(); }
    void TearDown() override { setup::CleanScratch(); }

    std::string At(const std::string& relative) const { return scratch_ + "\\" + relative; }

    std::string scratch_;
};

TEST_F(Files, WindowsDirectoryHasNoTrailingBackslashAndHoldsProfileFiles) {
    const std::string dir = platform::GetWindowsDir();

    ASSERT_GE(dir.size(), 3u);
    EXPECT_NE(dir.back(), '\\');
    EXPECT_EQ(dir[1], ':');
    EXPECT_TRUE(setup::DirExists(dir));
    setup::WriteWindowsFile("ZevSuiteW1.ini", "[s]\r\nk=v\r\n");
    EXPECT_TRUE(setup::FileExists(dir + "\\ZevSuiteW1.ini"));
}

TEST_F(Files, TheLateDllsLoadByTheirFullPathInTheSystemDirectoryOnly) {
    const std::string system = platform::GetSystemDir();
    ASSERT_GE(system.size(), 3u);
    EXPECT_NE(system.back(), '\\');

    EXPECT_TRUE(platform::InitProgressControls(system + "\\comctl32.dll"));
    EXPECT_TRUE(platform::LoadSpooler(system + "\\winspool.drv"));
    // No such file here, whatever DLL of that name the process holds.
    EXPECT_FALSE(platform::InitProgressControls(At("comctl32.dll")));
    EXPECT_FALSE(platform::LoadSpooler(At("winspool.drv")));
    EXPECT_FALSE(platform::LoadSpooler(""));
}

TEST_F(Files, SixtyFourBitWindowsNamesItsThirtyTwoBitSystemDirectory) {
    // The suite is a 64-bit program: it reaches either directory by its name.
    EXPECT_EQ(platform::ProgramBits(), 64u);
    ASSERT_TRUE(platform::Is64BitWindows());
    const std::string wow64 = platform::GetSystemWow64Dir();
    EXPECT_TRUE(platform::SameTextIgnoringCase(wow64, platform::GetWindowsDir() + "\\SysWOW64")) << wow64;
    setup::MakeDir(wow64);
    setup::MakeFile(wow64 + "\\ZevSuiteW64.dll", "x");
    setup::MakeFile(platform::GetSystemDir() + "\\ZevSuiteW64.dll", "x");
    EXPECT_EQ(platform::DeleteFileWithError(wow64 + "\\ZevSuiteW64.dll"), 0u);
    EXPECT_TRUE(setup::FileExists(platform::GetSystemDir() + "\\ZevSuiteW64.dll"));
    EXPECT_EQ(platform::DeleteFileWithError(platform::GetSystemDir() + "\\ZevSuiteW64.dll", platform::FileView::Native), 0u);
    EXPECT_FALSE(setup::FileExists(platform::GetSystemDir() + "\\ZevSuiteW64.dll"));
}

TEST_F(Files, DeleteFileRemovesAnExistingFileOnly) {
    setup::MakeFile(At("a.dll"), "contents");
    setup::MakeFile(At("b.dll"), "contents");

    EXPECT_EQ(platform::DeleteFileWithError(At("a.dll")), 0u);
    EXPECT_FALSE(setup::FileExists(At("a.dll")));
    EXPECT_TRUE(setup::FileExists(At("b.dll")));

    // Gone already, never there, or in a directory that is not there.
    EXPECT_NE(platform::DeleteFileWithError(At("a.dll")), 0u);
    EXPECT_NE(platform::DeleteFileWithError(At("never.dll")), 0u);
    EXPECT_NE(platform::DeleteFileWithError(At("nodir\\a.dll")), 0u);
    EXPECT_NE(platform::DeleteFileWithError(At("b.dll\\")), 0u);  // a file named as a directory
    EXPECT_TRUE(setup::FileExists(At("b.dll")));
}

TEST_F(Files, ARelativePathOrAnotherSpellingNamesTheFileWindowsFinds) {
    setup::MakeDir(At("Sub"));
    setup::MakeFile(At("Sub\\a.dll"), "x");
    setup::ChangeDirectory(scratch_);
    const std::string drive = scratch_.substr(0, 2), dir = scratch_.substr(2);  // "C:", "\zevtest"
    std::string slashes = "c:" + dir + "/./x/../sub//A.DLL";
    std::replace(slashes.begin(), slashes.end(), '\\', '/');
    uint32_t attributes = 0;
    for (const std::string& path : {std::string("Sub\\a.dll"), drive + "Sub\\a.dll", dir + "\\Sub\\a.dll", slashes,
                                    drive + "\\..\\.." + dir + "\\Sub\\a.dll",  // ".." stops at the root
                                    At("Sub\\a.dll. ")}) {                     // trailing dots and blanks dropped
        EXPECT_EQ(platform::GetFileAttributesWithError(path, &attributes), 0u) << path;
        EXPECT_EQ(attributes & platform::kAttrDirectory, 0u) << path;
    }
    EXPECT_NE(platform::GetFileAttributesWithError(drive + "a.dll", &attributes), 0u);
    EXPECT_NE(platform::GetFileAttributesWithError(drive + "Sub\\a.dll\\", &attributes), 0u);
}

TEST_F(Files, DeleteFileIgnoresCaseOfTheName) {
    setup::MakeDir(At("Sub"));
    setup::MakeFile(At("Sub\\MixedCase.Dll"), "x");

    EXPECT_EQ(platform::DeleteFileWithError(scratch_ + "\\SUB\\mixedcase.DLL"), 0u);
    EXPECT_FALSE(setup::FileExists(At("Sub\\MixedCase.Dll")));
}

TEST_F(Files, DeleteFileRefusesADirectory) {
    setup::MakeDir(At("dir"));

    EXPECT_NE(platform::DeleteFileWithError(At("dir")), 0u);
    EXPECT_TRUE(setup::DirExists(At("dir")));
}

TEST_F(Files, DeleteFileRefusesAReadOnlyFile) {
    setup::MakeFile(At("ro.dll"), "x");
    setup::SetReadOnly(At("ro.dll"));

    EXPECT_NE(platform::DeleteFileWithError(At("ro.dll")), 0u);
    EXPECT_TRUE(setup::FileExists(At("ro.dll")));
}

TEST_F(Files, RemoveDirectoryRemovesAnEmptyDirectoryOnly) {
    setup::MakeDir(At("empty"));
    setup::MakeDir(At("full"));
    setup::MakeFile(At("full\\a.txt"), "x");
    setup::MakeDir(At("nested\\inner"));

    EXPECT_EQ(platform::RemoveDirectoryWithError(At("empty")), 0u);
    EXPECT_FALSE(setup::DirExists(At("empty")));

    EXPECT_NE(platform::RemoveDirectoryWithError(At("full")), 0u);
    EXPECT_TRUE(setup::FileExists(At("full\\a.txt")));
    EXPECT_NE(platform::RemoveDirectoryWithError(At("nested")), 0u);
    EXPECT_TRUE(setup::DirExists(At("nested\\inner")));

    EXPECT_NE(platform::RemoveDirectoryWithError(At("empty")), 0u);
    EXPECT_NE(platform::RemoveDirectoryWithError(At("never")), 0u);
}

TEST_F(Files, RemoveDirectoryTakesATrailingBackslashAndIgnoresCase) {
    setup::MakeDir(At("Trail"));
    setup::MakeDir(At("Mixed"));

    EXPECT_EQ(platform::RemoveDirectoryWithError(At("Trail\\")), 0u);
    EXPECT_FALSE(setup::DirExists(At("Trail")));
    EXPECT_EQ(platform::RemoveDirectoryWithError(At("MIXED")), 0u);
    EXPECT_FALSE(setup::DirExists(At("Mixed")));
}

TEST_F(Files, RemoveDirectoryRefusesAFileAndADriveRoot) {
    setup::MakeFile(At("file.txt"), "x");

    EXPECT_NE(platform::RemoveDirectoryWithError(At("file.txt")), 0u);
    EXPECT_TRUE(setup::FileExists(At("file.txt")));
    EXPECT_NE(platform::RemoveDirectoryWithError("C:\\"), 0u);
    EXPECT_TRUE(setup::DirExists("C:\\"));
}

TEST_F(Files, RemovingTheLastEntryLeavesTheParentRemovable) {
    setup::MakeDir(At("app\\bin"));
    setup::MakeFile(At("app\\bin\\a.dll"), "x");

    EXPECT_NE(platform::RemoveDirectoryWithError(At("app")), 0u);
    EXPECT_EQ(platform::DeleteFileWithError(At("app\\bin\\a.dll")), 0u);
    EXPECT_EQ(platform::RemoveDirectoryWithError(At("app\\bin")), 0u);
    EXPECT_EQ(platform::RemoveDirectoryWithError(At("app")), 0u);
    EXPECT_FALSE(setup::DirExists(At("app")));
    EXPECT_TRUE(setup::DirExists(scratch_));
}

}  // namespace

namespace {

bool LeadByteOf932(unsigned byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace

TEST_F(Files, LeadBytesAreTheSystemCodePages) {
    const unsigned codePage = setup::ActiveCodePage();
    if (codePage != 932 && codePage != 1252) GTEST_SKIP() << "code page " << codePage;
    for (unsigned byte = 0; byte < 256; ++byte)
        EXPECT_EQ(platform::IsLeadByte(static_cast<unsigned char>(byte)), codePage == 932 && LeadByteOf932(byte))
            << "byte " << byte << " in code page " << codePage;
}

TEST_F(Files, DoubleByteNamesEndingInTheBackslashsByteAreWholeNames) {
    if (setup::ActiveCodePage() != 932) GTEST_SKIP() << "needs code page 932";
    const std::string so = "\x83\x5C", juu = "\x8F\x5C";  // second bytes 5C
    setup::MakeDir(At(so + "\\" + juu));
    setup::MakeFile(At(so + "\\" + juu + "\\a.dll"), "x");
    // Not empty, then emptied; with or without a trailing backslash.
    EXPECT_NE(platform::RemoveDirectoryWithError(At(so + "\\" + juu)), 0u);
    EXPECT_EQ(platform::DeleteFileWithError(At(so + "\\" + juu + "\\A.DLL")), 0u);
    EXPECT_EQ(platform::RemoveDirectoryWithError(At(so + "\\" + juu + "\\")), 0u);
    EXPECT_FALSE(setup::DirExists(At(so + "\\" + juu)));
    EXPECT_TRUE(setup::DirExists(At(so)));

    // Second bytes that look like "A" and "a" are not folded: two directories.
    setup::MakeDir(At("\x83\x41"));
    setup::MakeDir(At("\x83\x61"));
    EXPECT_EQ(platform::RemoveDirectoryWithError(At("\x83\x41")), 0u);
    EXPECT_TRUE(setup::DirExists(At("\x83\x61")));
}

TEST_F(Files, LettersBeyondAToZAreOneNameInEitherCase) {
    // É and é on code page 1252, full-width Ａ and ａ on 932: one name to the
    // file system, and to the comparison the program makes of names.
    const bool japanese = setup::ActiveCodePage() == 932;
    const std::string upper = japanese ? "\x82\x60" : "DONN\xC9" "ES", lower = japanese ? "\x82\x81" : "donn\xE9" "es";
    EXPECT_TRUE(platform::SameTextIgnoringCase(upper + "\\A", lower + "\\a"));
    EXPECT_FALSE(platform::SameTextIgnoringCase(upper, lower + "x"));
    if (japanese) EXPECT_FALSE(platform::SameTextIgnoringCase("\x83\x41", "\x83\x61"));  // two characters, A and a second
    setup::MakeDir(At(lower));
    EXPECT_EQ(platform::RemoveDirectoryWithError(At(upper)), 0u);
    EXPECT_FALSE(setup::DirExists(At(lower)));
}

TEST_F(Files, DeleteFileSaysWhyAndAReadOnlyFileGoesOnceItsAttributeIsCleared) {
    setup::MakeFile(At("ro.dll"), "x");
    setup::SetReadOnly(At("ro.dll"));
    setup::MakeFile(At("held.dll"), "x");
    setup::HoldOpen(At("held.dll"));
    setup::MakeDir(At("dir"));
    setup::MakeFile(At("dir\\inside.txt"), "x");

    EXPECT_EQ(platform::DeleteFileWithError(At("ro.dll")), platform::kErrorAccessDenied);
    uint32_t attributes = 0;
    ASSERT_EQ(platform::GetFileAttributesWithError(At("ro.dll"), &attributes), 0u);
    EXPECT_EQ(attributes & (platform::kAttrReadOnly | platform::kAttrDirectory), platform::kAttrReadOnly);
    ASSERT_EQ(platform::SetFileAttributesWithError(At("ro.dll"), platform::kAttrNormal), 0u);
    ASSERT_EQ(platform::GetFileAttributesWithError(At("ro.dll"), &attributes), 0u);
    EXPECT_EQ(attributes & platform::kAttrReadOnly, 0u);
    EXPECT_EQ(platform::DeleteFileWithError(At("ro.dll")), 0u);
    EXPECT_FALSE(setup::FileExists(At("ro.dll")));

    // Held open elsewhere without sharing: a sharing violation, and the file stays.
    EXPECT_EQ(platform::DeleteFileWithError(At("held.dll")), platform::kErrorSharingViolation);
    EXPECT_TRUE(setup::FileExists(At("held.dll")));

    // A directory is no file; one that holds something is not removed.
    EXPECT_EQ(platform::DeleteFileWithError(At("dir")), platform::kErrorAccessDenied);
    ASSERT_EQ(platform::GetFileAttributesWithError(At("dir"), &attributes), 0u);
    EXPECT_NE(attributes & platform::kAttrDirectory, 0u);
    EXPECT_EQ(platform::RemoveDirectoryWithError(At("dir")), platform::kErrorDirNotEmpty);

    // Not there, and in a directory that is not there.
    EXPECT_EQ(platform::DeleteFileWithError(At("never.dll")), platform::kErrorFileNotFound);
    EXPECT_EQ(platform::DeleteFileWithError(At("nodir\\a.dll")), platform::kErrorPathNotFound);
    EXPECT_TRUE(platform::IsNotFoundError(platform::GetFileAttributesWithError(At("never.dll"), &attributes)));
}

TEST_F(Files, ADirectoryListsWhatItHolds) {
    setup::MakeDir(At("dir\\Sub"));
    setup::MakeFile(At("dir\\a.txt"), "x");
    setup::MakeFile(At("dir\\Sub\\deeper.txt"), "x");

    std::vector<std::string> names;
    ASSERT_EQ(platform::ListDirectoryWithError(At("dir"), &names), 0u);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Sub", "a.txt"}));
    names.clear();
    EXPECT_TRUE(platform::IsNotFoundError(platform::ListDirectoryWithError(At("missing"), &names)));
    EXPECT_TRUE(names.empty());
}

TEST_F(Files, DeletionAtTheNextRestartIsRecordedForTheSessionManager) {
    setup::MakeFile(At("held.dll"), "x");
    setup::HoldOpen(At("held.dll"));

    ASSERT_EQ(platform::DeleteAtNextRestartWithError(At("held.dll")), 0u);
    // Nothing goes before the restart; the path goes into the list with an empty target.
    EXPECT_TRUE(setup::FileExists(At("held.dll")));
    const std::string pending = setup::RegReadData("System\\CurrentControlSet\\Control\\Session Manager",
                                                   "PendingFileRenameOperations");
    const std::string entry = "\\??\\" + At("held.dll") + std::string(2, '\0');
    EXPECT_NE(pending.find(entry), std::string::npos);

    // The short form of a path that is there, and none of one that is not.
    EXPECT_FALSE(platform::ShortPathOf(At("held.dll")).empty());
    EXPECT_TRUE(platform::ShortPathOf(At("never.dll")).empty());
}

TEST_F(Files, ALoadedImageCannotBeDeletedButCanBeMovedAsideAndAHeldFileNeither) {
    setup::MakeLoadedImage(At("loaded.dll"));
    setup::MakeFile(At("held.dll"), "x");
    setup::HoldOpen(At("held.dll"));
    setup::MakeFile(At("other.dll"), "x");

    EXPECT_EQ(platform::DeleteFileWithError(At("loaded.dll")), platform::kErrorAccessDenied);
    EXPECT_EQ(platform::MoveFileWithError(At("loaded.dll"), At("other.dll")), platform::kErrorAlreadyExists);
    EXPECT_EQ(platform::MoveFileWithError(At("loaded.dll"), At("loaded.dll.zevdel")), 0u);
    EXPECT_TRUE(setup::FileExists(At("loaded.dll.zevdel")));
    EXPECT_FALSE(setup::FileExists(At("loaded.dll")));
    EXPECT_EQ(platform::MoveFileWithError(At("held.dll"), At("held.dll.zevdel")), platform::kErrorSharingViolation);
    EXPECT_TRUE(setup::FileExists(At("held.dll")));

    EXPECT_TRUE(platform::IsOnNetwork("\\\\server\\share\\x.dll"));
    EXPECT_TRUE(platform::IsOnNetwork("\\/server\\share\\x.dll"));
    EXPECT_FALSE(platform::IsOnNetwork(At("loaded.dll.zevdel")));
}

TEST_F(Files, AFileEditedInPlaceKeepsWhatTheEditKeeps) {
    const std::string line = "NUL=C:\\A.DLL\r\n";
    const auto addLine = [&line](const std::string& content) { return content + line; };
    EXPECT_EQ(platform::EditFileInPlace(At("list.ini"), addLine), 0u);  // made where missing
    EXPECT_EQ(platform::EditFileInPlace(At("list.ini"), addLine), 0u);
    std::string content;
    ASSERT_TRUE(platform::ReadWholeFile(At("list.ini"), &content));
    EXPECT_EQ(content, line + line);
    setup::HoldOpen(At("list.ini"));
    EXPECT_EQ(platform::EditFileInPlace(At("list.ini"), addLine), platform::kErrorSharingViolation);
}

TEST_F(Files, WholeFilesAreReadAndLogsKeptOpen) {
    const std::string path = At("log.txt");
    {
        const platform::LogFile log = platform::OpenLogFile(path);
        ASSERT_TRUE(log.IsOpen());
        EXPECT_TRUE(platform::WriteToLog(log, "one\r\n"));
        // Others may read it meanwhile; nobody else may open it for writing.
        std::string content;
        ASSERT_TRUE(platform::ReadWholeFile(path, &content));
        EXPECT_EQ(content, "one\r\n");
        EXPECT_FALSE(platform::OpenLogFile(path).IsOpen());
    }
    {
        const platform::LogFile log = platform::OpenLogFile(path);
        ASSERT_TRUE(log.IsOpen());
        EXPECT_TRUE(platform::WriteToLog(log, "two\r\n"));
    }
    std::string content;
    ASSERT_TRUE(platform::ReadWholeFile(path, &content));
    EXPECT_EQ(content, "one\r\ntwo\r\n");

    EXPECT_FALSE(platform::ReadWholeFile(At("never.txt"), &content));
    EXPECT_FALSE(platform::OpenLogFile(At("nodir\\log.txt")).IsOpen());
    EXPECT_FALSE(platform::OpenLogFile(scratch_).IsOpen());  // a directory
    EXPECT_EQ(platform::FullPathOf(At("log.txt")), At("log.txt"));
}

TEST_F(Files, TheClockMovesOnByAtLeastAPause) {
    const uint32_t before = platform::Milliseconds();
    platform::Pause(50);
    EXPECT_GE(platform::Milliseconds() - before, 50u);
}

TEST_F(Files, OneCopyAtATimeAndAnAbandonedLockIsFree) {
    const std::string name = "zevtest.lock";
    setup::HoldProgramLock(name);
    EXPECT_EQ(platform::TakeProgramLock(name), platform::ProgramLock::HeldElsewhere);
    setup::AbandonProgramLock();
    EXPECT_EQ(platform::TakeProgramLock(name), platform::ProgramLock::Taken);
}

TEST_F(Files, TheLogHeadingsTextsHaveTheirFixedShape) {
    // "Windows 6.1.7601 (NT family)": three numbers and the family GetVersion gives.
    const std::string version = platform::WindowsVersionText();
    const std::string family = platform::IsWindows95Family() ? " (95 family)" : " (NT family)";
    ASSERT_GT(version.size(), family.size() + 8) << version;
    EXPECT_EQ(version.compare(0, 8, "Windows "), 0) << version;
    EXPECT_EQ(version.substr(version.size() - family.size()), family) << version;
    const std::string numbers = version.substr(8, version.size() - 8 - family.size());
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), '.'), 2) << version;
    EXPECT_EQ(numbers.find_first_not_of("0123456789."), std::string::npos) << version;

    // "2026-12-08 17:52:03.125".
    const std::string now = platform::LocalTimeText();
    ASSERT_EQ(now.size(), 23u) << now;
    for (std::size_t i = 0; i < now.size(); ++i) {
        const char expected = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : i == 13 || i == 16 ? ':' : i == 19 ? '.' : '0';
        if (expected == '0')
            EXPECT_TRUE(now[i] >= '0' && now[i] <= '9') << now;
        else
            EXPECT_EQ(now[i], expected) << now;
    }
}

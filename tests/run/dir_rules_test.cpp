// How listed directories are removed: with their emptied parents, or with retries below a root.
#include "run/dir_rules.h"

#include <tuple>

#include "path/path_names.h"
#include "tests/support/machine.h"

using testing_support::FakeMachineTest;
using Strings = std::vector<std::string>;

class DirectoryRules : public FakeMachineTest {};

TEST_F(DirectoryRules, ParentsGoUntilOneIsNotEmpty) {
    fake::AddDirectory("C:\\A\\B\\C");
    fake::AddFile("C:\\A\\keep.txt");
    RemoveDirAndParents("C:\\A\\B\\C");
    EXPECT_FALSE(fake::DirectoryExists("C:\\A\\B"));
    EXPECT_TRUE(fake::FileExists("C:\\A\\keep.txt"));
}

TEST_F(DirectoryRules, TrailingAndDoubledBackslashesNameTheSameDirectories) {
    fake::AddDirectory("C:\\A\\B");
    RemoveDirAndParents("C:\\A\\B\\");
    EXPECT_FALSE(fake::DirectoryExists("C:\\A"));

    fake::AddDirectory("C:\\X\\Y");
    fake::AddFile("C:\\X\\keep.txt");
    RemoveDirAndParents("C:\\X\\\\Y\\\\");
    EXPECT_FALSE(fake::DirectoryExists("C:\\X\\Y"));
    EXPECT_TRUE(fake::DirectoryExists("C:\\X"));
}

TEST_F(DirectoryRules, RootRelativePathKeepsItsLeadingBackslash) {
    fake::AddDirectory("C:\\A\\B");
    RemoveDirAndParents("\\A\\B");
    EXPECT_FALSE(fake::DirectoryExists("C:\\A"));
}

// The one check of the retry rule's promise: ten attempts on the directory, then
// ten on its parent, each followed by a pause of half a second, whatever its outcome.
TEST_F(DirectoryRules, RetryTriesPathThenParentTenTimesEachWithAPauseAfterEach) {
    fake::AddDirectory("D:\\Root\\Data\\Cache");
    RemoveDirWithRetry("D:\\Root\\Data\\Cache", "D:\\Root\\");
    Strings expected;
    for (const char* dir : {"D:\\Root\\Data\\Cache", "D:\\Root\\Data"})
        for (int attempt = 0; attempt < 10; ++attempt) {
            expected.push_back(std::string("RemoveDirectory ") + dir);
            expected.push_back("Sleep 500");
        }
    EXPECT_EQ(fake::Calls(), expected);
    EXPECT_FALSE(fake::DirectoryExists("D:\\Root\\Data"));
    EXPECT_TRUE(fake::DirectoryExists("D:\\Root"));
}

TEST_F(DirectoryRules, RetryParentComparedWithRootRegardlessOfCaseAndTrailingBackslash) {
    fake::AddDirectory("D:\\Root\\Data");
    RemoveDirWithRetry("D:\\Root\\Data", "d:\\ROOT");
    EXPECT_FALSE(fake::DirectoryExists("D:\\Root\\Data"));
    EXPECT_TRUE(fake::DirectoryExists("D:\\Root"));  // empty, and ROOT

    fake::AddDirectory("D:\\Root\\Other");
    RemoveDirWithRetry("d:\\root\\Other\\", "D:\\Root\\\\");
    EXPECT_FALSE(fake::DirectoryExists("D:\\Root\\Other"));
    EXPECT_TRUE(fake::DirectoryExists("D:\\Root"));
}

TEST_F(DirectoryRules, RetryWithoutParentOrRoot) {
    fake::AddDirectory("C:\\Lone");
    RemoveDirWithRetry("Lone", "C:\\Root");
    EXPECT_FALSE(fake::DirectoryExists("C:\\Lone"));

    // An empty root: the parent is tried too.
    fake::AddDirectory("E:\\P\\Q");
    RemoveDirWithRetry("E:\\P\\Q", "");
    EXPECT_FALSE(fake::DirectoryExists("E:\\P"));
}

TEST_F(DirectoryRules, RetryNeverRemovesTheRootHoweverEitherIsWritten) {
    const struct {
        const char* dir;
        const char* root;
    } cases[] = {
        {"C:\\Spool\\\\Jobs", "C:\\Spool"},      // doubled backslash in the entry
        {"C:\\Spool\\Jobs", "C:\\\\Spool\\"},    // doubled backslash in ROOT
        {"C:/Spool\\Jobs", "C:\\Spool"},         // slashes, as Windows reads them
        {"C:\\Spool\\Jobs", "C:/Spool/"},
        {"C:\\Spool\\Jobs", "C:\\Spool\\."},     // "." and ".."
        {"C:\\Spool\\Jobs", "C:\\Other\\..\\Spool"},
        {"C:\\Spool\\Jobs", "C:\\Spool. "},      // trailing dots and blanks of the last name
    };
    for (const auto& c : cases) {
        fake::Reset();
        fake::AddDirectory("C:\\Spool\\Jobs");
        RemoveDirWithRetry(c.dir, c.root);
        EXPECT_FALSE(fake::DirectoryExists("C:\\Spool\\Jobs")) << c.dir << " under " << c.root;
        EXPECT_TRUE(fake::DirectoryExists("C:\\Spool")) << c.dir << " under " << c.root;
    }
    // An entry that names ROOT itself is passed over: it stays, empty as it is.
    for (const char* dir : {"C:\\Spool", "c:\\spool\\", "C:\\Spool\\Jobs\\..", "C:/Spool/."}) {
        fake::Reset();
        fake::AddDirectory("C:\\Spool");
        RemoveDirWithRetry(dir, "C:\\Spool\\");
        EXPECT_TRUE(fake::DirectoryExists("C:\\Spool")) << dir;
    }
    // Names compare as Windows compares them: É is é on code page 1252, Ａ is ａ on 932.
    for (const auto& [codePage, dir, root] : {std::tuple{1252u, "C:\\DONN\xC9" "ES\\Cache", "C:\\Donn\xE9" "es\\"},
                                              {932u, "c:\\\x82\x60\\Cache", "C:\\\x82\x81"}}) {
        fake::Reset();
        fake::SetCodePage(codePage);
        fake::AddDirectory(std::string(dir));
        RemoveDirWithRetry(dir, root);
        EXPECT_FALSE(fake::DirectoryExists(dir)) << codePage;
        EXPECT_TRUE(fake::DirectoryExists(root)) << codePage;
    }
}

TEST_F(DirectoryRules, WalkGoesUpOnlyThroughNamesThatTellTheirParent) {
    // C:\A\B\.. is C:\A; the text before its last name, C:\A\B, lies below it.
    fake::AddDirectory("C:\\A\\B");
    RemoveDirAndParents("C:\\A\\B\\..");
    EXPECT_TRUE(fake::DirectoryExists("C:\\A\\B"));

    // C:\Y is the parent of C:\X\..\Y\Z; C:\X\.. is the drive's root and C:\X no parent at all.
    fake::AddDirectory("C:\\X");
    fake::AddDirectory("C:\\Y\\Z");
    RemoveDirAndParents("C:\\X\\..\\Y\\Z");
    EXPECT_TRUE(fake::DirectoryExists("C:\\X"));
    EXPECT_FALSE(fake::DirectoryExists("C:\\Y"));

    // "Q " inside a path is a directory of its own; "C:\P\Q " is read as C:\P\Q.
    fake::AddDirectory("C:\\P\\Q \\R");
    fake::AddDirectory("C:\\P\\Q");
    RemoveDirAndParents("C:\\P\\Q \\R");
    EXPECT_FALSE(fake::DirectoryExists("C:\\P\\Q \\R"));
    EXPECT_TRUE(fake::DirectoryExists("C:\\P\\Q"));

    // The retried directory's parent likewise.
    fake::AddDirectory("C:\\S\\T");
    RemoveDirWithRetry("C:\\S\\T\\..", "C:\\Root");
    EXPECT_TRUE(fake::DirectoryExists("C:\\S\\T"));
}

TEST_F(DirectoryRules, ATrailingBackslashKeepsANameWindowsWouldTrim) {
    // "C:\P\Q \" names the directory "Q "; without its backslash it would name C:\P\Q.
    fake::AddDirectory("C:\\P\\Q \\");
    fake::AddDirectory("C:\\P\\Q");
    fake::AddDirectory("C:\\P\\R.\\");
    fake::AddDirectory("C:\\P\\R");
    RemoveDirAndParents("C:\\P\\Q \\");
    RemoveDirWithRetry("C:\\P\\R.\\\\", "C:\\Root");
    EXPECT_FALSE(fake::DirectoryExists("C:\\P\\Q \\"));
    EXPECT_FALSE(fake::DirectoryExists("C:\\P\\R.\\"));
    EXPECT_TRUE(fake::DirectoryExists("C:\\P\\Q"));
    EXPECT_TRUE(fake::DirectoryExists("C:\\P\\R"));
}

TEST_F(DirectoryRules, DoubleByteNamesAreReadACharacterAtATime) {
    using namespace testing_support::sjis;
    fake::SetCodePage(932);
    // Names ending in a second byte 0x5C, holding 0x7C: the bytes are no separators.
    const std::string prog = "C:\\" + kSo + "ft\\" + kPo + kHyo;
    fake::AddDirectory(prog + "\\" + kJuu);
    RemoveDirAndParents(prog + "\\" + kJuu);
    EXPECT_FALSE(fake::DirectoryExists("C:\\" + kSo + "ft"));

    fake::AddDirectory("C:\\" + kHyo + "\\" + kJuu);
    RemoveDirAndParents("C:\\" + kHyo + "\\" + kJuu + "\\\\");
    EXPECT_FALSE(fake::DirectoryExists("C:\\" + kHyo));

    // The retried directory ends in one; ROOT ends in one.
    fake::AddDirectory("C:\\" + kSo + "\\" + kShin);
    RemoveDirWithRetry("C:\\" + kSo + "\\" + kShin, "C:\\" + kSo + "\\");
    EXPECT_FALSE(fake::DirectoryExists("C:\\" + kSo + "\\" + kShin));
    EXPECT_TRUE(fake::DirectoryExists("C:\\" + kSo));

    // A second byte that looks like "a" is not folded: di is not a, so not ROOT.
    fake::AddDirectory("C:\\" + kDi + "\\Jobs");
    RemoveDirWithRetry("C:\\" + kDi + "\\Jobs", "C:\\" + kA);
    EXPECT_FALSE(fake::DirectoryExists("C:\\" + kDi));

    EXPECT_FALSE(SamePath("C:\\" + kA, "C:\\" + kDi));
    EXPECT_TRUE(SamePath("C:\\x" + kSo + "\\", "c:\\X" + kSo));
    EXPECT_FALSE(NamesRemovableDirectory("\\\\srv\\" + kHyo));  // a share's root
    EXPECT_TRUE(NamesRemovableDirectory("\\\\srv\\share\\" + kHyo));
    EXPECT_TRUE(NamesRemovableDirectory("C:\\" + kJuu));
}

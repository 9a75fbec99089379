// How listed directories are removed: with their emptied parents, or with retries below a root.
#include "run/dir_rules.h"

#include <tuple>

#include "path/path_names.h"
#include "tests/support/machine.h"

using testing_support::FakeMachineTest;
using Strings = std::vector<std::string>;

namespace {

Strings Repeat(const std::string& path, int times) {
    return Strings(times, path);
}

Strings Join(Strings a, const Strings& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

class DirectoryRules : public FakeMachineTest {};

TEST_F(DirectoryRules, ParentsGoUntilOneIsNotEmpty) {
    fake::AddDirectory("C:\\A\\B\\C");
    fake::AddFile("C:\\A\\keep.txt");
    RemoveDirAndParents("C:\\A\\B\\C");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), (Strings{"C:\\A\\B\\C", "C:\\A\\B", "C:\\A"}));
    EXPECT_FALSE(fake::DirectoryExists("C:\\A\\B"));
    EXPECT_TRUE(fake::FileExists("C:\\A\\keep.txt"));
}

TEST_F(DirectoryRules, WalkNeverReachesADriveOrShareRoot) {
    fake::AddDirectory("C:\\A\\B");
    RemoveDirAndParents("C:\\A\\B");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), (Strings{"C:\\A\\B", "C:\\A"}));

    fake::ClearCalls();
    fake::AddDirectory("\\\\server\\share\\dir");
    RemoveDirAndParents("\\\\server\\share\\dir");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), (Strings{"\\\\server\\share\\dir"}));

    fake::ClearCalls();
    RemoveDirAndParents("C:\\");
    RemoveDirAndParents("C:");
    RemoveDirAndParents("\\\\server\\share\\");
    RemoveDirAndParents("\\");
    RemoveDirAndParents("");
    EXPECT_TRUE(fake::CallsOf("RemoveDirectory").empty());
}

TEST_F(DirectoryRules, TrailingAndDoubledBackslashesNameTheSameDirectories) {
    fake::AddDirectory("C:\\A\\B");
    RemoveDirAndParents("C:\\A\\B\\");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), (Strings{"C:\\A\\B", "C:\\A"}));
    EXPECT_FALSE(fake::DirectoryExists("C:\\A"));

    fake::ClearCalls();
    fake::AddDirectory("C:\\X\\Y");
    fake::AddFile("C:\\X\\keep.txt");
    RemoveDirAndParents("C:\\X\\\\Y\\\\");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), (Strings{"C:\\X\\\\Y", "C:\\X"}));
    EXPECT_TRUE(fake::DirectoryExists("C:\\X"));
}

TEST_F(DirectoryRules, RootRelativePathKeepsItsLeadingBackslash) {
    fake::AddDirectory("C:\\A\\B");
    RemoveDirAndParents("\\A\\B");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), (Strings{"\\A\\B", "\\A"}));
    EXPECT_FALSE(fake::DirectoryExists("C:\\A"));
}

TEST_F(DirectoryRules, RetryTriesPathThenParentTenTimesEachAndStopsBelowRoot) {
    fake::AddDirectory("D:\\Root\\Data\\Cache");
    RemoveDirWithRetry("D:\\Root\\Data\\Cache", "D:\\Root\\");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"),
              Join(Repeat("D:\\Root\\Data\\Cache", 10), Repeat("D:\\Root\\Data", 10)));
    EXPECT_EQ(fake::PausedMilliseconds(), 20u * 500u);
    EXPECT_TRUE(fake::DirectoryExists("D:\\Root"));
    // Each attempt is followed by its pause.
    const auto& calls = fake::Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 1], "Sleep 500");
    EXPECT_EQ(calls[calls.size() - 2], "RemoveDirectory D:\\Root\\Data");
}

TEST_F(DirectoryRules, RetryParentComparedWithRootRegardlessOfCaseAndTrailingBackslash) {
    fake::AddDirectory("D:\\Root\\Data");
    RemoveDirWithRetry("D:\\Root\\Data", "d:\\ROOT");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), Repeat("D:\\Root\\Data", 10));

    fake::ClearCalls();
    fake::AddDirectory("D:\\Root\\Other");
    RemoveDirWithRetry("d:\\root\\Other\\", "D:\\Root\\\\");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), Repeat("d:\\root\\Other", 10));
    EXPECT_TRUE(fake::DirectoryExists("D:\\Root"));
}

TEST_F(DirectoryRules, RetryWithoutParentOrRoot) {
    fake::AddDirectory("C:\\Lone");
    RemoveDirWithRetry("Lone", "C:\\Root");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), Repeat("Lone", 10));

    // An empty root: the parent is always tried, but never a bare drive.
    fake::ClearCalls();
    fake::AddDirectory("E:\\P\\Q");
    RemoveDirWithRetry("E:\\P\\Q", "");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), Join(Repeat("E:\\P\\Q", 10), Repeat("E:\\P", 10)));
    fake::ClearCalls();
    RemoveDirWithRetry("E:\\Data", "");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), Repeat("E:\\Data", 10));
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
        EXPECT_EQ(fake::CallsOf("RemoveDirectory").size(), 10u) << c.dir << " under " << c.root;
    }
    // An entry that names ROOT itself is passed over.
    for (const char* dir : {"C:\\Spool", "c:\\spool\\", "C:\\Spool\\Jobs\\..", "C:/Spool/."}) {
        fake::Reset();
        fake::AddDirectory("C:\\Spool");
        RemoveDirWithRetry(dir, "C:\\Spool\\");
        EXPECT_TRUE(fake::CallsOf("RemoveDirectory").empty()) << dir;
        EXPECT_TRUE(fake::DirectoryExists("C:\\Spool")) << dir;
    }
    // Names compare as Windows compares them: É is é on code page 1252, Ａ is ａ on 932.
    for (const auto& [codePage, dir, root] : {std::tuple{1252u, "C:\\DONN\xC9" "ES\\Cache", "C:\\Donn\xE9" "es\\"},
                                              {932u, "c:\\\x82\x60\\Cache", "C:\\\x82\x81"}}) {
        fake::Reset();
        fake::SetCodePage(codePage);
        fake::AddDirectory(std::string(dir));
        RemoveDirWithRetry(dir, root);
        EXPECT_EQ(fake::CallsOf("RemoveDirectory"), Repeat(dir, 10)) << codePage;
        EXPECT_TRUE(fake::DirectoryExists(root)) << codePage;
    }
}

TEST_F(DirectoryRules, WalkGoesUpOnlyThroughNamesThatTellTheirParent) {
    // C:\A\B\.. is C:\A; the text before its last name, C:\A\B, lies below it.
    fake::AddDirectory("C:\\A\\B");
    RemoveDirAndParents("C:\\A\\B\\..");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), (Strings{"C:\\A\\B\\.."}));
    EXPECT_TRUE(fake::DirectoryExists("C:\\A\\B"));

    // C:\Y is the parent of C:\X\..\Y\Z; C:\X\.. is the drive's root and C:\X no parent at all.
    fake::ClearCalls();
    fake::AddDirectory("C:\\X");
    fake::AddDirectory("C:\\Y\\Z");
    RemoveDirAndParents("C:\\X\\..\\Y\\Z");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), (Strings{"C:\\X\\..\\Y\\Z", "C:\\X\\..\\Y"}));
    EXPECT_TRUE(fake::DirectoryExists("C:\\X"));
    EXPECT_FALSE(fake::DirectoryExists("C:\\Y"));

    // "Q " inside a path is a directory of its own; "C:\P\Q " is read as C:\P\Q.
    fake::ClearCalls();
    fake::AddDirectory("C:\\P\\Q \\R");
    fake::AddDirectory("C:\\P\\Q");
    RemoveDirAndParents("C:\\P\\Q \\R");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), (Strings{"C:\\P\\Q \\R"}));
    EXPECT_TRUE(fake::DirectoryExists("C:\\P\\Q"));

    // The retried directory's parent likewise.
    fake::ClearCalls();
    fake::AddDirectory("C:\\S\\T");
    RemoveDirWithRetry("C:\\S\\T\\..", "C:\\Root");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), Repeat("C:\\S\\T\\..", 10));
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
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), Join(Strings{"C:\\P\\Q \\"}, Repeat("C:\\P\\R.\\\\", 10)));
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
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), (Strings{prog + "\\" + kJuu, prog, "C:\\" + kSo + "ft"}));
    EXPECT_FALSE(fake::DirectoryExists("C:\\" + kSo + "ft"));

    fake::ClearCalls();
    fake::AddDirectory("C:\\" + kHyo + "\\" + kJuu);
    RemoveDirAndParents("C:\\" + kHyo + "\\" + kJuu + "\\\\");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), (Strings{"C:\\" + kHyo + "\\" + kJuu, "C:\\" + kHyo}));
    EXPECT_FALSE(fake::DirectoryExists("C:\\" + kHyo));

    // The retried directory ends in one; ROOT ends in one.
    fake::ClearCalls();
    fake::AddDirectory("C:\\" + kSo + "\\" + kShin);
    RemoveDirWithRetry("C:\\" + kSo + "\\" + kShin, "C:\\" + kSo + "\\");
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"), Repeat("C:\\" + kSo + "\\" + kShin, 10));
    EXPECT_FALSE(fake::DirectoryExists("C:\\" + kSo + "\\" + kShin));
    EXPECT_TRUE(fake::DirectoryExists("C:\\" + kSo));

    // A second byte that looks like "a" is not folded: di is not a, so not ROOT.
    fake::ClearCalls();
    fake::AddDirectory("C:\\" + kDi + "\\Jobs");
    RemoveDirWithRetry("C:\\" + kDi + "\\Jobs", "C:\\" + kA);
    EXPECT_EQ(fake::CallsOf("RemoveDirectory"),
              Join(Repeat("C:\\" + kDi + "\\Jobs", 10), Repeat("C:\\" + kDi, 10)));
    EXPECT_FALSE(fake::DirectoryExists("C:\\" + kDi));

    EXPECT_FALSE(SamePath("C:\\" + kA, "C:\\" + kDi));
    EXPECT_TRUE(SamePath("C:\\x" + kSo + "\\", "c:\\X" + kSo));
    EXPECT_FALSE(NamesRemovableDirectory("\\\\srv\\" + kHyo));  // a share's root
    EXPECT_TRUE(NamesRemovableDirectory("\\\\srv\\share\\" + kHyo));
    EXPECT_TRUE(NamesRemovableDirectory("C:\\" + kJuu));
}

// The fake machine's own file system and profile reading, where it goes beyond
// what the platform suite checks against Windows: path forms, spellings, locks,
// and the scripted limit on profile values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"
#include "platform/platform.h"

namespace {

using Strings = std::vector<std::string>;

class FakeFiles : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
};

TEST_F(FakeFiles, EveryPathFormNamesTheFileWindowsWouldFind) {
    fake::AddFile("C:\\Prog\\Sub\\a.dll");
    fake::AddFile("D:\\Data\\b.dll");
    fake::AddFile("\\\\server\\share\\dir\\c.dll");

    fake::SetCurrentDirectory("C:\\Prog");
    EXPECT_TRUE(fake::FileExists("Sub\\a.dll"));               // relative
    EXPECT_TRUE(fake::FileExists("C:Sub\\a.dll"));             // same drive: the current directory
    EXPECT_FALSE(fake::FileExists("D:b.dll"));                 // other drive: its root
    EXPECT_TRUE(fake::FileExists("D:Data\\b.dll"));
    EXPECT_TRUE(fake::FileExists("\\Prog\\Sub\\a.dll"));       // root of the current drive
    EXPECT_TRUE(fake::FileExists("c:/prog/./x/../sub//A.DLL"));
    EXPECT_TRUE(fake::FileExists("C:\\..\\..\\Prog\\Sub\\a.dll"));  // ".." stops at the root
    EXPECT_TRUE(fake::FileExists("C:\\Prog\\Sub\\a.dll. "));    // Windows drops trailing dots and blanks
    EXPECT_TRUE(fake::DirectoryExists("C:"));
    EXPECT_FALSE(fake::DirectoryExists("C:Sub\\a.dll"));

    fake::SetCurrentDirectory("\\\\SERVER\\Share\\dir");
    EXPECT_TRUE(fake::FileExists("c.dll"));
    EXPECT_TRUE(fake::FileExists("\\dir\\c.dll"));  // the share is this directory's root
    EXPECT_TRUE(fake::DirectoryExists("\\\\server\\share"));
    EXPECT_FALSE(fake::FileExists("\\\\server"));
}

TEST_F(FakeFiles, RunsOfBackslashesAfterTheServerNameCountAsOne) {
    // As in every other place of a path; Windows skips them when it looks for the share.
    fake::AddFile("\\\\server\\share\\dir\\c.dll");
    EXPECT_TRUE(fake::FileExists("\\\\server\\\\share\\dir\\c.dll"));
    EXPECT_TRUE(fake::DirectoryExists("\\\\server\\\\\\share\\\\dir"));
    EXPECT_FALSE(fake::DirectoryExists("\\\\server\\\\"));  // still no share
}

TEST_F(FakeFiles, NamesKeepTheirFirstSpelling) {
    fake::AddDirectory("c:\\Prog\\Bin");
    fake::AddFile("C:\\PROG\\BIN\\Tool.Exe", "one");
    fake::AddFile("C:\\prog\\bin\\TOOL.EXE", "two");  // the same file: content replaced, name kept

    EXPECT_EQ(fake::AllPaths(), (Strings{"C:\\Prog", "C:\\Prog\\Bin", "C:\\Prog\\Bin\\Tool.Exe", "C:\\windows"}));
    std::string content;
    ASSERT_TRUE(fake::ReadFileContent("c:\\prog\\bin\\tool.exe", &content));
    EXPECT_EQ(content, "two");
}

TEST_F(FakeFiles, RequestsAreRecordedAsGivenAndLocksRefuseThem) {
    fake::AddFile("C:\\Prog\\in use.dll");
    fake::AddFile("C:\\Prog\\free.dll");
    fake::AddDirectory("C:\\Prog\\held");
    fake::SetFileLocked("C:\\Prog\\in use.dll", true);
    fake::SetFileLocked("C:\\Prog\\held", true);

    EXPECT_FALSE(platform::DeleteFileAt("c:\\prog\\IN USE.dll"));
    EXPECT_FALSE(platform::RemoveEmptyDirectory("C:\\Prog\\held\\"));
    EXPECT_FALSE(platform::DeleteFileAt("C:\\Prog\\free.dll\\"));  // a file named as a directory
    EXPECT_TRUE(platform::DeleteFileAt("C:\\Prog\\free.dll"));
    EXPECT_EQ(fake::Calls(), (Strings{"DeleteFile c:\\prog\\IN USE.dll", "RemoveDirectory C:\\Prog\\held\\",
                                      "DeleteFile C:\\Prog\\free.dll\\", "DeleteFile C:\\Prog\\free.dll"}));
    EXPECT_TRUE(fake::FileExists("C:\\Prog\\in use.dll"));
    EXPECT_TRUE(fake::DirectoryExists("C:\\Prog\\held"));

    fake::SetFileLocked("C:\\Prog\\held", false);
    EXPECT_TRUE(platform::RemoveEmptyDirectory("C:\\Prog\\held"));
}

TEST_F(FakeFiles, SetupMistakesAreReportedNotIgnored) {
    fake::AddFile("C:\\a.txt");
    EXPECT_THROW(fake::AddFile("C:\\a.txt\\b.txt"), std::invalid_argument);
    EXPECT_THROW(fake::AddFile("C:\\windows"), std::invalid_argument);
    EXPECT_THROW(fake::SetReadOnly("C:\\missing.txt", true), std::invalid_argument);
    EXPECT_THROW(fake::AddDirectory(""), std::invalid_argument);
}

TEST_F(FakeFiles, RemovePathTakesADirectoryWithEverythingInIt) {
    fake::AddFile("C:\\Prog\\a\\b.txt");
    fake::AddFile("C:\\Program\\c.txt");  // shares a prefix of the name only

    fake::RemovePath("C:\\PROG");
    EXPECT_EQ(fake::AllPaths(), (Strings{"C:\\Program", "C:\\Program\\c.txt", "C:\\windows"}));
    EXPECT_TRUE(fake::Calls().empty());
}

class FakeProfiles : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }

    static platform::ProfileValue Read(const std::string& key, const std::string& fallback = "<default>") {
        return platform::ReadProfileString("S", key, fallback, "list.ini");
    }
};

TEST_F(FakeProfiles, ValuesAreReadAsWindowsReadsThem) {
    fake::AddFile("C:\\windows\\list.ini",
                  "\xEF\xBB\xBF[S]\r\n"
                  "  double =  \" padded \"  \r\n"
                  "single='quoted'\n"
                  "mixed=\"open'\n"
                  "lone=\"\n"
                  "empty=\n"
                  "bare\n"
                  "bare=too late\n"
                  "[T]\n"
                  "other=elsewhere\n");

    EXPECT_EQ(Read("DOUBLE").text, " padded ");
    EXPECT_EQ(Read("single").text, "quoted");
    EXPECT_EQ(Read("mixed").text, "\"open'");
    EXPECT_EQ(Read("lone").text, "\"");
    EXPECT_EQ(Read("empty").text, "");
    EXPECT_EQ(Read("bare").text, "<default>");  // the first line of a key decides, and it has no value
    EXPECT_EQ(Read("other").text, "<default>");
    EXPECT_EQ(Read("missing", "kept  ").text, "kept");  // trailing blanks of a default are dropped
}

TEST_F(FakeProfiles, AValueEndsAtANulByteAsWindowsCopiesIt) {
    // GetPrivateProfileStringA hands the value back as C text; the quotes are
    // those of what comes before the NUL.
    const char content[] = "[S]\nk=Tool\0\0junk\nq=\"x\0\"\nz=\0rest\n";
    fake::AddFile("C:\\windows\\list.ini", std::string(content, sizeof content - 1));
    EXPECT_EQ(Read("k").text, "Tool");
    EXPECT_EQ(Read("q").text, "\"x");
    EXPECT_EQ(Read("z").text, "");
}

TEST_F(FakeProfiles, EachReadSeesTheFileAsItIsNow) {
    EXPECT_EQ(Read("k").text, "<default>");
    fake::AddFile("C:\\windows\\list.ini", "[S]\nk=one\n");
    EXPECT_EQ(Read("k").text, "one");
    fake::AddFile("C:\\windows\\list.ini", "[S]\nk=two\n");
    EXPECT_EQ(Read("k").text, "two");
    fake::SetFileLocked("C:\\windows\\list.ini", true);
    EXPECT_EQ(Read("k").text, "<default>");
    EXPECT_EQ(fake::CallsOf("ReadProfile list.ini [S]"), (Strings{"k", "k", "k", "k"}));
}

TEST_F(FakeProfiles, ValuesPastTheLimitComeBackCutAndMarked) {
    fake::AddFile("C:\\windows\\list.ini", "[S]\nfits=12345\nlong=123456\n");
    fake::SetProfileValueLimit(5);

    const platform::ProfileValue fits = Read("fits");
    EXPECT_TRUE(fits.whole);
    EXPECT_EQ(fits.text, "12345");
    const platform::ProfileValue cut = Read("long");
    EXPECT_FALSE(cut.whole);
    EXPECT_EQ(cut.text, "12345");

    fake::SetProfileValueLimit(0);
    EXPECT_TRUE(Read("long").whole);
}

}  // namespace

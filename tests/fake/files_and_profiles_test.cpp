// The fake machine's own file system and profile reading, where the platform
// suite cannot check it against Windows: other drives and shares, spellings,
// locked directories, the record, the setup's own checks, and the scripted
// limit on profile values.
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

TEST_F(FakeFiles, OtherDrivesAndSharesAreFoundWhereWindowsFindsThem) {
    fake::AddFile("D:\\Data\\b.dll");
    fake::AddFile("\\\\server\\share\\dir\\c.dll");
    EXPECT_FALSE(fake::FileExists("D:b.dll"));  // another drive than the current one: its root
    EXPECT_TRUE(fake::FileExists("D:Data\\b.dll"));

    fake::SetCurrentDirectory("\\\\SERVER\\Share\\dir");
    EXPECT_TRUE(fake::FileExists("c.dll"));
    EXPECT_TRUE(fake::FileExists("\\dir\\c.dll"));  // the share is this directory's root
    EXPECT_TRUE(fake::DirectoryExists("\\\\server\\share"));
    EXPECT_FALSE(fake::FileExists("\\\\server"));
    // Runs of backslashes after the server name count as one, as in every other place of a path.
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

TEST_F(FakeFiles, ALockedDirectoryStays) {
    fake::AddDirectory("C:\\Prog\\held");
    fake::SetFileLocked("C:\\Prog\\held", true);
    EXPECT_NE(platform::RemoveDirectoryWithError("C:\\Prog\\held"), 0u);
    EXPECT_TRUE(fake::DirectoryExists("C:\\Prog\\held"));
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
}

class FakeProfiles : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }

    static platform::ProfileValue Read(const std::string& key, const std::string& fallback = "<default>") {
        return platform::ReadProfileString("S", key, fallback, "list.ini");
    }
};

TEST_F(FakeProfiles, EachReadSeesTheFileAsItIsNow) {
    EXPECT_EQ(Read("k").text, "<default>");
    fake::AddFile("C:\\windows\\list.ini", "[S]\nk=one\n");
    EXPECT_EQ(Read("k").text, "one");
    fake::AddFile("C:\\windows\\list.ini", "[S]\nk=two\n");
    EXPECT_EQ(Read("k").text, "two");
    fake::SetFileLocked("C:\\windows\\list.ini", true);
    EXPECT_EQ(Read("k").text, "<default>");
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

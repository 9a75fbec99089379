// The install-directory chain: which prefixes it holds.
#include "path/dir_chain.h"

#include "tests/support/machine.h"

using testing_support::FakeMachineTest;
using Strings = std::vector<std::string>;

using DirectoryChain = FakeMachineTest;

TEST_F(DirectoryChain, HoldsEveryPrefixBelowTheFirstComponentInOrder) {
    EXPECT_EQ(BuildDirChain("C:\\Prog\\Vendor\\Tool"),
              (Strings{"C:\\Prog", "C:\\Prog\\Vendor", "C:\\Prog\\Vendor\\Tool"}));
    // Repeated and trailing backslashes make no empty components.
    EXPECT_EQ(BuildDirChain("C:\\\\A\\B\\\\"), (Strings{"C:\\A", "C:\\A\\B"}));
}

TEST_F(DirectoryChain, KeepsTheLeadingBackslashesOfSharesAndRootRelativePaths) {
    EXPECT_EQ(BuildDirChain("\\\\server\\share\\dir"), (Strings{"\\\\server\\share", "\\\\server\\share\\dir"}));
    EXPECT_EQ(BuildDirChain("\\Prog\\Tool"), (Strings{"\\Prog\\Tool"}));
}

TEST_F(DirectoryChain, OneComponentOrNoneGivesNoNode) {
    for (const char* path : {"C:", "C:\\", "\\\\\\", ""}) EXPECT_TRUE(BuildDirChain(path).empty()) << path;
}

TEST_F(DirectoryChain, LongComponentsAreKeptWhole) {
    const std::string longName(300, 'x');
    EXPECT_EQ(BuildDirChain("C:\\" + longName + "\\" + longName),
              (Strings{"C:\\" + longName, "C:\\" + longName + "\\" + longName}));
}

TEST_F(DirectoryChain, HoldsOnlyTheInstallDirectoryAndItsParents) {
    // C:\Old is no parent of C:\Old\..\Prog\Tool, and C:\Old\.. is the drive's root.
    EXPECT_EQ(BuildDirChain("C:\\Old\\..\\Prog\\Tool"), (Strings{"C:\\Old\\..\\Prog", "C:\\Old\\..\\Prog\\Tool"}));
    // C:\Prog\Tool\.. is C:\Prog: C:\Prog\Tool lies below it.
    EXPECT_EQ(BuildDirChain("C:\\Prog\\Tool\\.."), (Strings{"C:\\Prog\\Tool\\.."}));
    // "Tool " inside a path is a directory of its own; at the end Windows reads it as "Tool".
    EXPECT_EQ(BuildDirChain("C:\\Prog\\Tool \\Bin"), (Strings{"C:\\Prog\\Tool \\Bin"}));
}

TEST_F(DirectoryChain, KeepsEveryLeadingBackslashAsWritten) {
    // \\\srv\share names no share of server srv; two backslashes in its place would.
    EXPECT_EQ(BuildDirChain("\\\\\\srv\\share\\dir"), (Strings{"\\\\\\srv\\share", "\\\\\\srv\\share\\dir"}));
}

TEST_F(DirectoryChain, KeepsTheTrailingBackslashOfANameWindowsWouldTrim) {
    // "Tool \" is the directory "Tool "; "C:\Prog\Tool " would be C:\Prog\Tool.
    EXPECT_EQ(BuildDirChain("C:\\Prog\\Tool \\"), (Strings{"C:\\Prog\\Tool \\"}));
}

TEST_F(DirectoryChain, DoubleByteNamesAreNeverCutInside) {
    using namespace testing_support::sjis;
    fake::SetCodePage(932);
    // Second bytes 0x5C (a backslash's) and 0x7C; one name ends in 0x5C.
    EXPECT_EQ(BuildDirChain("C:\\" + kSo + "ft\\" + kPo + kHyo),
              (Strings{"C:\\" + kSo + "ft", "C:\\" + kSo + "ft\\" + kPo + kHyo}));
    EXPECT_EQ(BuildDirChain("C:\\Prog\\" + kJuu + "\\"), (Strings{"C:\\Prog", "C:\\Prog\\" + kJuu}));
}

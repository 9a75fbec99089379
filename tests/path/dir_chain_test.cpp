// The install-directory chain: which prefixes it holds, and what an allocation failure does.
#include "run/dir_chain.h"

#include <cstdlib>
#include <new>

#include "app/uninstaller.h"
#include "tests/support/machine.h"

using testing_support::FakeMachineTest;
using Strings = std::vector<std::string>;

namespace {

// The next global allocation can be made to fail once, or a shortage can begin
// with it: every allocation from then on fails until the test ends it.
enum class Failing { No, Once, FromNext };
Failing g_failing = Failing::No;

}  // namespace

void* operator new(std::size_t size) {
    if (g_failing != Failing::No) {
        if (g_failing == Failing::Once) g_failing = Failing::No;
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

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

TEST_F(DirectoryChain, AllocationFailureShowsTheBoxAndEndsWithStatusOne) {
    const std::string installPath = "C:\\Prog\\Vendor\\A-component-long-enough-to-need-the-heap";
    // In a real shortage nothing more can be had once the first allocation
    // failed: the box must come up without the heap. What MessageBox itself
    // needs is Windows' own memory, so the shortage ends as the box is shown.
    for (const Failing failing : {Failing::Once, Failing::FromNext}) {
        fake::Reset();
        fake::SetBeforeBoxHook([] { g_failing = Failing::No; });
        int exitCode = -1;
        bool heapNeeded = false;
        g_failing = failing;
        try {
            BuildDirChain(installPath);
        } catch (const fake::ProcessExit& exit) {
            exitCode = exit.code;
        } catch (const std::bad_alloc&) {
            heapNeeded = true;
        }
        const bool stillFailing = g_failing != Failing::No;
        g_failing = Failing::No;
        const char* mode = failing == Failing::Once ? "once" : "shortage";
        EXPECT_FALSE(stillFailing) << mode;
        EXPECT_FALSE(heapNeeded) << mode << ": the box needed the heap";
        EXPECT_EQ(exitCode, 1) << mode;
        ASSERT_EQ(fake::Boxes().size(), 1u) << mode;
        EXPECT_EQ(fake::Boxes()[0].text, "Memory allocation error");
        EXPECT_FALSE(fake::Boxes()[0].hasCaption);
        EXPECT_EQ(fake::Boxes()[0].buttons, platform::BoxButtons::Ok);
    }

    // Under /S not even that box is shown.
    fake::Reset();
    int exitCode = -1;
    g_failing = Failing::Once;
    try {
        BuildDirChain(installPath, true);
    } catch (const fake::ProcessExit& exit) {
        exitCode = exit.code;
    }
    g_failing = Failing::No;
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(fake::Boxes().empty());

    // Anywhere else in the run, the same: here as the answer to the question comes back.
    fake::Reset();
    testing_support::WriteFileList("[FILES]\nFILE00=C:\\Prog\\a.exe\n");
    fake::AddFile("C:\\Prog\\a.exe");
    static int boxes;
    boxes = 0;
    fake::SetBeforeBoxHook([] { g_failing = ++boxes == 1 ? Failing::Once : Failing::No; });
    exitCode = -1;
    try {
        UninstallerMain(nullptr);
    } catch (const fake::ProcessExit& exit) {
        exitCode = exit.code;
    }
    g_failing = Failing::No;
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(fake::Boxes().back().text, "Memory allocation error");
    EXPECT_TRUE(fake::FileExists("C:\\Prog\\a.exe"));
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

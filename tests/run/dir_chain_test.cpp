// The install-directory chain: which prefixes it holds, and what an allocation failure does.
#include "run/dir_chain.h"

#include <cstdlib>
#include <new>

#include "tests/support/machine.h"

using testing_support::FakeMachineTest;
using Strings = std::vector<std::string>;

namespace {

// The next global allocation can be made to fail once, or a shortage can begin
// with it: every allocation from then on fails until the test ends it.
enum class Failing { No, Once, FromNext };
Failing g_failing = Failing::No;

Strings ChainPaths() {
    Strings paths;
    for (const DirChainNode* node = g_dirChain.head; node != nullptr; node = node->next) paths.push_back(node->path);
    return paths;
}

Strings ChainPathsBackwards() {
    Strings paths;
    for (const DirChainNode* node = g_dirChain.tail; node != nullptr; node = node->prev)
        paths.insert(paths.begin(), node->path);
    return paths;
}

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

class DirectoryChain : public FakeMachineTest {
protected:
    void SetUp() override {
        FakeMachineTest::SetUp();
        EmptyDirChain();
    }
    void TearDown() override { EmptyDirChain(); }
};

TEST_F(DirectoryChain, HoldsEveryPrefixBelowTheFirstComponentInOrder) {
    EXPECT_EQ(BuildDirChain("C:\\Prog\\Vendor\\Tool"), 3);
    EXPECT_EQ(ChainPaths(), (Strings{"C:\\Prog", "C:\\Prog\\Vendor", "C:\\Prog\\Vendor\\Tool"}));
    EXPECT_EQ(ChainPathsBackwards(), ChainPaths());
    EXPECT_EQ(g_dirChain.head->prev, nullptr);
    EXPECT_EQ(g_dirChain.tail->next, nullptr);

    EmptyDirChain();
    EXPECT_EQ(g_dirChain.head, nullptr);
    EXPECT_EQ(g_dirChain.tail, nullptr);
    // Repeated and trailing backslashes make no empty components.
    EXPECT_EQ(BuildDirChain("C:\\\\A\\B\\\\"), 2);
    EXPECT_EQ(ChainPaths(), (Strings{"C:\\A", "C:\\A\\B"}));
}

TEST_F(DirectoryChain, KeepsTheLeadingBackslashesOfSharesAndRootRelativePaths) {
    BuildDirChain("\\\\server\\share\\dir");
    EXPECT_EQ(ChainPaths(), (Strings{"\\\\server\\share", "\\\\server\\share\\dir"}));
    EmptyDirChain();
    BuildDirChain("\\Prog\\Tool");
    EXPECT_EQ(ChainPaths(), (Strings{"\\Prog\\Tool"}));
}

TEST_F(DirectoryChain, OneComponentOrNoneGivesNoNode) {
    EXPECT_EQ(BuildDirChain("C:"), 0);
    EXPECT_EQ(BuildDirChain("C:\\"), 0);
    EXPECT_EQ(BuildDirChain("\\\\\\"), 0);
    EXPECT_EQ(BuildDirChain(""), 0);
    EXPECT_EQ(g_dirChain.head, nullptr);
}

TEST_F(DirectoryChain, LongComponentsAreKeptWhole) {
    const std::string longName(300, 'x');
    BuildDirChain("C:\\" + longName + "\\" + longName);
    EXPECT_EQ(ChainPaths(), (Strings{"C:\\" + longName, "C:\\" + longName + "\\" + longName}));
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
        EmptyDirChain();
    }
}

TEST_F(DirectoryChain, HoldsOnlyTheInstallDirectoryAndItsParents) {
    // C:\Old is no parent of C:\Old\..\Prog\Tool, and C:\Old\.. is the drive's root.
    EXPECT_EQ(BuildDirChain("C:\\Old\\..\\Prog\\Tool"), 2);
    EXPECT_EQ(ChainPaths(), (Strings{"C:\\Old\\..\\Prog", "C:\\Old\\..\\Prog\\Tool"}));
    EmptyDirChain();
    // C:\Prog\Tool\.. is C:\Prog: C:\Prog\Tool lies below it.
    EXPECT_EQ(BuildDirChain("C:\\Prog\\Tool\\.."), 1);
    EXPECT_EQ(ChainPaths(), (Strings{"C:\\Prog\\Tool\\.."}));
    EmptyDirChain();
    // "Tool " inside a path is a directory of its own; at the end Windows reads it as "Tool".
    EXPECT_EQ(BuildDirChain("C:\\Prog\\Tool \\Bin"), 1);
    EXPECT_EQ(ChainPaths(), (Strings{"C:\\Prog\\Tool \\Bin"}));
}

TEST_F(DirectoryChain, KeepsEveryLeadingBackslashAsWritten) {
    // \\\srv\share names no share of server srv; two backslashes in its place would.
    BuildDirChain("\\\\\\srv\\share\\dir");
    EXPECT_EQ(ChainPaths(), (Strings{"\\\\\\srv\\share", "\\\\\\srv\\share\\dir"}));
}

TEST_F(DirectoryChain, KeepsTheTrailingBackslashOfANameWindowsWouldTrim) {
    // "Tool \" is the directory "Tool "; "C:\Prog\Tool " would be C:\Prog\Tool.
    EXPECT_EQ(BuildDirChain("C:\\Prog\\Tool \\"), 1);
    EXPECT_EQ(ChainPaths(), (Strings{"C:\\Prog\\Tool \\"}));
}

TEST_F(DirectoryChain, DoubleByteNamesAreNeverCutInside) {
    using namespace testing_support::sjis;
    fake::SetCodePage(932);
    // Second bytes 0x5C (a backslash's) and 0x7C; one name ends in 0x5C.
    EXPECT_EQ(BuildDirChain("C:\\" + kSo + "ft\\" + kPo + kHyo), 2);
    EXPECT_EQ(ChainPaths(), (Strings{"C:\\" + kSo + "ft", "C:\\" + kSo + "ft\\" + kPo + kHyo}));
    EmptyDirChain();
    EXPECT_EQ(BuildDirChain("C:\\Prog\\" + kJuu + "\\"), 2);
    EXPECT_EQ(ChainPaths(), (Strings{"C:\\Prog", "C:\\Prog\\" + kJuu}));
}

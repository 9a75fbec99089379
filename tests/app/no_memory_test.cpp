// Memory running out anywhere in the run: the box, never needing the heap, and status 1.
#include <cstdlib>
#include <new>

#include "app/uninstaller.h"
#include "tests/support/machine.h"

namespace {

// Allocation `g_failAfter` from now fails; with `g_shortage` every one after
// it fails too, until a box is shown (what MessageBox needs is Windows' own
// memory, so the shortage ends there).
int g_failAfter = 0;
bool g_shortage = false;
bool g_failing = false;

}  // namespace

void* operator new(std::size_t size) {
    if (g_failAfter > 0 && --g_failAfter == 0) g_failing = true;
    if (g_failing) {
        // As the standard allocator does: the new-handler first, where one is set.
        g_failing = g_shortage;
        if (const std::new_handler handler = std::get_new_handler()) handler();
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

using NoMemory = testing_support::FakeMachineTest;

int RunEntry(const std::string& commandLine) {
    try {
        return UninstallerMain(nullptr, commandLine);
    } catch (const fake::ProcessExit& exit) {
        return exit.code;
    } catch (const std::bad_alloc&) {
        return -1;  // the failure's own handling needed the heap
    }
}

TEST_F(NoMemory, WhereverItRunsOutTheBoxWithoutTheHeapAndStatusOne) {
    // Each allocation of a run in turn, the command line's own included: one
    // that fails once, and a shortage that begins with it.
    for (const char* line : {"", "/S", "/S /LOG=C:\\u.log"}) {
        for (const bool shortage : {false, true}) {
            int status = 1;
            for (int at = 1; status == 1 && at < 10000; ++at) {
                fake::Reset();
                testing_support::WriteFileList("[UNINSTALL]\nPATH=C:\\Prog\\Vendor\\Tool\n"
                                               "[FILES]\nFILE00=C:\\Prog\\Vendor\\Tool\\a.exe\n");
                fake::AddFile("C:\\Prog\\Vendor\\Tool\\a.exe");
                fake::SetBeforeBoxHook([] { g_failing = false; });
                g_shortage = shortage;
                const std::string commandLine = line;
                g_failAfter = at;
                status = RunEntry(commandLine);
                g_failAfter = 0;
                g_failing = false;
                const std::string where = std::string(line) + (shortage ? " shortage" : " once") + " at " +
                                          std::to_string(at);
                if (status != 1) {
                    EXPECT_EQ(status, 0) << where;
                    EXPECT_FALSE(fake::FileExists("C:\\Prog\\Vendor\\Tool\\a.exe")) << where;
                } else if (*line == 0) {
                    ASSERT_FALSE(fake::Boxes().empty()) << where;
                    EXPECT_EQ(fake::Boxes().back().text, "Memory allocation error") << where;
                    EXPECT_FALSE(fake::Boxes().back().hasCaption) << where;
                }
                if (*line != 0) EXPECT_TRUE(fake::Boxes().empty()) << where;
                // The log, once it has its heading, ends with the run's exit status.
                std::string log;
                if (fake::ReadFileContent("C:\\u.log", &log) && log.find("\tlog file\t") != std::string::npos) {
                    const std::string exit = "\texit\tstatus\t" + std::to_string(status) + "\t";
                    EXPECT_NE(log.rfind(exit), std::string::npos) << where << "\n" << log;
                    EXPECT_GT(log.rfind(exit), log.rfind("\r\n", log.size() - 3)) << where << "\n" << log;
                }
            }
        }
    }
}

}  // namespace

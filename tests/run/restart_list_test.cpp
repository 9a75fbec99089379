// The restart list where Windows has no MoveFileExA (the 95 family): what a
// held file is moved to, and which name WININIT.INI is given.
#include "run/restart_list.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_machine.h"

TEST(RestartList, OnThe95FamilyWininitNamesTheFileWhereItIsAtTheRestart) {
    const struct {
        bool loaded, denied, diskFull;
        uint32_t error;
        std::string movedTo, wininit;  // WININIT.INI afterwards; empty where there is none
    } rows[] = {
        // Moved aside: its new name goes, not the listed one a next version may take.
        {true, false, false, 0, "C:\\Prog\\a.dll.zevdel", "[rename]\r\nNUL=C:\\Prog\\a.dll.zevdel\r\n"},
        // Moved aside, then refused a line: moved back, so the listed name still holds it.
        {true, false, true, 112, "", ""},
        // The 95 family has no permissions: what it refuses is in use.
        {false, true, false, 0, "", "[rename]\r\nNUL=C:\\Prog\\a.dll\r\n"},
    };
    for (const auto& row : rows) {
        fake::Reset();
        fake::SetWindows95Family(true);
        fake::AddFile("C:\\Prog\\a.dll");
        fake::SetFileLoaded("C:\\Prog\\a.dll", row.loaded);
        fake::SetFileDenied("C:\\Prog\\a.dll", row.denied);
        fake::SetDiskFull(row.diskFull);

        const HeldFile held = GoAtRestart("C:\\Prog\\a.dll", platform::kErrorAccessDenied);
        EXPECT_EQ(held.error, row.error) << row.movedTo;
        EXPECT_EQ(held.movedTo, row.movedTo);
        EXPECT_TRUE(fake::FileExists(row.movedTo.empty() ? "C:\\Prog\\a.dll" : row.movedTo)) << row.movedTo;
        std::string wininit;
        fake::ReadFileContent("C:\\windows\\WININIT.INI", &wininit);
        EXPECT_EQ(wininit, row.wininit) << row.movedTo;
    }
    // A path that is not there has no short form: no line at all.
    fake::Reset();
    fake::SetWindows95Family(true);
    EXPECT_EQ(DeleteAtRestart("C:\\Prog\\gone.dll"), platform::kErrorPathNotFound);
    EXPECT_FALSE(fake::FileExists("C:\\windows\\WININIT.INI"));
    fake::Reset();
}

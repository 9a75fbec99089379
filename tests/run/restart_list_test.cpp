// The restart list: WININIT.INI's [rename] section, and where Windows has no
// MoveFileExA (the 95 family), what a held file is moved to and which name it is given.
#include "run/restart_list.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_machine.h"

TEST(RestartList, OnThe95FamilyWininitNamesTheFileWhereItIsAtTheRestart) {
    const struct {
        bool loaded, denied, diskFull;
        uint32_t error;
        std::string movedTo, before, wininit;  // WININIT.INI before and after; empty where there is none
    } rows[] = {
        // Moved aside: its new name goes, not the listed one a next version may take.
        {true, false, false, 0, "C:\\Prog\\a.dll.zevdel", "", "[rename]\r\nNUL=C:\\Prog\\a.dll.zevdel\r\n"},
        // Moved aside, then refused a line: moved back, so the listed name still holds it,
        // and every line already there stays.
        {true, false, true, 112, "", "[rename]\r\nNUL=C:\\OLD.DLL\r\n", "[rename]\r\nNUL=C:\\OLD.DLL\r\n"},
        // The 95 family has no permissions: what it refuses is in use.
        {false, true, false, 0, "", "", "[rename]\r\nNUL=C:\\Prog\\a.dll\r\n"},
    };
    for (const auto& row : rows) {
        fake::Reset();
        fake::SetWindows95Family(true);
        fake::AddFile("C:\\Prog\\a.dll");
        fake::SetFileLoaded("C:\\Prog\\a.dll", row.loaded);
        fake::SetFileDenied("C:\\Prog\\a.dll", row.denied);
        if (!row.before.empty()) fake::AddFile("C:\\windows\\WININIT.INI", row.before);
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

TEST(RestartList, LinesGoAtTheEndOfTheRenameSectionAndNothingIsLost) {
    struct Case {
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"", "[rename]\r\nNUL=C:\\A.DLL\r\n"},
        {"[Rename]\r\nNUL=C:\\X.DLL", "[Rename]\r\nNUL=C:\\X.DLL\r\nNUL=C:\\A.DLL\r\n"},
        {"[other]\nk=v\n", "[other]\nk=v\n[rename]\nNUL=C:\\A.DLL\n"},  // its own line ends
        {"[RENAME]\nNUL=C:\\X.DLL\n[b]\n", "[RENAME]\nNUL=C:\\X.DLL\nNUL=C:\\A.DLL\n[b]\n"},
        {" [ rename ] \r\nNUL=C:\\X.DLL\r\n\r\n[b]\r\n",
         " [ rename ] \r\nNUL=C:\\X.DLL\r\n\r\nNUL=C:\\A.DLL\r\n[b]\r\n"},
        {"[rename] ; moved by setup\r\nNUL=C:\\X.DLL\r\n", "[rename] ; moved by setup\r\nNUL=C:\\X.DLL\r\nNUL=C:\\A.DLL\r\n"},
        // Only the first section of the name; a key line that looks like one is none.
        {"[renamed]\r\n[rename]\r\nx\r\n[rename]\r\ny\r\n", "[renamed]\r\n[rename]\r\nx\r\nNUL=C:\\A.DLL\r\n[rename]\r\ny\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(WithRenameLine(c.before, "NUL=C:\\A.DLL"), c.after) << c.before;
}

// Removal of the product's entry from the installed-programs list.
#include "programs_entry/programs_entry.h"

#include "tests/support/machine.h"

using testing_support::FakeMachineTest;
using Strings = std::vector<std::string>;

namespace {

constexpr platform::RemovalResult kRemoved = platform::RemovalResult::Removed;
constexpr platform::RemovalResult kFailed = platform::RemovalResult::Failed;
constexpr platform::RemovalResult kNotThere = platform::RemovalResult::NotThere;

const std::string kList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

void AddEntry(const std::string& name, bool withIcon = true) {
    const std::string key = kList + "\\" + name;
    fake::RegSetString(key, "DisplayName", name);
    fake::RegSetString(key, "UninstallString", "C:\\windows\\ZEVUnins.exe");
    if (withIcon) fake::RegSetString(key, "DisplayIcon", "C:\\windows\\ZEVUnins.exe,0");
    fake::RegSetString(key, "QuietUninstallString", "\"C:\\windows\\ZEVUnins.exe\" /S");
    fake::RegSetString(key, "Publisher", "Someone");
}

}  // namespace

class ProgramsEntry : public FakeMachineTest {};

TEST_F(ProgramsEntry, KeyWithoutSubkeysIsDeletedWhole) {
    AddEntry("Tool");
    AddEntry("OtherProduct");
    EXPECT_EQ(RemoveProgramsEntry("Tool").result, kRemoved);
    EXPECT_FALSE(fake::RegKeyExists(kList + "\\Tool"));
    EXPECT_TRUE(fake::RegValueExists(kList + "\\OtherProduct", "DisplayName"));
    EXPECT_EQ(fake::OpenRegistryKeys(), 0);
}

TEST_F(ProgramsEntry, KeyWithSubkeyOnNtLosesOnlyTheValuesThatListAndRunIt) {
    AddEntry("Tool");
    fake::RegSetString(kList + "\\Tool\\Extra", "Data", "x");
    EXPECT_EQ(RemoveProgramsEntry("Tool").result, kRemoved);
    EXPECT_TRUE(fake::RegKeyExists(kList + "\\Tool\\Extra"));
    for (const char* gone : {"DisplayName", "UninstallString", "DisplayIcon", "QuietUninstallString"})
        EXPECT_FALSE(fake::RegValueExists(kList + "\\Tool", gone)) << gone;
    EXPECT_TRUE(fake::RegValueExists(kList + "\\Tool", "Publisher"));
    EXPECT_EQ(fake::OpenRegistryKeys(), 0);
}

TEST_F(ProgramsEntry, ResultCountsOnlyTheNameAndUninstallString) {
    AddEntry("NoIcon", false);
    fake::RegSetString(kList + "\\NoIcon\\Sub", "x", "y");
    EXPECT_EQ(RemoveProgramsEntry("NoIcon").result, kRemoved);

    fake::RegSetString(kList + "\\NameOnly", "DisplayName", "n");
    fake::RegSetString(kList + "\\NameOnly\\Sub", "x", "y");
    EXPECT_EQ(RemoveProgramsEntry("NameOnly").result, kRemoved);
    EXPECT_FALSE(fake::RegValueExists(kList + "\\NameOnly", "DisplayName"));
    // What an earlier run cut off after stripping it leaves: no longer listed, and so foreseen.
    EXPECT_EQ(ForeseeProgramsEntryRemoval("NameOnly", platform::RegView::Default).result, kNotThere);
    EXPECT_EQ(RemoveProgramsEntry("NameOnly").result, kNotThere);

    EXPECT_EQ(RemoveProgramsEntry("Missing").result, kNotThere);
}

TEST_F(ProgramsEntry, OnThe95FamilyTheKeyGoesWithItsTree) {
    fake::SetWindows95Family(true);
    AddEntry("Tool");
    fake::RegSetString(kList + "\\Tool\\Extra", "Data", "x");
    AddEntry("OtherProduct");
    EXPECT_EQ(RemoveProgramsEntry("Tool").result, kRemoved);
    EXPECT_FALSE(fake::RegKeyExists(kList + "\\Tool"));
    EXPECT_TRUE(fake::RegKeyExists(kList + "\\OtherProduct"));
}

TEST_F(ProgramsEntry, NamesWithASeparatorAreRefusedAndTouchNothing) {
    fake::SetWindows95Family(true);
    AddEntry("Foo\\Bar");
    AddEntry("OtherProduct\\Print");
    // "OtherProduct\Print" is a subkey of another entry, deleted with its tree here.
    for (const char* name : {"", "\\", "Foo\\", "\\Foo", "Foo\\\\Bar", "\\\\", "OtherProduct\\Print"}) {
        EXPECT_EQ(RemoveProgramsEntry(name).result, kFailed) << name;
    }
    for (const char* kept : {"Foo\\Bar", "OtherProduct\\Print"})
        EXPECT_TRUE(fake::RegValueExists(kList + "\\" + kept, "DisplayName")) << kept;
}

TEST_F(ProgramsEntry, DoubleByteNameEndingInASecondByteLikeABackslashIsOneName) {
    using namespace testing_support::sjis;
    fake::SetCodePage(932);
    const std::string printing = "\x88\xF3\x8D\xFC\x8B\x40\x94\x5C";  // "printing function", last byte 5C
    AddEntry(printing);
    AddEntry(kSo);
    AddEntry(kSo + "\\Sub");
    EXPECT_EQ(RemoveProgramsEntry(printing).result, kRemoved);
    EXPECT_FALSE(fake::RegKeyExists(kList + "\\" + printing));
    for (const std::string& name : {kSo + "\\", kSo + "\\Sub", "\\" + kSo})
        EXPECT_EQ(RemoveProgramsEntry(name).result, kFailed) << name;
    EXPECT_TRUE(fake::RegValueExists(kList + "\\" + kSo + "\\Sub", "DisplayName"));
}

// Registry access as the program relies on it, under a scratch key of
// HKEY_LOCAL_MACHINE, on the fake and under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "tests/platform/machine_setup.h"

namespace {

const std::string kRoot = "Software\\ZevSuite";

class Registry : public ::testing::Test {
protected:
    void SetUp() override { setup::FreshScratch(); }
    void TearDown() override { setup::CleanScratch(); }
};

std::vector<std::string> AllSubkeys(const platform::RegKey& key) {
    std::vector<std::string> names;
    std::string name;
    // Bounded, so a listing that never ends fails instead of hanging.
    for (uint32_t i = 0; i < 100 && platform::EnumSubkey(key, i, &name); ++i) names.push_back(name);
    return names;
}

std::string LittleEndian(uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xff);
    return bytes;
}

TEST_F(Registry, OpeningAMissingKeyFails) {
    setup::RegCreate(kRoot + "\\There");

    EXPECT_FALSE(platform::OpenLocalMachineKey(kRoot + "\\Missing", platform::RegAccess::Read).IsOpen());
    EXPECT_FALSE(
        platform::OpenLocalMachineKey(kRoot + "\\Missing", platform::RegAccess::SetValue).IsOpen());
    EXPECT_FALSE(
        platform::OpenLocalMachineKey(kRoot + "\\There\\Deeper", platform::RegAccess::Read).IsOpen());
    EXPECT_TRUE(platform::OpenLocalMachineKey(kRoot + "\\There", platform::RegAccess::Read).IsOpen());
    EXPECT_TRUE(
        platform::OpenLocalMachineKey(kRoot + "\\There", platform::RegAccess::SetValue).IsOpen());
    // Windows says why: not there (2), or there (0).
    EXPECT_EQ(platform::OpenLocalMachineKey(kRoot + "\\Missing", platform::RegAccess::Read).Error(),
              platform::kErrorFileNotFound);
    EXPECT_EQ(platform::OpenLocalMachineKey(kRoot + "\\There", platform::RegAccess::Read).Error(), 0u);
}

TEST_F(Registry, KeyNamesIgnoreCase) {
    setup::RegSetDword(kRoot + "\\Mixed", "Value", 7);

    platform::RegKey key = platform::OpenLocalMachineKey("SOFTWARE\\zevsuite\\MIXED", platform::RegAccess::Read);
    platform::RegValue value;
    ASSERT_TRUE(key.IsOpen());
    EXPECT_TRUE(platform::QueryValue(key, "VALUE", &value));
    EXPECT_EQ(value.data, LittleEndian(7));
}

TEST_F(Registry, EnumerationListsEverySubkeyOnceThenStops) {
    setup::RegCreate(kRoot + "\\List\\Alpha");
    setup::RegCreate(kRoot + "\\List\\beta");
    setup::RegCreate(kRoot + "\\List\\Gamma\\Below");
    setup::RegSetString(kRoot + "\\List", "NotAKey", "x");
    setup::RegCreate(kRoot + "\\Empty");

    platform::RegKey list = platform::OpenLocalMachineKey(kRoot + "\\List", platform::RegAccess::Read);
    std::vector<std::string> names = AllSubkeys(list);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Gamma", "beta"}));
    std::string name = "unchanged";
    EXPECT_FALSE(platform::EnumSubkey(list, 3, &name));
    EXPECT_FALSE(platform::EnumSubkey(list, 1000, &name));

    platform::RegKey empty = platform::OpenLocalMachineKey(kRoot + "\\Empty", platform::RegAccess::Read);
    EXPECT_FALSE(platform::EnumSubkey(empty, 0, &name));
    EXPECT_FALSE(platform::EnumSubkey(platform::RegKey(), 0, &name));
}

TEST_F(Registry, LongSubkeyNamesAreListedWhole) {
    const std::string longest(255, 'k');
    setup::RegCreate(kRoot + "\\Long\\" + longest);

    platform::RegKey key = platform::OpenLocalMachineKey(kRoot + "\\Long", platform::RegAccess::Read);
    EXPECT_EQ(AllSubkeys(key), std::vector<std::string>{longest});
}

TEST_F(Registry, ValuesComeBackWithTheirTypeAndWholeData) {
    const std::string path = kRoot + "\\Values";
    const std::string binary("\x00\x01\xff\x00\x7f", 5);
    const std::string longText(5000, 'x');
    std::string longBinary;
    for (int i = 0; i < 100000; ++i) longBinary += static_cast<char>(i * 7);
    setup::RegSetDword(path, "Count", 0x01020304);
    setup::RegSetString(path, "Text", "C:\\Program Files\\App");
    setup::RegSetString(path, "EmptyText", "");
    setup::RegSetBinary(path, "Bytes", binary);
    setup::RegSetString(path, "LongText", longText);
    setup::RegSetBinary(path, "LongBytes", longBinary);

    platform::RegKey key = platform::OpenLocalMachineKey(path, platform::RegAccess::Read);
    platform::RegValue value;
    ASSERT_TRUE(platform::QueryValue(key, "Count", &value));
    EXPECT_EQ(value.type, platform::kRegDword);
    EXPECT_EQ(value.data, LittleEndian(0x01020304));

    ASSERT_TRUE(platform::QueryValue(key, "Text", &value));
    EXPECT_EQ(value.type, platform::kRegSz);
    EXPECT_EQ(value.data, std::string("C:\\Program Files\\App") + '\0');

    ASSERT_TRUE(platform::QueryValue(key, "EmptyText", &value));
    EXPECT_EQ(value.type, platform::kRegSz);
    EXPECT_EQ(value.data, std::string(1, '\0'));

    ASSERT_TRUE(platform::QueryValue(key, "Bytes", &value));
    EXPECT_EQ(value.type, platform::kRegBinary);
    EXPECT_EQ(value.data, binary);

    ASSERT_TRUE(platform::QueryValue(key, "LongText", &value));
    EXPECT_EQ(value.data, longText + '\0');
    ASSERT_TRUE(platform::QueryValue(key, "LongBytes", &value));
    EXPECT_EQ(value.data, longBinary);
}

TEST_F(Registry, MissingValueOrClosedKeyCannotBeRead) {
    setup::RegSetDword(kRoot + "\\Values", "Count", 1);

    platform::RegKey key = platform::OpenLocalMachineKey(kRoot + "\\Values", platform::RegAccess::Read);
    platform::RegValue value;
    EXPECT_FALSE(platform::QueryValue(key, "Missing", &value));
    EXPECT_FALSE(platform::QueryValue(platform::RegKey(), "Count", &value));
}

TEST_F(Registry, DeleteValueRemovesThatValueOnly) {
    const std::string path = kRoot + "\\Entry";
    setup::RegSetString(path, "UninstallString", "C:\\unins.exe");
    setup::RegSetString(path, "DisplayName", "App");

    platform::RegKey key = platform::OpenLocalMachineKey(path, platform::RegAccess::SetValue);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_EQ(platform::DeleteValueWithError(key, "uninstallstring"), 0u);
    EXPECT_FALSE(setup::RegValueExists(path, "UninstallString"));
    EXPECT_TRUE(setup::RegValueExists(path, "DisplayName"));

    EXPECT_EQ(platform::DeleteValueWithError(key, "UninstallString"), platform::kErrorFileNotFound);
    EXPECT_NE(platform::DeleteValueWithError(platform::RegKey(), "DisplayName"), 0u);
    EXPECT_TRUE(setup::RegValueExists(path, "DisplayName"));
}

TEST_F(Registry, AKeyDoesOnlyWhatItWasOpenedFor) {
    const std::string path = kRoot + "\\Access";
    setup::RegSetString(path, "v", "x");

    platform::RegKey reader = platform::OpenLocalMachineKey(path, platform::RegAccess::Read);
    EXPECT_EQ(platform::DeleteValueWithError(reader, "v"), platform::kErrorAccessDenied);
    EXPECT_TRUE(setup::RegValueExists(path, "v"));

    platform::RegKey setter = platform::OpenLocalMachineKey(path, platform::RegAccess::SetValue);
    platform::RegValue value;
    EXPECT_FALSE(platform::QueryValue(setter, "v", &value));
    std::string name;
    setup::RegCreate(path + "\\Sub");
    EXPECT_FALSE(platform::EnumSubkey(setter, 0, &name));
}

TEST_F(Registry, DeleteKeyRemovesALeafAndRefusesAKeyWithSubkeys) {
    setup::RegSetString(kRoot + "\\Leaf", "v", "x");
    setup::RegCreate(kRoot + "\\Parent\\Child");

    const platform::RegKey open = platform::OpenLocalMachineKey(kRoot + "\\Leaf", platform::RegAccess::Read);
    EXPECT_TRUE(platform::DeleteLocalMachineKey(kRoot + "\\Leaf"));
    EXPECT_FALSE(setup::RegKeyExists(kRoot + "\\Leaf"));
    EXPECT_FALSE(platform::DeleteLocalMachineKey(kRoot + "\\Leaf"));
    // A handle on a deleted key sees it gone, even once a key of that name is back.
    setup::RegCreate(kRoot + "\\Leaf\\New");
    std::string name;
    EXPECT_FALSE(platform::EnumSubkey(open, 0, &name));

    // The NT family, which Wine follows, keeps a key that still has subkeys.
    EXPECT_FALSE(platform::DeleteLocalMachineKey(kRoot + "\\Parent"));
    EXPECT_TRUE(setup::RegKeyExists(kRoot + "\\Parent\\Child"));
    EXPECT_TRUE(platform::DeleteLocalMachineKey(kRoot + "\\Parent\\Child"));
    EXPECT_TRUE(platform::DeleteLocalMachineKey(kRoot + "\\Parent"));
    EXPECT_FALSE(setup::RegKeyExists(kRoot + "\\Parent"));
    EXPECT_TRUE(setup::RegKeyExists(kRoot));
}

TEST_F(Registry, DeleteKeyRefusesAnEmptyPath) {
    setup::RegCreate(kRoot + "\\Kept");

    EXPECT_FALSE(platform::DeleteLocalMachineKey(""));
    EXPECT_TRUE(setup::RegKeyExists(kRoot + "\\Kept"));
    EXPECT_TRUE(setup::RegKeyExists("Software"));
}

TEST_F(Registry, AMovedKeyStaysOpenInItsNewOwnerOnly) {
    setup::RegSetDword(kRoot + "\\Moved", "v", 42);

    platform::RegKey first = platform::OpenLocalMachineKey(kRoot + "\\Moved", platform::RegAccess::Read);
    platform::RegKey second(std::move(first));
    EXPECT_FALSE(first.IsOpen());
    ASSERT_TRUE(second.IsOpen());

    platform::RegKey third;
    third = std::move(second);
    EXPECT_FALSE(second.IsOpen());
    platform::RegValue value;
    ASSERT_TRUE(platform::QueryValue(third, "v", &value));
    EXPECT_EQ(value.data, LittleEndian(42));

    // Assigning over an open key leaves the new one usable.
    third = platform::OpenLocalMachineKey(kRoot + "\\Moved", platform::RegAccess::Read);
    EXPECT_TRUE(platform::QueryValue(third, "v", &value));
}

TEST_F(Registry, EachViewOfSoftwareIsReachedByItsFlagAndNoOther) {
    // The suite is a 64-bit program on 64-bit Windows; the 32-bit view's
    // SOFTWARE is the native Software\Wow6432Node.
    ASSERT_TRUE(platform::Is64BitWindows());
    using platform::RegView;
    const std::string in32 = "Software\\Wow6432Node\\ZevSuite";
    setup::RegCreate(in32 + "\\Only32");
    setup::RegCreate(kRoot + "\\Only64");
    const auto opens = [](const std::string& path, RegView view) {
        return platform::OpenLocalMachineKey(path, platform::RegAccess::SetValue, view).IsOpen();
    };
    EXPECT_TRUE(opens(kRoot + "\\Only32", RegView::Bits32));
    EXPECT_FALSE(opens(kRoot + "\\Only32", RegView::Bits64));
    EXPECT_FALSE(opens(kRoot + "\\Only32", RegView::Default));
    EXPECT_TRUE(opens(kRoot + "\\Only64", RegView::Bits64));
    EXPECT_FALSE(opens(kRoot + "\\Only64", RegView::Bits32));

    EXPECT_FALSE(platform::DeleteLocalMachineKey(kRoot + "\\Only32", RegView::Bits64));
    EXPECT_TRUE(platform::DeleteLocalMachineKey(kRoot + "\\Only32", RegView::Bits32));
    EXPECT_FALSE(setup::RegKeyExists(in32 + "\\Only32"));
    EXPECT_FALSE(platform::DeleteLocalMachineKey(kRoot + "\\Only64", RegView::Bits32));
    EXPECT_TRUE(platform::DeleteLocalMachineKey(kRoot + "\\Only64", RegView::Bits64));
    EXPECT_FALSE(setup::RegKeyExists(kRoot + "\\Only64"));
}

}  // namespace

TEST_F(Registry, DoubleByteKeyNamesAreNeitherSplitNorFolded) {
    if (setup::ActiveCodePage() != 932) GTEST_SKIP() << "needs code page 932";
    const std::string nou = "\x94\x5C";  // second byte 5C
    setup::RegCreate(kRoot + "\\" + nou + "\\Sub");
    setup::RegCreate(kRoot + "\\\x83\x41");
    setup::RegCreate(kRoot + "\\\x83\x61");

    EXPECT_TRUE(platform::OpenLocalMachineKey(kRoot + "\\" + nou + "\\Sub", platform::RegAccess::Read).IsOpen());
    EXPECT_TRUE(platform::DeleteLocalMachineKey(kRoot + "\\" + nou + "\\Sub"));
    EXPECT_FALSE(setup::RegKeyExists(kRoot + "\\" + nou + "\\Sub"));
    EXPECT_TRUE(setup::RegKeyExists(kRoot + "\\" + nou));
    EXPECT_TRUE(platform::DeleteLocalMachineKey(kRoot + "\\\x83\x61"));
    EXPECT_TRUE(setup::RegKeyExists(kRoot + "\\\x83\x41"));
}

// Path text walked a character at a time: each function on texts where a walk
// over bytes would go wrong.
#include "path/win_path.h"

#include "tests/support/machine.h"

using testing_support::FakeMachineTest;
using Strings = std::vector<std::string>;

using WinPath = FakeMachineTest;

TEST_F(WinPath, SeparatorsAndTrailingCharactersAreWholeCharacters) {
    using namespace testing_support::sjis;
    const std::size_t none = std::string::npos;
    const struct {
        unsigned codePage;
        std::string path;
        Strings names;
        std::size_t lastSeparator;
        std::string withoutSeparators, lastName;
        bool dotOrBlank;
        std::string withoutDotsAndBlanks;
    } rows[] = {
        {1252, "C:\\Prog\\\\Tool\\\\", {"C:", "Prog", "Tool"}, 14, "C:\\Prog\\\\Tool", "", false, "C:\\Prog\\\\Tool\\\\"},
        {1252, "Tool. .", {"Tool. ."}, none, "Tool. .", "Tool. .", true, "Tool"},
        // Second bytes 0x5C and 0x7C: never a separator, never trimmed.
        {932, "C:\\" + kSo + "\\" + kPo + kHyo, {"C:", kSo, kPo + kHyo}, 5, "C:\\" + kSo + "\\" + kPo + kHyo, kPo + kHyo,
         false, "C:\\" + kSo + "\\" + kPo + kHyo},
        {932, kJuu + "\\\\", {kJuu}, 3, kJuu, "", false, kJuu + "\\\\"},
        {932, kShin + ". ", {kShin + ". "}, none, kShin + ". ", kShin + ". ", true, kShin},
    };
    for (const auto& row : rows) {
        fake::SetCodePage(row.codePage);
        EXPECT_EQ(winpath::SplitNames(row.path), row.names) << row.path;
        EXPECT_EQ(winpath::LastSeparator(row.path), row.lastSeparator) << row.path;
        EXPECT_EQ(winpath::WithoutTrailingSeparators(row.path), row.withoutSeparators) << row.path;
        EXPECT_EQ(winpath::LastName(row.path), row.lastName) << row.path;
        EXPECT_EQ(winpath::EndsWithDotOrBlank(row.path), row.dotOrBlank) << row.path;
        EXPECT_EQ(winpath::WithoutTrailingDotsAndBlanks(row.path), row.withoutDotsAndBlanks) << row.path;
    }

    const struct {
        unsigned codePage;
        std::string a, b;
        bool same;
    } pairs[] = {
        {1252, "C:\\Prog\\Tool", "c:\\PROG\\tool", true},
        {1252, "Tool", "Tool2", false},
        {1252, "DONN\xC9" "ES", "donn\xE9" "es", true},  // beyond A to Z: asked of Windows
        {932, kSo + "\\a", kSo + "\\A", true},
        {932, kA, kDi, false},  // second bytes "A" and "a": two characters, not one in two cases
    };
    for (const auto& pair : pairs) {
        fake::SetCodePage(pair.codePage);
        EXPECT_EQ(winpath::SameIgnoringCase(pair.a, pair.b), pair.same) << pair.a << " " << pair.b;
    }
}

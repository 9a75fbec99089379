// Profile file reads as the program relies on them, checked against the fake
// machine on the host and against Windows itself under Wine.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/platform/machine_setup.h"

namespace {

class ProfileRead : public ::testing::Test {
protected:
    void SetUp() override { scratch_ = setup::FreshScratch(); }
    void TearDown() override { setup::CleanScratch(); }

    static std::string Read(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& fallback = "<default>") {
        platform::ProfileValue value = platform::ReadProfileString(section, key, fallback, file);
        EXPECT_TRUE(value.whole) << "[" << section << "] " << key;
        return value.text;
    }

    std::string scratch_;
};

// A value whose every position is told apart from its neighbours, so a value that
// is cut, doubled or shifted by one cannot pass for the original.
std::string CountingText(std::size_t length) {
    std::string text;
    for (std::size_t i = 0; text.size() < length; ++i) text += std::to_string(i % 1000) + ",";
    text.resize(length);
    if (!text.empty()) text.back() = 'Z';
    return text;
}

TEST_F(ProfileRead, MissingFileSectionOrKeyGivesTheDefault) {
    setup::WriteWindowsFile("ZevSuiteP1.ini", "[Files]\r\nFILE00=C:\\Prog\\a.dll\r\n");

    EXPECT_EQ(Read("ZevSuiteNone.ini", "Files", "FILE00"), "<default>");
    EXPECT_EQ(Read("ZevSuiteP1.ini", "Other", "FILE00"), "<default>");
    EXPECT_EQ(Read("ZevSuiteP1.ini", "Files", "FILE01"), "<default>");
    EXPECT_EQ(Read("ZevSuiteP1.ini", "Files", "FILE01", ""), "");
    EXPECT_EQ(Read("ZevSuiteP1.ini", "Files", "FILE01", "kept  "), "kept");  // a default's trailing blanks go
    EXPECT_EQ(Read("ZevSuiteP1.ini", "Files", "FILE00"), "C:\\Prog\\a.dll");
}

TEST_F(ProfileRead, APathIsReadWhereItPointsNotInTheWindowsDirectory) {
    setup::MakeFile(scratch_ + "\\ZevSuiteP0.ini", "[s]\r\nk=in scratch\r\n");
    setup::WriteWindowsFile("ZevSuiteP0.ini", "[s]\r\nk=in windows\r\n");

    EXPECT_EQ(Read(scratch_ + "\\ZevSuiteP0.ini", "s", "k"), "in scratch");
    EXPECT_EQ(Read("ZevSuiteP0.ini", "s", "k"), "in windows");
}

TEST_F(ProfileRead, SectionAndKeyNamesIgnoreCase) {
    setup::WriteWindowsFile("ZevSuiteP2.ini", "[Files]\r\nFile00=first\r\n[PORTS]\r\nport=second\r\n");

    EXPECT_EQ(Read("ZevSuiteP2.ini", "FILES", "FILE00"), "first");
    EXPECT_EQ(Read("ZevSuiteP2.ini", "files", "file00"), "first");
    EXPECT_EQ(Read("ZevSuiteP2.ini", "Ports", "PoRt"), "second");
}

TEST_F(ProfileRead, FileNameIgnoresCase) {
    setup::WriteWindowsFile("ZevSuiteP3.ini", "[s]\r\nk=v\r\n");

    EXPECT_EQ(Read("zevsuitep3.INI", "s", "k"), "v");
}

TEST_F(ProfileRead, BlanksAroundTheValueAreDropped) {
    setup::WriteWindowsFile("ZevSuiteP4.ini",
                            "[s]\r\n"
                            "spaces=   a b   \r\n"
                            "tabs=\ta\tb\t\r\n"
                            "  padded key  =  v  \r\n"
                            "inner=a  b\r\n");

    EXPECT_EQ(Read("ZevSuiteP4.ini", "s", "spaces"), "a b");
    EXPECT_EQ(Read("ZevSuiteP4.ini", "s", "tabs"), "a\tb");
    EXPECT_EQ(Read("ZevSuiteP4.ini", "s", "padded key"), "v");
    EXPECT_EQ(Read("ZevSuiteP4.ini", "s", "inner"), "a  b");
}

TEST_F(ProfileRead, OnePairOfSurroundingQuotesIsDropped) {
    setup::WriteWindowsFile("ZevSuiteP5.ini",
                            "[s]\r\n"
                            "double=\"C:\\Program Files\\a.dll\"\r\n"
                            "single='C:\\a.dll'\r\n"
                            "twice=\"\"x\"\"\r\n"
                            "blanksInside=\" a \"\r\n"
                            "blanksOutside=  \"a\"  \r\n"
                            "mixed=\"a'\r\n"
                            "openOnly=\"a\r\n"
                            "closeOnly=a\"\r\n"
                            "inner=a\"b\"c\r\n"
                            "justQuotes=\"\"\r\n"
                            "lone=\"\r\n");

    EXPECT_EQ(Read("ZevSuiteP5.ini", "s", "double"), "C:\\Program Files\\a.dll");
    EXPECT_EQ(Read("ZevSuiteP5.ini", "s", "single"), "C:\\a.dll");
    EXPECT_EQ(Read("ZevSuiteP5.ini", "s", "twice"), "\"x\"");
    EXPECT_EQ(Read("ZevSuiteP5.ini", "s", "blanksInside"), " a ");
    EXPECT_EQ(Read("ZevSuiteP5.ini", "s", "blanksOutside"), "a");
    EXPECT_EQ(Read("ZevSuiteP5.ini", "s", "mixed"), "\"a'");
    EXPECT_EQ(Read("ZevSuiteP5.ini", "s", "openOnly"), "\"a");
    EXPECT_EQ(Read("ZevSuiteP5.ini", "s", "closeOnly"), "a\"");
    EXPECT_EQ(Read("ZevSuiteP5.ini", "s", "inner"), "a\"b\"c");
    EXPECT_EQ(Read("ZevSuiteP5.ini", "s", "justQuotes"), "");
    EXPECT_EQ(Read("ZevSuiteP5.ini", "s", "lone"), "\"");
}

TEST_F(ProfileRead, LongValuesComeBackWhole) {
    const std::size_t lengths[] = {127,  128,  129,  254,  255,  256,  259,   260,   261,
                                   1022, 1023, 1024, 1025, 4095, 4096, 4097, 65535, 70000};
    std::string file = "[Long]\r\n";
    for (std::size_t length : lengths)
        file += "L" + std::to_string(length) + "=" + CountingText(length) + "\r\n";
    setup::WriteWindowsFile("ZevSuiteP6.ini", file);

    for (std::size_t length : lengths) {
        platform::ProfileValue value =
            platform::ReadProfileString("Long", "L" + std::to_string(length), "", "ZevSuiteP6.ini");
        EXPECT_TRUE(value.whole) << length;
        EXPECT_EQ(value.text.size(), length);
        EXPECT_EQ(value.text, CountingText(length)) << length;
    }
}

TEST_F(ProfileRead, LongDefaultComesBackWhole) {
    const std::string fallback = CountingText(5000);

    EXPECT_EQ(Read("ZevSuiteNone.ini", "s", "k", fallback), fallback);
}

TEST_F(ProfileRead, EmptyValueReadsAsEmpty) {
    setup::WriteWindowsFile("ZevSuiteP7.ini", "[s]\r\nempty=\r\nblank=   \r\n");

    EXPECT_EQ(Read("ZevSuiteP7.ini", "s", "empty"), "");
    EXPECT_EQ(Read("ZevSuiteP7.ini", "s", "blank"), "");
    EXPECT_EQ(Read("ZevSuiteP7.ini", "s", "empty", ""), Read("ZevSuiteP7.ini", "s", "missing", ""));
}

TEST_F(ProfileRead, CrLfAndLfLineEndingsReadAlike) {
    setup::WriteWindowsFile("ZevSuiteP8.ini", "[a]\r\nk1=crlf one\r\nk2=crlf two\r\n");
    setup::WriteWindowsFile("ZevSuiteP9.ini", "[a]\nk1=lf one\nk2=lf two\n[b]\nk1=b one");

    EXPECT_EQ(Read("ZevSuiteP8.ini", "a", "k1"), "crlf one");
    EXPECT_EQ(Read("ZevSuiteP8.ini", "a", "k2"), "crlf two");
    EXPECT_EQ(Read("ZevSuiteP9.ini", "a", "k1"), "lf one");
    EXPECT_EQ(Read("ZevSuiteP9.ini", "a", "k2"), "lf two");
    EXPECT_EQ(Read("ZevSuiteP9.ini", "b", "k1"), "b one");
}

TEST_F(ProfileRead, FirstOfDuplicateKeysWins) {
    // A byte-order mark before the first section is no part of its name.
    setup::WriteWindowsFile("ZevSuiteP10.ini", "\xEF\xBB\xBF[s]\r\nk=first\r\nK=second\r\nk=third\r\n"
                                               "bare\r\nbare=too late\r\n");

    EXPECT_EQ(Read("ZevSuiteP10.ini", "s", "k"), "first");
    EXPECT_EQ(Read("ZevSuiteP10.ini", "s", "bare"), "<default>");  // the first line of a key decides
}

TEST_F(ProfileRead, OnlyTheFirstOfRepeatedSectionsIsRead) {
    setup::WriteWindowsFile("ZevSuiteP11.ini", "[s]\r\na=1\r\n[t]\r\nb=2\r\n[S]\r\nc=3\r\na=4\r\n");

    EXPECT_EQ(Read("ZevSuiteP11.ini", "s", "a"), "1");
    EXPECT_EQ(Read("ZevSuiteP11.ini", "s", "c"), "<default>");
    EXPECT_EQ(Read("ZevSuiteP11.ini", "t", "b"), "2");
}

}  // namespace

namespace {

TEST_F(ProfileRead, AValueEndsAtANulByte) {
    const char content[] = "[s]\r\nk=Tool\0\0junk\r\nq=\"x\0\"\r\nz=\0rest\r\n";
    setup::WriteWindowsFile("ZevSuiteP12.ini", std::string(content, sizeof content - 1));

    EXPECT_EQ(Read("ZevSuiteP12.ini", "s", "k"), "Tool");
    EXPECT_EQ(Read("ZevSuiteP12.ini", "s", "q"), "\"x");
    EXPECT_EQ(Read("ZevSuiteP12.ini", "s", "z"), "");
}

}  // namespace

// The switches, as a deployment tool writes them.
#include "app/command_line.h"

#include <gtest/gtest.h>

TEST(CommandLineSwitches, AreReadWithoutCaseFromEitherPrefixAndQuotesKeepBlanks) {
    const struct {
        const char* text;
        bool silent, usage, log;
        const char* logPath;
        const char* bad;
    } cases[] = {
        {"", false, false, false, "", ""},
        {"/S", true, false, false, "", ""},
        {"  -s\t", true, false, false, "", ""},
        {"/?", false, true, false, "", ""},
        {"/s /LOG=C:\\logs\\u.log", true, false, true, "C:\\logs\\u.log", ""},
        {"/log=\"C:\\My Logs\\u.log\" /S", true, false, true, "C:\\My Logs\\u.log", ""},
        {"\"/LOG=C:\\My Logs\\u.log\"", false, false, true, "C:\\My Logs\\u.log", ""},
        {"/LOG=", false, false, false, "", "/LOG="},          // no file
        {"/LOG", false, false, false, "", "/LOG"},
        {"/SILENT", false, false, false, "", "/SILENT"},
        {"/S /X /Y", true, false, false, "", "/X"},           // the first one is named
        {"C:\\x.ini", false, false, false, "", "C:\\x.ini"},  // no bare arguments
        {"/S \"\"", true, false, false, "", "\"\""},
    };
    for (const auto& c : cases) {
        const CommandLine line = ParseCommandLine(c.text);
        EXPECT_EQ(line.silent, c.silent) << c.text;
        EXPECT_EQ(line.usage, c.usage) << c.text;
        EXPECT_EQ(line.log, c.log) << c.text;
        EXPECT_EQ(line.logPath, c.logPath) << c.text;
        EXPECT_EQ(line.badArgument, c.bad) << c.text;
    }
    EXPECT_EQ(UsageText("/X").rfind("Unknown switch: /X\n", 0), 0u);
    EXPECT_EQ(UsageText("").find("Unknown"), std::string::npos);
}

TEST(CommandLineSwitches, FollowTheProgramNameAsWindowsRuntimeEndsIt) {
    const char* const cases[][2] = {
        {"C:\\\x94\x7A\x95\x7A\\ZEVUnins.exe /S /LOG=x", "/S /LOG=x"},  // C:\配布\ (code page 932)
        {"C:\\Donn\xE9" "es\\ZEVUnins.exe", ""},                              // C:\Données\ (1252)
        {"C:\\Donn\xE9" "es\\ZEVUnins.exe\t -s", "-s"},
        {"\"C:\\Program Files\\\x94\x7A\x95\x7A\\ZEVUnins.exe\"/S", "/S"},  // the switch right after the quote
        {"\"C:\\Prog\\ZEVUnins.exe\"  \"/LOG=C:\\a b.log\"", "\"/LOG=C:\\a b.log\""},
        {"\"C:\\unclosed /S", ""},
        {"ZEVUnins", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ArgumentsAfterProgramName(c[0]), c[1]) << c[0];
}

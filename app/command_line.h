// The command line of the uninstaller, for the people who deploy it: silent
// removal, a log, and the usage box.
#pragma once

#include <string>

struct CommandLine {
    bool silent = false;      // /S: no question, no dialog, no boxes
    bool usage = false;       // /?: the usage box, nothing else
    bool log = false;         // /LOG=<file>
    bool whatIf = false;      // /WHATIF: what a run would do, written to the log; nothing touched
    std::string logPath;
    std::string badArgument;  // the first argument not understood, as written; empty when none
};

// What follows the program's name in the whole command line (GetCommandLineA),
// read as Windows' own C runtime reads it, a byte at a time and every byte
// taken as unsigned (code page 932 and 1252 names hold bytes of 0x80 and
// more): a quoted name ends at its closing quote, and what follows at once is
// the first argument ("C:\Prog\x.exe"/S); an unquoted one ends at the first
// blank, tab or other control character. The blanks after the name are
// skipped. Neither a quote nor a blank is ever the second byte of a
// double-byte character.
std::string ArgumentsAfterProgramName(const std::string& commandLine);

// Reads the arguments after the program's name as Windows programs do: blanks
// separate them, a pair of quotes keeps blanks inside one ("/LOG=C:\My Logs\u.log"
// or /LOG="C:\My Logs\u.log"), switches start with "/" or "-" and are read
// without regard to case. Neither a blank nor a quote is ever the second byte
// of a double-byte character, so the text is read as bytes.
CommandLine ParseCommandLine(const std::string& text);

// Whether /S (or -S) stands among `text`'s arguments, unquoted, found without
// the heap: what a run that has no memory left to read its command line needs to know.
bool NamesSilentSwitch(const std::string& text);

// Whether the switches cannot go together: /WHATIF writes its plan to the log only.
bool WhatIfWithoutLog(const CommandLine& line);

// The usage box's text; with `badArgument`, it names it first, and says so
// first where /WHATIF was given without /LOG=.
std::string UsageText(const std::string& badArgument, bool whatIfWithoutLog = false);

// The uninstaller's entry: what WinMain hands over to, from the command line to the exit status.
//
// app/: the entry and what the user and the administrator see (the command
// line, the texts and boxes, the log, the exit statuses). The top floor: it
// uses run/ and the floors below, and nothing uses it.
#pragma once

#include <string>

#include "platform/platform.h"

// The program's version, as its version record gives it: VERSION's, given
// to the compiler by the build.
#define ZEV_TEXT_OF(number) #number
#define ZEV_TEXT(number) ZEV_TEXT_OF(number)
constexpr const char* kProgramVersion = ZEV_TEXT(ZEV_VERSION);

// The named mutex one copy of the program holds while it runs.
constexpr const char* kProgramLockName = "ZEVUnins.Uninstaller";

// Everything WinMain does after it has its instance handle; `commandLine` is
// what follows the program's name. Returns the exit status. Under /S nothing
// is asked and nothing shown, not even a failure; where no one can see a
// window (and /S is not given) nothing is touched either: 1621.
int UninstallerMain(platform::Instance instance, const std::string& commandLine = std::string());

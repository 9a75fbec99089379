// The uninstaller's entry, texts and dialogs: what the user sees from start to end.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "run/uninstall_run.h"

// The program's version, as its version record gives it.
constexpr const char* kProgramVersion = "1.0.0.0";

// Exit statuses.
constexpr int kExitCompleted = 0;
constexpr int kExitRestartNeeded = 3010;  // Windows Installer's: done, a restart finishes it
constexpr int kExitIncomplete = 1603;     // Windows Installer's fatal error: something listed stayed
constexpr int kExitCancelled = 1602;      // Windows Installer's code for a cancel
constexpr int kExitBadCommandLine = 87;   // ERROR_INVALID_PARAMETER
constexpr int kExitNoMemory = 1;
constexpr int kExitAlreadyRunning = 1618;  // ERROR_INSTALL_ALREADY_RUNNING: try again later
constexpr int kExitLogFailure = 1622;      // ERROR_INSTALL_LOG_FAILURE: the log cannot be written

// The named mutex one copy of the program holds while it runs.
constexpr const char* kProgramLockName = "ZEVUnins.Uninstaller";

// The user-visible texts, read from the strings file.
struct UiStrings {
    std::string confirmFirstLine;   // [STATIC] DIALOG00
    std::string confirmSecondLine;  // [STATIC] DIALOG01
    std::string confirmCaption;     // [TITLE] DIALOG
    std::string completeText;       // [STATIC] MSGBOX00
    std::string completeCaption;    // [TITLE] MSGBOX
    std::string restartLine;        // [STATIC] MSGBOX01, added where a restart finishes the run
    std::string incompleteLine;     // [STATIC] MSGBOX02, added where something could not be removed
};

UiStrings LoadUiStrings();


// The exit status of a run that went to its end: 1603 where something listed
// could not be removed, else 3010 where something goes at the next restart, else 0.
int ExitStatusOf(const RunOutcome& outcome);

// Everything WinMain does after it has its instance handle; `commandLine` is
// what follows the program's name. Returns the exit status. Under /S nothing
// is asked and nothing shown, not even a failure.
int UninstallerMain(platform::Instance instance, const std::string& commandLine = std::string());

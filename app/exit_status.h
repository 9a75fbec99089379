// The program's exit statuses, which deployment tools read: Windows Installer's
// where it has one for the case.
#pragma once

#include "run/uninstall_run.h"

// Exit statuses.
constexpr int kExitCompleted = 0;
constexpr int kExitRestartNeeded = 3010;  // Windows Installer's: done, a restart finishes it
constexpr int kExitIncomplete = 1603;     // Windows Installer's fatal error: something listed stayed
constexpr int kExitCancelled = 1602;      // Windows Installer's code for a cancel
constexpr int kExitBadCommandLine = 87;   // ERROR_INVALID_PARAMETER
constexpr int kExitNoMemory = platform::kExitNoMemory;
constexpr int kExitAlreadyRunning = 1618;  // ERROR_INSTALL_ALREADY_RUNNING: try again later
constexpr int kExitLogFailure = 1622;      // ERROR_INSTALL_LOG_FAILURE: the log cannot be written
constexpr int kExitNoOneToAnswer = 1621;   // ERROR_INSTALL_UI_FAILURE: no one can see the question

// The exit status of a run that went to its end: 1603 where something listed
// could not be removed, else 3010 where something goes at the next restart, else 0.
int ExitStatusOf(const RunOutcome& outcome);

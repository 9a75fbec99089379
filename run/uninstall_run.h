// The uninstall run: the step count taken before it, and the run itself.
#pragma once

#include <cstdint>

#include "platform/platform.h"

extern int32_t g_stepCount;              // progress steps the run will take
extern int32_t g_stepsTaken;             // progress steps the run has taken
extern platform::Window g_hProgress;     // the progress bar the run advances

// Reads the install path and the file list, builds the directory chain and sets
// g_stepCount to the number of steps RunUninstall will send. The FILES list it
// read is kept for the next RunUninstall, which does not read it again.
void CountUninstallSteps();

// Removes everything the file list names, in order, advancing the bar (where
// g_hProgress is one). Reads the FILES list itself when no count came before it.
void RunUninstall();

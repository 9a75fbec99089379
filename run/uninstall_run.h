// The uninstall run: the step count taken before it, and the run itself.
#pragma once

#include <cstdint>

#include "platform/platform.h"

extern int32_t g_stepCount;              // progress steps the run will send
extern platform::Window g_hProgress;     // the progress bar the run advances

// Reads the install path and the file list, builds the directory chain and sets
// g_stepCount to the number of steps RunUninstall will send.
void CountUninstallSteps();

// Removes everything the file list names, in order, advancing the bar.
void RunUninstall();

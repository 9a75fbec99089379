// The uninstall run: the plan's actions carried out in order under the progress
// bar, or only foreseen (/WHATIF), each item's outcome recorded as it goes.
//
// run/: the file list, the plan, the run, the directory rules and the restart
// list. Uses print/, programs_entry/, path/ and platform/; only app/ uses it.
#pragma once

#include "platform/platform.h"
#include "run/run_outcome.h"
#include "run/uninstall_plan.h"

// Carries out the plan's actions in order, records in `outcome` what became
// of each item, and advances `bar` (where there is one) from 0 to the plan's
// step count.
void RunUninstall(const UninstallPlan& plan, RunOutcome& outcome, platform::Window bar = nullptr);

// What RunUninstall would do with `plan`, recorded in `outcome` item by item as
// the run records it, with nothing touched: files, directories, the registry
// and the spooler are only read. Whether a file is in use cannot be known
// without trying: every file that is there would be removed.
void ForeseeUninstall(const UninstallPlan& plan, RunOutcome& outcome);

// The exit status of a run.
#include "app/exit_status.h"

int ExitStatusOf(const RunOutcome& outcome) {
    if (outcome.incomplete) return kExitIncomplete;
    return outcome.restartNeeded ? kExitRestartNeeded : kExitCompleted;
}

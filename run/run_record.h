// What the run keeps while it goes, whichever kind of item it acts on: the
// record it adds each item's outcome to, and the paths it has removed (or,
// foreseeing, would remove) and scheduled for the next restart so far.
#pragma once

#include <cstdint>
#include <string>

#include "run/path_set.h"
#include "run/run_outcome.h"

struct RunRecord {
    RunOutcome& outcome;
    PathSet removed;
    PathSet scheduled;

    void Add(ItemKind kind, const std::string& name, ItemResult result, uint32_t error = 0,
             const std::string& reason = std::string(), std::string movedTo = std::string()) {
        outcome.Add(ItemOutcome{kind, name, result, error, reason, std::move(movedTo)});
    }
    // Something that goes at the next restart, under `name`. The program never
    // restarts Windows itself.
    void NoteScheduled(const std::string& name) {
        scheduled.Insert(name);
        outcome.restartNeeded = true;
    }
};

// Windows' error for a path with nothing of that name, or none it could name.
inline bool IsNotThereError(uint32_t error) {
    return platform::IsNotFoundError(error) || error == platform::kErrorInvalidName;
}

// The uninstall run: the step count taken before it, the run itself, and what
// became of each thing it acted on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

extern int32_t g_stepCount;              // progress steps the run will take
extern int32_t g_stepsTaken;             // progress steps the run has taken
extern platform::Window g_hProgress;     // the progress bar the run advances

// What became of one thing the run acted on.
enum class ItemResult {
    Removed,
    NotThere,    // was not there to begin with
    PassedOver,  // not acted on; `reason` says why
    Scheduled,   // in use: goes at the next restart
    Failed,      // Windows refused; `error` is its code where it gave one
};

struct ItemOutcome {
    const char* kind = "";  // "file", "directory", "programs entry", "monitor", "port"
    std::string name;
    ItemResult result = ItemResult::Removed;
    uint32_t error = 0;
    const char* reason = "";
};

// Everything the run did, item by item, in order. `onItem` hears of each item
// as it is recorded, so that a log is written as the run goes.
struct RunOutcome {
    std::vector<ItemOutcome> items;
    bool restartNeeded = false;  // something goes at the next restart
    void (*onItem)(const ItemOutcome& item, void* context) = nullptr;
    void* context = nullptr;

    void Add(ItemOutcome item);
};

// Reads the install path and the file list, builds the directory chain and sets
// g_stepCount to the number of steps RunUninstall will send. The FILES list it
// read is kept for the next RunUninstall, which does not read it again.
void CountUninstallSteps();

// Removes everything the file list names, in order, advancing the bar (where
// g_hProgress is one), and records in `outcome` (where given) what became of
// each item. Reads the FILES list itself when no count came before it.
void RunUninstall(RunOutcome* outcome = nullptr);

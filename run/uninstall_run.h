// The uninstall run: the plan read before it, the run itself, and what became
// of each thing it acted on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "print/monitor_removal.h"

// Everything the run acts on, read before anything goes: the file list may
// name itself among the files, and once deleted it reads as empty.
struct UninstallPlan {
    std::vector<std::string> installChain;            // [UNINSTALL] PATH and its parents, shallowest first
    platform::ProfileValue programsEntry;             // [UnInstKey] UnInstKey
    platform::ProfileValue monitor;                   // [LPR] Monitor
    std::vector<PortRecord> monitorPorts;             // its ports, as the registry lists them
    std::vector<platform::ProfileValue> files;        // [FILES]
    std::vector<platform::ProfileValue> dirs;         // [PATHS]
    platform::ProfileValue root;                      // [STMPATHS] ROOT
    std::vector<platform::ProfileValue> retriedDirs;  // [STMPATHS]
};

// Reads the plan from the file list and, for the monitor's ports, the registry.
UninstallPlan ReadUninstallPlan();

// The progress steps RunUninstall takes for `plan`: one per file, one per
// chain directory but the first, and the final one.
int32_t CountUninstallSteps(const UninstallPlan& plan);

// What became of one thing the run acted on.
enum class ItemResult {
    Removed,
    NotThere,    // was not there to begin with
    Kept,        // a directory that still holds something, as the rules allow
    PassedOver,  // not acted on; `reason` says why
    Scheduled,   // in use: goes at the next restart
    Moved,       // a printer taken off the monitor's ports; `reason` says from where to where
    Failed,      // Windows refused; `error` is its code where it gave one
};

struct ItemOutcome {
    const char* kind = "";  // "file", "directory", "programs entry", "monitor", "port", "printer"
    std::string name;
    ItemResult result = ItemResult::Removed;
    uint32_t error = 0;
    std::string reason;
    std::string movedTo;  // a file in use moved aside: the name that goes at the restart
};

// Everything the run did, item by item, in order. `onItem` hears of each item
// as it is recorded, so that a log is written as the run goes.
struct RunOutcome {
    std::vector<ItemOutcome> items;
    bool restartNeeded = false;  // something goes at the next restart
    bool incomplete = false;     // something listed could not be removed: Windows refused it
    int32_t stepsTaken = 0;      // progress steps the run took
    void (*onItem)(const ItemOutcome& item, void* context) = nullptr;
    void* context = nullptr;

    void Add(ItemOutcome item);
};

// Removes everything `plan` names, in order, records in `outcome` what became
// of each item, and advances `bar` (where there is one) from 0 to the plan's
// step count.
void RunUninstall(const UninstallPlan& plan, RunOutcome& outcome, platform::Window bar = nullptr);

// What RunUninstall would do with `plan`, recorded in `outcome` item by item as
// the run records it, with nothing touched: files, directories, the registry
// and the spooler are only read. Whether a file is in use cannot be known
// without trying: every file that is there would be removed.
void ForeseeUninstall(const UninstallPlan& plan, RunOutcome& outcome);

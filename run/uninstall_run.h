// The uninstall run: the plan read before it, as a list of checked actions,
// the run that walks the list, and what became of each thing it acted on.
//
// run/: the file list, the plan, the run, the directory rules and the restart
// list. Uses print/, registry/, path/ and platform/; only app/ uses it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/function_ref.h"
#include "platform/platform.h"
#include "print/monitor_removal.h"

// What the log calls a thing the run acts on.
enum class ItemKind { File, Directory, ProgramsEntry, Monitor, Port, Printer };

// "file", "directory", "programs entry", "monitor", "port", "printer".
const char* KindName(ItemKind kind);

// One thing the run does, in the order the run does it. Every item of the
// file list is checked once, as the plan is read: what may not be acted on
// (not read whole, not a full path, a root, ROOT itself, ...) is an action
// of its own, passed over with its reason.
struct UninstallAction {
    enum class Type {
        PassedOver,        // told, not acted on: `reason` says why
        ProgramsEntry,     // `name` under the programs list, in registry view `view`
        Monitor,           // the print monitor `name`, its printers and ports
        File,              // the file `path`, in file view `fileView`
        Directory,         // the directory `path` and its emptied parents
        RetriedDirectory,  // the directory `path` and its parent below ROOT, tried again and again
        ChainDirectory,    // a directory of the install chain
        Nothing,           // a step only: a chain directory that is a share's root
        Settle,            // the directories that stay are told; the final step
    };
    Type type = Type::Nothing;
    ItemKind kind = ItemKind::File;
    std::string name;  // the entry's or monitor's name, or the path
    std::string reason;
    platform::RegView view = platform::RegView::Default;
    platform::FileView fileView = platform::FileView::Own;
    bool step = false;  // the progress bar moves on once it is done
};

// Everything the run acts on, read before anything goes: the file list may
// name itself among the files, and once deleted it reads as empty.
struct UninstallPlan {
    std::vector<UninstallAction> actions;
    std::vector<PortRecord> monitorPorts;  // the monitor's ports, as the registry lists them
    std::string root;                      // [STMPATHS] ROOT, where the retried directories stop
};

// Reads the plan from the file list and, for the monitor's ports, the registry.
UninstallPlan ReadUninstallPlan();

// The progress steps RunUninstall takes for `plan`: one for each action that
// takes one (each listed file, each chain directory but the first, the final one).
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
    ItemKind kind = ItemKind::File;
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
    FunctionRef<void(const ItemOutcome& item)> onItem;

    void Add(ItemOutcome item);
};

// Carries out the plan's actions in order, records in `outcome` what became
// of each item, and advances `bar` (where there is one) from 0 to the plan's
// step count.
void RunUninstall(const UninstallPlan& plan, RunOutcome& outcome, platform::Window bar = nullptr);

// What RunUninstall would do with `plan`, recorded in `outcome` item by item as
// the run records it, with nothing touched: files, directories, the registry
// and the spooler are only read. Whether a file is in use cannot be known
// without trying: every file that is there would be removed.
void ForeseeUninstall(const UninstallPlan& plan, RunOutcome& outcome);

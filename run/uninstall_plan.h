// The plan: the file list read into checked actions, in the order the run
// takes them, before anything goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "print/monitor_removal.h"
#include "run/run_outcome.h"

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

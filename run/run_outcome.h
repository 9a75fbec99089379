// What became of each thing the run acted on, item by item, as the log tells it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/function_ref.h"
#include "platform/platform.h"

// What the log calls a thing the run acts on.
enum class ItemKind { File, Directory, ProgramsEntry, Monitor, Port, Printer };

// "file", "directory", "programs entry", "monitor", "port", "printer".
const char* KindName(ItemKind kind);

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

// What asking Windows to remove something came to, as the run records it.
ItemResult ResultOf(platform::RemovalResult result);

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

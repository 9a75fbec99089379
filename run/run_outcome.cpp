// The record of a run, item by item.
#include "run/run_outcome.h"

#include <utility>

const char* KindName(ItemKind kind) {
    switch (kind) {
    case ItemKind::File:
        return "file";
    case ItemKind::Directory:
        return "directory";
    case ItemKind::ProgramsEntry:
        return "programs entry";
    case ItemKind::Monitor:
        return "monitor";
    case ItemKind::Port:
        return "port";
    case ItemKind::Printer:
        return "printer";
    }
    return "";
}

ItemResult ResultOf(platform::RemovalResult result) {
    switch (result) {
    case platform::RemovalResult::Removed:
        return ItemResult::Removed;
    case platform::RemovalResult::NotThere:
        return ItemResult::NotThere;
    case platform::RemovalResult::Failed:
        break;
    }
    return ItemResult::Failed;
}

void RunOutcome::Add(ItemOutcome item) {
    // A port's failure counts only where its monitor stays too (see the run's
    // monitor); a printer that stays on a port keeps that port, and with it the monitor.
    if (item.result == ItemResult::Failed && item.kind != ItemKind::Port && item.kind != ItemKind::Printer)
        incomplete = true;
    items.push_back(std::move(item));
    if (onItem) onItem(items.back());
}

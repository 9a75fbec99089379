// The record a run leaves in Windows' Application log, where fleets collect
// what happened on each machine: one event at the end of a run that changed
// the machine, on the NT family.
#pragma once

#include <cstdint>

// The event's source, registered under the Application log.
constexpr const char* kEventSource = "ZEVUnins";

// The event of each exit status a run that changed the machine can end with.
struct RunEventKind {
    int exitStatus;
    uint16_t id;
    bool error;           // an error event, else information
    const char* meaning;  // what the status means, in the event
};
constexpr RunEventKind kRunEventKinds[] = {
    {0, 1, false, "done"},
    {3010, 2, false, "done; what was in use goes at the next restart"},
    {1603, 3, true, "not everything could be removed; the log names what stayed"},
    {1, 4, true, "out of memory"},
};

// Writes the run's event: `product` is the name the programs list showed,
// `logPath` the log's full path (empty without one). Takes nothing from the
// heap. Nothing on the 95 family, or for a status the table does not hold.
void ReportRunEvent(int exitStatus, const char* product, const char* logPath);

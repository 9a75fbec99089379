// The product's entry in Windows' list of installed programs.
//
// programs_entry/: the programs-list entry. Uses path/ and platform/ only (not
// print/, its sibling); run/ uses it.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

constexpr const char* kProgramsListKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Whether `name` is one key name, as an entry's must be: not empty, no
// backslash (a second byte 0x5C of a double-byte character is none).
bool NamesOneProgramsEntry(const std::string& name);

// What became of the entry in one registry view.
struct EntryRemoval {
    platform::RemovalResult result = platform::RemovalResult::Failed;
    uint32_t error = 0;  // Windows' code where it would not open the key
};

// Deletes the entry `name` under the programs list, or, where the key cannot go
// (it has subkeys), strips the values that make Windows list it: removed when
// the entry is gone or no longer listed.
EntryRemoval RemoveProgramsEntry(const std::string& name, platform::RegView view = platform::RegView::Default);

// What RemoveProgramsEntry would come to, with nothing touched: removed where
// the key is there.
EntryRemoval ForeseeProgramsEntryRemoval(const std::string& name, platform::RegView view);

// The name the programs list shows for the entry `name` (its DisplayName, in
// the first view that has one); `name` itself where there is none.
std::string ProgramsEntryDisplayName(const std::string& name);

// The registry views the entry is looked for in, in this order: on 64-bit
// Windows the program's own, then the other (an installer of either bitness
// may have written it); elsewhere the one registry.
std::vector<platform::RegView> ProgramsEntryViews();

// "32-bit view", "64-bit view"; empty for the one registry of Windows without views.
const char* ViewName(platform::RegView view);

// The product's entry in Windows' list of installed programs.
#pragma once

#include <string>

constexpr const char* kProgramsListKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Whether `name` is one key name, as an entry's must be: not empty, no
// backslash (a second byte 0x5C of a double-byte character is none).
bool NamesOneProgramsEntry(const std::string& name);

// Deletes the entry `name` under the programs list, or, where the key cannot go
// (it has subkeys), strips the values that make Windows list it. Returns 1 when
// the entry is gone or no longer listed, 0 otherwise.
int RemoveProgramsEntry(const char* name);

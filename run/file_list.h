// The file list, ZEVFList.ini in the Windows directory: what the product put on
// the machine and the uninstaller takes away.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

constexpr const char* kFileListName = "ZEVFList.ini";
constexpr const char* kStringsFileName = "ZEVUnins.ini";

// One value of the file list; the empty text when missing.
platform::ProfileValue ReadListValue(const std::string& section, const std::string& key);

// The key of entry `index` of a numbered list: "FILE00" … "FILE99", "FILE100".
std::string NumberedKey(const char* prefix, int index);

// The values of the numbered list `prefix` of `section`, from 00 upward, until
// the first empty or missing value. A value that could not be read whole is
// kept too (its `whole` is false): it does not end the list.
std::vector<platform::ProfileValue> ReadNumberedList(const std::string& section, const char* prefix);

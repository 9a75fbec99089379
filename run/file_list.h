// The file list, ZEVFList.ini in the Windows directory: what the product put on
// the machine and the uninstaller takes away.
#pragma once

#include <string>

#include "platform/platform.h"

constexpr const char* kFileListName = "ZEVFList.ini";
constexpr const char* kStringsFileName = "ZEVUnins.ini";

// One value of the file list; the empty text when missing.
platform::ProfileValue ReadListValue(const std::string& section, const std::string& key);

// The key of entry `index` of a numbered list: "FILE00" … "FILE99", "FILE100".
std::string NumberedKey(const char* prefix, int index);

// Calls `visit` with each value of the numbered list `prefix` of `section`, from
// 00 upward, until the first empty or missing value. A value that could not be
// read whole is visited too (its `whole` is false): it does not end the list.
template <typename Visit>
void ForEachListed(const std::string& section, const char* prefix, Visit visit) {
    for (int index = 0;; ++index) {
        const platform::ProfileValue value = ReadListValue(section, NumberedKey(prefix, index));
        if (value.text.empty()) return;
        visit(value);
    }
}

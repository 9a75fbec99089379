// Reads the file list: single values and the numbered lists.
#include "run/file_list.h"

#include <cstdio>

platform::ProfileValue ReadListValue(const std::string& section, const std::string& key) {
    return platform::ReadProfileString(section, key, "", kFileListName);
}

std::string NumberedKey(const char* prefix, int index) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", index);
    return std::string(prefix) + number;
}

void ForEachListed(const std::string& section, const char* prefix,
                   const std::function<void(const platform::ProfileValue&)>& visit) {
    for (int index = 0;; ++index) {
        const platform::ProfileValue value = ReadListValue(section, NumberedKey(prefix, index));
        if (value.text.empty()) return;
        visit(value);
    }
}

// Reads the file list: single values and the numbered lists.
#include "run/file_list.h"


platform::ProfileValue ReadListValue(const std::string& section, const std::string& key) {
    return platform::ReadProfileString(section, key, "", kFileListName);
}

std::string NumberedKey(const char* prefix, int index) {
    // "%02d" by hand: the C library's formatted printing would more than double
    // the program's size on mingw.
    std::string digits = std::to_string(index);
    if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
    return prefix + digits;
}

std::vector<platform::ProfileValue> ReadNumberedList(const std::string& section, const char* prefix) {
    std::vector<platform::ProfileValue> values;
    for (int index = 0;; ++index) {
        platform::ProfileValue value = ReadListValue(section, NumberedKey(prefix, index));
        if (value.text.empty()) return values;
        values.push_back(std::move(value));
    }
}

// WININIT.INI, the 95 family's list of what goes at the next restart: its
// [rename] section holds one "NUL=<short path>" line for each file to delete.
#pragma once

#include <string>

constexpr const char* kRestartListName = "WININIT.INI";

// `content` with `line` added at the end of its [rename] section (the first,
// its name read without regard to case), or in a new section at the end.
// Every line already there stays: the section holds many lines of one key,
// which the profile functions would read and write as one.
std::string WithRenameLine(const std::string& content, const std::string& line);

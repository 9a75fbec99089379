// What goes at the next restart, and how: the one place that decides. On the
// NT family the session manager's list (MoveFileExA); on the 95 family
// WININIT.INI, whose [rename] section holds one "NUL=<short path>" line for
// each file to delete.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

constexpr const char* kRestartListName = "WININIT.INI";

// `content` with `line` added at the end of its [rename] section (the first,
// its name read without regard to case), or in a new section at the end.
// Every line already there stays: the section holds many lines of one key,
// which the profile functions would read and write as one. The new lines end
// as the file's first line does (CR LF, or LF alone).
std::string WithRenameLine(const std::string& content, const std::string& line);

// Has Windows delete `path` at the next restart: MoveFileExA(...,
// MOVEFILE_DELAY_UNTIL_REBOOT) first, WININIT.INI only where Windows does not
// implement that (the 95 family, whatever GetVersion says under a
// compatibility mode). WININIT.INI deletes files only: a directory goes through
// the first alone. Windows' error, or 0 when it goes at the restart.
// In the native view (a 32-bit program's way to the native system directory)
// the path is written as the session manager reads it.
uint32_t DeleteAtRestart(const std::string& path, bool directory = false,
                         platform::FileView view = platform::FileView::Own);

// What became of a file Windows would not delete now.
struct HeldFile {
    uint32_t error = 0;   // 0 when it goes at the next restart
    std::string movedTo;  // the name it was moved aside to; empty when it kept its own
};

// A file Windows refused to delete with `deleteError` (32: held open; 5:
// running, loaded, or refused for its permissions). It is first moved aside,
// to a name of its own beside it, and that name goes at the restart: the
// listed name is free at once for a next version installed before the
// restart. Where the move is refused, the file goes at the restart under its
// own name; where the move is refused for permissions too (NT family), nothing
// will change at a restart: it fails with 5.
HeldFile GoAtRestart(const std::string& path, uint32_t deleteError, platform::FileView view = platform::FileView::Own);

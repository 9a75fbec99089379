// The log a deployment tool asks for with /LOG=<file>: plain text, added to the
// end of the file, one line at a time as the run goes, so that a run ended
// half-way still leaves what it did.
#pragma once

#include <string>

#include "platform/platform.h"
#include "run/uninstall_run.h"

// One item as its log line says it after the time, its four fields separated
// by tabs: what became of it, its kind, its name and why ("removed\tfile\tC:\Prog\a.exe\t").
std::string DescribeItem(const ItemOutcome& item, bool whatIf = false);

// What an exit status means, for the closing line.
const char* DescribeExitStatus(int status);

class RunLog {
public:
    // Opens the log at `path`, a full path, and keeps it open until the log goes;
    // false when it cannot be. Without Open nothing is logged.
    bool Open(const std::string& path);

    // The heading: the program's version, the time, Windows' version, the two
    // files and the log itself. With `whatIf` the lines that follow say what
    // would be done ("would remove").
    void Begin(bool silent, bool whatIf = false);
    void Item(const ItemOutcome& item) { Line(DescribeItem(item, whatIf_)); }
    // A switch the program would not take, and why.
    void Refused(const std::string& argument, const std::string& why);
    void End(int exitStatus);
    // The exit line of a run that has run out of memory, written without the
    // heap; nothing once End has written one.
    void EndForNoMemory() const;
    const std::string& Path() const { return path_; }

private:
    // One line: the time to the millisecond, a tab and `fields`. A line that
    // cannot be written (a full disk) stops nothing.
    void Line(const std::string& fields);

    std::string path_;
    platform::LogFile file_;
    bool whatIf_ = false;
    bool ended_ = false;
};

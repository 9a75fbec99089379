// The log a deployment tool asks for with /LOG=<file>: plain text, added to the
// end of the file, one line at a time as the run goes, so that a run ended
// half-way still leaves what it did.
#pragma once

#include <string>

#include "run/uninstall_run.h"

// One item as its log line says it: "removed      file C:\Prog\a.exe".
std::string DescribeItem(const ItemOutcome& item);

// What an exit status means, for the closing line.
const char* DescribeExitStatus(int status);

class RunLog {
public:
    // No log at all with an empty path.
    explicit RunLog(std::string path) : path_(std::move(path)) {}

    // The heading: the program's version, the time, Windows' version and the two files.
    void Begin(bool silent);
    void Item(const ItemOutcome& item) { Line(DescribeItem(item)); }
    void Note(const std::string& text) { Line(text); }
    void End(int exitStatus);

    // For RunOutcome::onItem, with the log as its context.
    static void OnItem(const ItemOutcome& item, void* log) { static_cast<RunLog*>(log)->Item(item); }

private:
    void Line(const std::string& text);

    std::string path_;
    // A log that cannot be written does not stop the run, and is not tried again.
    bool failed_ = false;
};

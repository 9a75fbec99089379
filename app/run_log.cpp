// The run's log: each line goes to the file as it is made.
#include "app/run_log.h"

#include "app/uninstaller.h"
#include "run/file_list.h"

namespace {

const char* ResultText(ItemResult result) {
    switch (result) {
    case ItemResult::Removed:
        return "removed    ";
    case ItemResult::NotThere:
        return "not there  ";
    case ItemResult::PassedOver:
        return "passed over";
    case ItemResult::Scheduled:
        return "at restart ";
    case ItemResult::Kept:
        return "kept       ";
    case ItemResult::Failed:
        return "failed     ";
    }
    return "?          ";
}

}  // namespace

std::string DescribeItem(const ItemOutcome& item) {
    std::string line = std::string(ResultText(item.result)) + "  " + item.kind + " " + item.name;
    std::string why = item.reason;
    if (item.error != 0) why += (why.empty() ? "" : ", ") + std::string("error ") + std::to_string(item.error);
    if (!item.movedTo.empty()) why += "; moved aside to " + item.movedTo;
    if (item.result == ItemResult::Scheduled) why += item.movedTo.empty() ? "; goes at the next restart" : ", which goes at the next restart";
    if (!why.empty()) line += " (" + why + ")";
    return line;
}

const char* DescribeExitStatus(int status) {
    switch (status) {
    case kExitCompleted:
        return "done";
    case kExitRestartNeeded:
        return "done; what was in use goes at the next restart";
    case kExitIncomplete:
        return "not everything could be removed; see the failed items above";
    case kExitCancelled:
        return "the user answered No; nothing was touched";
    case kExitBadCommandLine:
        return "a bad command line; nothing was touched";
    case kExitNoMemory:
        return "out of memory";
    }
    return "";
}

void RunLog::Begin(bool silent) {
    if (path_.empty()) return;
    const std::string windowsDir = platform::GetWindowsDir();
    Line("");
    Line(std::string("ZEVUnins ") + kProgramVersion + (silent ? ", silent" : "") + ", started " +
         platform::LocalTimeText());
    Line(platform::WindowsVersionText());
    Line(std::string("File list: ") + windowsDir + "\\" + kFileListName);
    Line(std::string("Strings file: ") + windowsDir + "\\" + kStringsFileName);
}

void RunLog::End(int exitStatus) {
    if (path_.empty()) return;
    Line("Exit status " + std::to_string(exitStatus) + ": " + DescribeExitStatus(exitStatus) + ", " +
         platform::LocalTimeText());
}

void RunLog::Line(const std::string& text) {
    if (path_.empty() || failed_) return;
    if (!platform::AppendToFile(path_, text + "\r\n")) failed_ = true;
}

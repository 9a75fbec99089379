// The run's log: each line goes to the file as it is made.
#include "app/run_log.h"

#include "app/exit_status.h"
#include "app/uninstaller.h"
#include "run/file_list.h"

namespace {

const char* ResultText(ItemResult result, bool whatIf) {
    if (whatIf) {
        switch (result) {
        case ItemResult::Removed:
            return "would remove";
        case ItemResult::Kept:
            return "would keep";
        case ItemResult::Moved:
            return "would move";
        case ItemResult::Failed:
            return "would fail";
        default:
            break;
        }
    }
    switch (result) {
    case ItemResult::Removed:
        return "removed";
    case ItemResult::NotThere:
        return "not there";
    case ItemResult::Kept:
        return "kept";
    case ItemResult::PassedOver:
        return "passed over";
    case ItemResult::Scheduled:
        return "at restart";
    case ItemResult::Moved:
        return "moved";
    case ItemResult::Failed:
        return "failed";
    }
    return "?";
}

// One line's fields after the time, tab-separated: no name Windows allows
// holds a tab, so a script can split every line the same way.
std::string Fields(const std::string& outcome, const std::string& kind, const std::string& name,
                   const std::string& detail) {
    return outcome + "\t" + kind + "\t" + name + "\t" + detail;
}

}  // namespace

std::string DescribeItem(const ItemOutcome& item, bool whatIf) {
    std::string why = item.reason;
    if (item.error != 0) why += (why.empty() ? "" : ", ") + std::string("error ") + std::to_string(item.error);
    if (!item.movedTo.empty()) why += "; moved aside to " + item.movedTo;
    if (item.result == ItemResult::Scheduled)
        why += item.movedTo.empty() ? "; goes at the next restart" : ", which goes at the next restart";
    return Fields(ResultText(item.result, whatIf), KindName(item.kind), item.name, why);
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
    case kExitAlreadyRunning:
        return "another copy of the uninstaller is running; nothing was touched";
    }
    return "";
}

bool RunLog::Open(const std::string& path) {
    file_ = platform::OpenLogFile(path);
    if (!file_.IsOpen()) return false;
    path_ = path;
    return true;
}

void RunLog::Begin(bool silent, bool whatIf) {
    whatIf_ = whatIf;
    if (!file_.IsOpen()) return;
    const std::string windowsDir = platform::GetWindowsDir();
    const std::string how = std::string(silent ? "silent" : "") + (silent && whatIf ? ", " : "") +
                            (whatIf ? "what if: nothing is touched" : "");
    Line(Fields("started", "program", std::string("ZEVUnins ") + kProgramVersion, how));
    Line(Fields("info", "windows", platform::WindowsVersionText(), ""));
    Line(Fields("info", "file list", windowsDir + "\\" + kFileListName, ""));
    Line(Fields("info", "strings file", windowsDir + "\\" + kStringsFileName, ""));
    Line(Fields("info", "log file", path_, ""));
}

void RunLog::End(int exitStatus) {
    if (!file_.IsOpen()) return;
    const bool planOnly = whatIf_ && exitStatus == kExitCompleted;
    Line(Fields("exit", "status", std::to_string(exitStatus),
                planOnly ? "what would be done is above; nothing was touched" : DescribeExitStatus(exitStatus)));
}

void RunLog::Refused(const std::string& argument, const std::string& why) {
    if (!file_.IsOpen()) return;
    Line(Fields("refused", "switch", argument, why));
}

void RunLog::Line(const std::string& fields) {
    platform::WriteToLog(file_, platform::LocalTimeText() + "\t" + fields + "\r\n");
}

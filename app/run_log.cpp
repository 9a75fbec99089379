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

// A field as the log writes it: a control character (a tab, a line break)
// as its code in hexadecimal between angle brackets, "<09>", so that every
// line keeps its five fields. A second byte of a double-byte character is
// never below 0x40.
std::string Escaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            escaped += c;
            continue;
        }
        const char* const digits = "0123456789ABCDEF";
        escaped += '<';
        escaped += digits[byte >> 4];
        escaped += digits[byte & 15];
        escaped += '>';
    }
    return escaped;
}

// One line's fields after the time, tab-separated: a name or a reason with a
// tab of its own has it escaped, so a script can split every line the same way.
std::string Fields(const std::string& outcome, const std::string& kind, const std::string& name,
                   const std::string& detail) {
    return outcome + "\t" + kind + "\t" + Escaped(name) + "\t" + Escaped(detail);
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
    case kExitNoOneToAnswer:
        return "no one can see or answer the question here, where the window station is not visible; "
               "nothing was touched: use /S to remove without asking";
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
    ended_ = true;
}

void RunLog::EndForNoMemory() const {
    // The same line as End(kExitNoMemory) writes, made without the heap.
    if (!ended_) platform::WriteLogLineWithoutHeap(file_, "exit\tstatus\t1\tout of memory");
}

void RunLog::Refused(const std::string& argument, const std::string& why) {
    if (!file_.IsOpen()) return;
    Line(Fields("refused", "switch", argument, why));
}

void RunLog::Line(const std::string& fields) {
    platform::WriteToLog(file_, platform::LocalTimeText() + "\t" + fields + "\r\n");
}

// The run checker: what may be gone after a run (the listed files, the listed
// directories and the parents their rules reach, the install chain, the two INI
// files, the product's programs entry and the monitor's keys), what must be gone
// where nothing stood in the way, and how the run must end.
#include "tests/property/run_oracle.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "app/exit_status.h"
#include "platform/platform.h"
#include "run/uninstall_run.h"

namespace oracle {
namespace {

const char kProgramsList[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kMonitors[] = "System\\CurrentControlSet\\Control\\Print\\Monitors";
const char kPrinters[] = "System\\CurrentControlSet\\Control\\Print\\Printers";
const char kListFile[] = "ZEVFList.ini";
const char kStringsFile[] = "ZEVUnins.ini";
const char kWindowsDir[] = "C:\\windows";
const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";

// Stands in a text's shape for the second byte of a two-byte character; no rule looks for it.
constexpr char kSecondByte = '\x7F';

// `text` with every second byte of a two-byte character replaced by
// kSecondByte: a backslash, slash, dot, blank, colon or letter found in the
// shape is a character of its own where it stands, and at the same offset in
// the text.
std::string Shape(const std::string& text, unsigned codePage) {
    std::string shape = text;
    if (codePage != 932) return shape;
    for (std::size_t i = 0; i + 1 < shape.size(); ++i)
        if (StartsTwoByteChar(static_cast<unsigned char>(shape[i]), codePage)) shape[++i] = kSecondByte;
    return shape;
}

// `text`, whose shape is `shape`, with its single-byte letters A-Z in lower case.
std::string Folded(const std::string& text, const std::string& shape) {
    std::string folded = text;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] >= 'A' && shape[i] <= 'Z') folded[i] = static_cast<char>(shape[i] - 'A' + 'a');
    return folded;
}

std::string Fold(const std::string& text, unsigned codePage) {
    return Folded(text, Shape(text, codePage));
}

// `use(at, count)` for each name between backslashes in the text whose shape
// is `shape`, from `from` on; empty names left out.
template <typename Use>
void ForEachName(const std::string& shape, std::size_t from, Use use) {
    for (std::size_t start = from; start < shape.size();) {
        std::size_t end = shape.find('\\', start);
        if (end == std::string::npos) end = shape.size();
        if (end > start) use(start, end - start);
        start = end + 1;
    }
}

// `text` without the separators it ends in: "/" is read as "\\".
std::string WithoutTrailingBackslashes(const std::string& text, unsigned codePage) {
    const std::string shape = Shape(text, codePage);
    std::size_t end = shape.size();
    while (end > 0 && (shape[end - 1] == '\\' || shape[end - 1] == '/')) --end;
    return text.substr(0, end);
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// A registry key path as the registry reads it: runs of backslashes count as
// one, case does not count.
std::string KeyPath(const std::string& path, unsigned codePage) {
    const std::string shape = Shape(path, codePage);
    const std::string folded = Folded(path, shape);
    std::string canonical;
    ForEachName(shape, 0, [&](std::size_t at, std::size_t count) {
        if (!canonical.empty()) canonical += '\\';
        canonical.append(folded, at, count);
    });
    return canonical;
}

// Whether the key path `key` is `top` or below it: `top` followed by a
// backslash that is a character of its own.
bool AtOrBelow(const std::string& key, const std::string& top, unsigned codePage) {
    if (top.empty()) return false;
    if (key == top) return true;
    return key.size() > top.size() && key.compare(0, top.size(), top) == 0 &&
           Shape(key, codePage)[top.size()] == '\\';
}

void AllKeysBelow(const std::string& path, unsigned codePage, std::set<std::string>* keys) {
    for (const std::string& name : fake::RegSubkeys(path)) {
        const std::string child = path.empty() ? name : path + "\\" + name;
        keys->insert(KeyPath(child, codePage));
        AllKeysBelow(child, codePage, keys);
    }
}

std::set<std::string> AllKeys(unsigned codePage) {
    std::set<std::string> keys;
    AllKeysBelow("", codePage, &keys);
    return keys;
}

// "NAME00" ... "NAME99", "NAME100": written here apart from the program's own.
std::string ListKey(const std::string& prefix, int index) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d", index);
    return prefix + digits;
}

std::string Shorten(const std::string& text) {
    std::string shown;
    for (char c : text.substr(0, 160)) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) {
            shown += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            shown += hex;
        }
    }
    if (text.size() > 160) shown += "...(" + std::to_string(text.size()) + " bytes)";
    return shown;
}

// The text as handed to a removal names no directory of its own: empty, a bare
// drive, a drive root or a share root.
bool NamesRootByText(const std::string& given, unsigned codePage) {
    std::string text = Shape(given, codePage);
    while (!text.empty() && IsSeparator(text.back())) text.pop_back();
    if (text.empty()) return true;
    if (text.size() == 2 && IsLetter(text[0]) && text[1] == ':') return true;
    if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
        int names = 0;
        bool inName = false;
        for (std::size_t i = 2; i < text.size(); ++i) {
            const bool separator = IsSeparator(text[i]);
            if (!separator && !inName) ++names;
            inName = !separator;
        }
        return names <= 2;
    }
    return false;
}

bool SamePrinterButPort(fake::Printer a, fake::Printer b) {
    a.port.clear();
    b.port.clear();
    return a.name == b.name && a.shareName == b.shareName && a.driverName == b.driverName &&
           a.comment == b.comment && a.location == b.location && a.sepFile == b.sepFile &&
           a.printProcessor == b.printProcessor && a.datatype == b.datatype && a.parameters == b.parameters &&
           a.attributes == b.attributes && a.priority == b.priority && a.defaultPriority == b.defaultPriority &&
           a.startTime == b.startTime && a.untilTime == b.untilTime;
}

std::string Quoted(const std::string& text) {
    return "\"" + Shorten(text) + "\"";
}

}  // namespace

std::string WinPath::Key() const {
    std::string key = root;
    for (const std::string& name : names) key += "\\" + name;
    return key;
}

bool StartsTwoByteChar(unsigned char byte, unsigned codePage) {
    return codePage == 932 && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

WinPath Resolve(const std::string& given, const WinPath& currentDir, unsigned codePage) {
    std::string path = given;
    std::string shape = Shape(given, codePage);
    for (std::size_t at = shape.find('/'); at != std::string::npos; at = shape.find('/', at + 1))
        path[at] = shape[at] = '\\';
    const std::string folded = Folded(path, shape);
    WinPath full;
    if (path.empty()) return full;
    std::size_t rest = 0;  // where the names below the root start
    if (shape.compare(0, 2, "\\\\") == 0) {
        const std::size_t serverEnd = shape.find('\\', 2);
        if (serverEnd == std::string::npos) return full;
        const std::size_t shareStart = shape.find_first_not_of('\\', serverEnd);
        if (shareStart == std::string::npos) return full;
        const std::size_t shareEnd = std::min(shape.find('\\', shareStart), shape.size());
        if (serverEnd == 2 || shareEnd == shareStart) return full;
        full.root = "\\\\" + folded.substr(2, serverEnd - 2) + "\\" + folded.substr(shareStart, shareEnd - shareStart);
        rest = shareEnd;
    } else if (path.size() >= 2 && IsLetter(shape[0]) && shape[1] == ':') {
        full.root = folded.substr(0, 2);
        rest = 2;
        if ((rest == path.size() || shape[rest] != '\\') && currentDir.root == full.root) full.names = currentDir.names;
    } else {
        full.root = currentDir.root;
        if (shape[0] != '\\') full.names = currentDir.names;
    }
    ForEachName(shape, rest, [&](std::size_t at, std::size_t count) {
        if (path.compare(at, count, "..") == 0) {
            if (!full.names.empty()) full.names.pop_back();
        } else if (path.compare(at, count, ".") != 0) {
            full.names.push_back(folded.substr(at, count));
        }
    });
    const bool trailingBackslash = rest < path.size() && shape.back() == '\\';
    if (!trailingBackslash && !full.names.empty()) {
        // Windows drops the dots and blanks the last name ends in.
        std::string& last = full.names.back();
        std::string lastShape = Shape(last, codePage);
        while (!lastShape.empty() && (lastShape.back() == '.' || lastShape.back() == ' ')) {
            lastShape.pop_back();
            last.pop_back();
        }
        if (last.empty()) full.names.pop_back();
    }
    full.valid = true;
    return full;
}

bool IsAbsoluteText(const std::string& path) {
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return true;
    return path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]);
}

RunCheck::Value RunCheck::Read(const std::string& section, const std::string& key, const std::string& def,
                               const std::string& file) const {
    const platform::ProfileValue read = platform::ReadProfileString(section, key, def, file);
    return Value{read.text, read.whole};
}

std::vector<RunCheck::Value> RunCheck::ReadList(const std::string& section, const std::string& prefix) const {
    std::vector<Value> values;
    for (int index = 0;; ++index) {
        Value value = Read(section, ListKey(prefix, index), "", kListFile);
        if (value.text.empty()) break;
        values.push_back(std::move(value));
    }
    return values;
}

RunCheck::RunCheck(MachineFacts facts) : facts_(std::move(facts)) {
    const unsigned cp = facts_.codePage;
    WinPath driveRoot;
    driveRoot.valid = true;
    driveRoot.root = "c:";
    // Wherever it was started, the program works from the Windows directory.
    cwd_ = Resolve(kWindowsDir, driveRoot, cp);

    installPath_ = Read("UNINSTALL", "PATH", "", kListFile);
    entry_ = Read("UnInstKey", "UnInstKey", "", kListFile);
    monitor_ = Read("LPR", "Monitor", "", kListFile);
    files_ = ReadList("FILES", "FILE");
    paths_ = ReadList("PATHS", "PATH");
    root_ = Read("STMPATHS", "ROOT", "", kListFile);
    stmPaths_ = ReadList("STMPATHS", "PATH");
    completeText_ = Read("STATIC", "MSGBOX00", "Uninstall is Complete", kStringsFile);
    completeCaption_ = Read("TITLE", "MSGBOX", "Complete", kStringsFile);
    restartLine_ = Read("STATIC", "MSGBOX01",
                        "Please restart Windows to finish removing the files that were in use.", kStringsFile);
    incompleteLine_ = Read("STATIC", "MSGBOX02", "Some items could not be removed.", kStringsFile);

    pathsBefore_ = fake::AllPaths();
    for (const std::string& path : pathsBefore_)
        if (fake::FileExists(path)) fileKeysBefore_.insert(Resolve(path, cwd_, cp).Key());
    regBefore_ = AllKeys(cp);
    for (const std::string& name : fake::RegSubkeys(kProgramsList)) {
        const std::string key = std::string(kProgramsList) + "\\" + name;
        entryValuesBefore_[Fold(name, cp)] = {fake::RegValueExists(key, "DisplayName"),
                                              fake::RegValueExists(key, "UninstallString"),
                                              fake::RegValueExists(key, "DisplayIcon")};
    }
    for (const std::string& name : facts_.printerNames) {
        fake::Printer printer;
        if (fake::GetPrinter(name, &printer)) printersBefore_[Fold(name, cp)] = printer;
    }
    monitorThereBefore_ = monitor_.Usable() && fake::RegKeyExists(std::string(kMonitors) + "\\" + monitor_.text);
    if (monitor_.Usable()) {
        const std::string ports = std::string(kMonitors) + "\\" + monitor_.text + "\\Ports";
        bool denied = false;
        for (const std::string& key : facts_.deniedKeys)
            denied = denied || KeyPath(key, cp) == KeyPath(ports, cp);
        if (!denied) monitorPorts_ = fake::RegSubkeys(ports);
    }
    fake::ClearCalls();
}

bool RunCheck::Locked(const WinPath& path) const {
    const unsigned cp = facts_.codePage;
    for (const std::string& text : facts_.lockedPaths)
        if (Resolve(text, cwd_, cp).Key() == path.Key()) return true;
    return false;
}

bool RunCheck::Loaded(const WinPath& path) const {
    for (const std::string& text : facts_.loadedPaths)
        if (Resolve(text, cwd_, facts_.codePage).Key() == path.Key()) return true;
    return false;
}

bool RunCheck::Denied(const WinPath& path) const {
    for (const std::string& text : facts_.deniedPaths)
        if (Resolve(text, cwd_, facts_.codePage).Key() == path.Key()) return true;
    return false;
}

bool RunCheck::ReadOnly(const WinPath& path) const {
    const unsigned cp = facts_.codePage;
    for (const std::string& text : facts_.readOnlyPaths)
        if (Resolve(text, cwd_, cp).Key() == path.Key()) return true;
    return false;
}

std::vector<std::string> RunCheck::Scheduled() const {
    std::vector<std::string> paths;
    if (!facts_.windows95) {
        // Pairs of source and target, each ending in a NUL; an empty target deletes.
        platform::RegValue value;
        if (!fake::RegGetValue(kSessionManager, "PendingFileRenameOperations", &value)) return paths;
        std::vector<std::string> texts;
        for (std::size_t start = 0; start < value.data.size();) {
            std::size_t end = value.data.find('\0', start);
            if (end == std::string::npos) end = value.data.size();
            texts.push_back(value.data.substr(start, end - start));
            start = end + 1;
        }
        for (std::size_t i = 0; i + 1 < texts.size(); i += 2) {
            if (!texts[i + 1].empty() || texts[i].compare(0, 4, "\\??\\") != 0) {
                paths.push_back("(not a deletion: " + texts[i] + ")");
                continue;
            }
            paths.push_back(texts[i].substr(4));
        }
        return paths;
    }
    // WININIT.INI: "NUL=<path>" lines of [rename], one per file.
    std::string content;
    if (!fake::ReadFileContent(std::string(kWindowsDir) + "\\WININIT.INI", &content)) return paths;
    bool inRename = false;
    for (std::size_t start = 0; start < content.size();) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inRename = Fold(line, 1252) == "[rename]";
        } else if (inRename && line.compare(0, 4, "NUL=") == 0) {
            paths.push_back(line.substr(4));
        }
    }
    return paths;
}

std::string RunCheck::Describe() const {
    std::string text = "install path " + Quoted(installPath_.text) + (installPath_.whole ? "" : " (cut)") +
                       ", entry " + Quoted(entry_.text) + ", monitor " + Quoted(monitor_.text) + ", root " +
                       Quoted(root_.text) + (root_.whole ? "" : " (cut)") + "\n";
    const auto list = [&text](const char* name, const std::vector<Value>& values) {
        for (std::size_t i = 0; i < values.size(); ++i)
            text += std::string("  ") + name + std::to_string(i) + " " + Quoted(values[i].text) +
                    (values[i].whole ? "" : " (cut)") + "\n";
    };
    list("FILE", files_);
    list("PATH", paths_);
    list("STMPATH", stmPaths_);
    return text;
}

std::vector<std::string> RunCheck::Check(int exitStatus, bool answeredYes, bool silent) const {
    std::vector<std::string> out;
    if (!answeredYes) {
        if (exitStatus != kExitCancelled) out.push_back("a run not confirmed ended with " + std::to_string(exitStatus));
        if (fake::AllPaths() != pathsBefore_) out.push_back("a run not confirmed changed the files");
        if (AllKeys(facts_.codePage) != regBefore_) out.push_back("a run not confirmed changed the registry");
        for (const char* kind : {"DeleteFile", "RemoveDirectory", "RegDeleteKey", "RegDeleteValue", "SetPrinter",
                                 "DeletePort", "DeleteMonitor"})
            if (!fake::CallsOf(kind).empty()) out.push_back(std::string("a run not confirmed called ") + kind);
        if (fake::Boxes().size() != 1) out.push_back("a run not confirmed showed more than its question");
        if (fake::DialogShown()) out.push_back("a run not confirmed showed the progress dialog");
        return out;
    }
    // Done, or done but for what goes at the next restart, or not everything gone.
    const bool restart = !Scheduled().empty();
    stayed_ = false;
    CheckFiles(&out);
    CheckRegistry(&out);
    if (exitStatus != (stayed_ ? kExitIncomplete : restart ? kExitRestartNeeded : kExitCompleted))
        out.push_back("the run ended with " + std::to_string(exitStatus) + (restart ? " with" : " without") +
                      " something to go at the next restart, and " + (stayed_ ? "with" : "without") +
                      " something refused");
    CheckScreen(restart, stayed_, silent, &out);
    CheckPrinters(&out);
    if (fake::OpenRegistryKeys() != 0) out.push_back("registry keys left open");
    if (fake::OpenPrinters() != 0) out.push_back("printers left open");
    if (fake::LivePrinterSnapshots() != 0) out.push_back("printer snapshots not released");
    // One line for each fault, however often the run made it.
    std::vector<std::string> unique;
    for (const std::string& line : out)
        if (std::find(unique.begin(), unique.end(), line) == unique.end()) unique.push_back(line);
    return unique;
}

void RunCheck::CheckScreen(bool restart, bool stayed, bool silent, std::vector<std::string>* out) const {
    const auto& boxes = fake::Boxes();
    if (silent) {
        if (!boxes.empty()) out->push_back("a silent run showed " + std::to_string(boxes.size()) + " boxes");
        if (fake::DialogShown() || !fake::CallsOf("DialogBox").empty())
            out->push_back("a silent run made the progress dialog");
        return;
    }
    if (boxes.size() != 2) {
        out->push_back("the run showed " + std::to_string(boxes.size()) + " boxes, not the question and the completion");
    } else {
        const fake::ShownBox& done = boxes[1];
        const std::string text = completeText_.text + (stayed ? "\n" + incompleteLine_.text : "") +
                                 (restart ? "\n" + restartLine_.text : "");
        if (done.buttons != platform::BoxButtons::Ok || done.text != text ||
            !done.hasCaption || done.caption != completeCaption_.text)
            out->push_back("the completion box showed " + Quoted(done.text) + " / " + Quoted(done.caption));
    }
    if (!fake::DialogShown()) out->push_back("the progress dialog was not shown");
    const std::vector<std::string> dialogs = fake::CallsOf("ProgressDialog");
    if (dialogs.size() != 1 || fake::CallsOf("CloseProgressDialog").size() != 1) {
        out->push_back("the progress dialog and its bar were not made and closed once");
        return;
    }
    // The bar moves forward only, and ends exactly full.
    const std::string steps = dialogs[0].substr(dialogs[0].find(' ') + 1);
    const std::vector<std::string> positions = fake::CallsOf("SetPos");
    long long last = 0;
    for (const std::string& position : positions) {
        const long long now = std::stoll(position);
        if (now <= last) out->push_back("the bar went from " + std::to_string(last) + " to " + position);
        last = now;
    }
    const fake::ProgressBar& bar = fake::Bar();
    if (std::to_string(bar.rangeUpper) != steps || std::to_string(last) != steps || bar.position != last)
        out->push_back("the bar of " + steps + " steps ended at " + std::to_string(last) + " (it shows " +
                       std::to_string(bar.position) + " of " + std::to_string(bar.rangeUpper) + ")");
}

void RunCheck::CheckFiles(std::vector<std::string>* out) const {
    const unsigned cp = facts_.codePage;
    std::set<std::string> allowedFiles, allowedDirs;
    std::set<std::string> listedFileTexts;
    // A listed directory as written, and without its trailing backslashes.
    std::set<std::string> listedDirTexts;
    const auto listDirectory = [&listedDirTexts, cp](const std::string& text) {
        listedDirTexts.insert(text);
        listedDirTexts.insert(WithoutTrailingBackslashes(text, cp));
    };
    const auto addWithAncestors = [&allowedDirs](const WinPath& path, std::size_t keepAtLeast) {
        WinPath prefix = path;
        while (prefix.names.size() >= std::max<std::size_t>(keepAtLeast, 1)) {
            allowedDirs.insert(prefix.Key());
            prefix.names.pop_back();
        }
    };
    // Only full paths are acted on: a drive's root or a share's, both named.
    const auto full = [this, cp](const std::string& text) {
        return IsAbsoluteText(text) && Resolve(text, cwd_, cp).valid;
    };

    for (const Value& file : files_) {
        if (!file.whole || !full(file.text)) continue;
        listedFileTexts.insert(file.text);
        const WinPath path = Resolve(file.text, cwd_, cp);
        if (path.valid && !path.IsRoot()) allowedFiles.insert(path.Key());
    }
    for (const char* name : {kListFile, kStringsFile})
        allowedFiles.insert(Resolve(std::string(kWindowsDir) + "\\" + name, cwd_, cp).Key());
    for (const Value& dir : paths_) {
        if (!dir.whole || !full(dir.text)) continue;
        listDirectory(dir.text);
        addWithAncestors(Resolve(dir.text, cwd_, cp), 1);
    }
    // The retried directories stop below ROOT, which is either empty or a full
    // path; an entry that names ROOT itself is passed over.
    const WinPath root = Resolve(root_.text, cwd_, cp);
    const bool rootUsable = root_.whole && (root_.text.empty() || full(root_.text));
    for (const Value& dir : stmPaths_) {
        if (!dir.whole || !rootUsable || !full(dir.text)) continue;
        const WinPath path = Resolve(dir.text, cwd_, cp);
        if (root_.Usable() && path.Key() == root.Key()) continue;
        listDirectory(dir.text);
        addWithAncestors(path, path.names.size());
        WinPath parent = path;
        if (parent.names.empty()) continue;
        parent.names.pop_back();
        if (root_.Usable() && parent.Key() == root.Key()) continue;
        addWithAncestors(parent, parent.names.size());
    }
    if (installPath_.Usable() && full(installPath_.text)) addWithAncestors(Resolve(installPath_.text, cwd_, cp), 1);

    // What went, and nothing new.
    const std::vector<std::string> after = fake::AllPaths();
    std::vector<std::string> removed, added;
    std::set_difference(pathsBefore_.begin(), pathsBefore_.end(), after.begin(), after.end(),
                        std::back_inserter(removed));
    std::set_difference(after.begin(), after.end(), pathsBefore_.begin(), pathsBefore_.end(),
                        std::back_inserter(added));
    const std::vector<std::string> scheduled = Scheduled();
    const std::string wininit = Resolve(std::string(kWindowsDir) + "\\WININIT.INI", cwd_, cp).Key();
    std::set<std::string> scheduledKeys;
    for (const std::string& given : scheduled) scheduledKeys.insert(Resolve(given, cwd_, cp).Key());
    // A file in use moved aside beside its listed name, to go at the restart.
    const auto movedAside = [&](const std::string& given) {
        const WinPath path = Resolve(given, cwd_, cp);
        const std::size_t mark = path.Key().rfind(".zevdel");
        if (!path.valid || mark == std::string::npos || scheduledKeys.count(path.Key()) == 0) return false;
        return allowedFiles.count(path.Key().substr(0, mark)) != 0;
    };
    for (const std::string& path : added) {
        // The 95 family's list of what goes at the next restart.
        if (facts_.windows95 && !scheduled.empty() && Resolve(path, cwd_, cp).Key() == wininit) continue;
        if (movedAside(path)) continue;
        out->push_back("the run made " + Quoted(path));
    }
    // Only what the list allows goes at the next restart, and a directory only
    // where nothing but what goes with it is left in it; nothing on a share.
    for (const std::string& given : scheduled) {
        const WinPath path = Resolve(given, cwd_, cp);
        const bool isDir = fake::DirectoryExists(given);
        if (path.valid && path.root.compare(0, 2, "\\\\") == 0)
            out->push_back("the run has Windows delete " + Quoted(given) + ", on a share, at the restart");
        if (movedAside(given)) continue;
        if (!path.valid || (isDir ? allowedDirs.count(path.Key()) == 0 && listedDirTexts.count(given) == 0
                                  : allowedFiles.count(path.Key()) == 0 && listedFileTexts.count(given) == 0))
            out->push_back("the run has Windows delete " + Quoted(given) + " at the restart, which it was not told to");
        if (isDir && facts_.windows95) out->push_back("a directory in WININIT.INI: " + Quoted(given));
        if (!isDir) continue;
        const std::string below = path.Key() + "\\";
        for (const std::string& left : after) {
            const std::string key = Resolve(left, cwd_, cp).Key();
            if (key.compare(0, below.size(), below) == 0 && key.find('\\', below.size()) == std::string::npos &&
                scheduledKeys.count(key) == 0)
                out->push_back("directory " + Quoted(given) + " goes at the restart while " + Quoted(left) +
                               " stays in it");
        }
    }
    // Attributes change only on the listed files.
    for (const std::string& call : fake::CallsOf("SetFileAttributes")) {
        const std::string given = call.substr(0, call.rfind(' '));
        const WinPath path = Resolve(given, cwd_, cp);
        if (listedFileTexts.count(given) == 0 && (!path.valid || allowedFiles.count(path.Key()) == 0))
            out->push_back("the attributes of " + Quoted(given) + " changed, which is not listed");
    }
    for (const std::string& path : removed) {
        const std::string key = Resolve(path, cwd_, cp).Key();
        const bool wasFile = fileKeysBefore_.count(key) != 0;
        if (wasFile ? allowedFiles.count(key) == 0 : allowedDirs.count(key) == 0)
            out->push_back(std::string("the run removed ") + (wasFile ? "file " : "directory ") + Quoted(path) +
                           ", which it was not told to");
    }

    // What was asked of Windows, whether it could be done or not.
    const auto checkRequest = [&](const std::string& kind, const std::string& given, bool allowed) {
        if (!allowed) out->push_back(kind + " " + Quoted(given) + " names nothing the list allows");
        if (kind == "RemoveDirectory" && NamesRootByText(given, cp))
            out->push_back(kind + " " + Quoted(given) + " names a drive or share root");
        if (!IsAbsoluteText(given))
            out->push_back(kind + " " + Quoted(given) + " is not a full path");
        else if (NamesRootByText(given, cp) || Resolve(given, cwd_, cp).IsRoot())
            out->push_back(kind + " " + Quoted(given) + " names a root");
    };
    for (const std::string& given : fake::CallsOf("DeleteFile")) {
        const WinPath path = Resolve(given, cwd_, cp);
        checkRequest("DeleteFile", given,
                     listedFileTexts.count(given) != 0 || (path.valid && allowedFiles.count(path.Key()) != 0));
    }
    for (const std::string& given : fake::CallsOf("RemoveDirectory")) {
        const WinPath path = Resolve(given, cwd_, cp);
        const bool listed = listedDirTexts.count(given) != 0;
        // A path Windows cannot resolve (\\server\\share) names nothing to remove.
        checkRequest("RemoveDirectory", given,
                     listed || !path.valid || (!path.IsRoot() && allowedDirs.count(path.Key()) != 0));
    }

    // What had to go, where nothing stood in its way.
    for (const Value& file : files_) {
        if (!file.whole || !full(file.text)) continue;
        const WinPath path = Resolve(file.text, cwd_, cp);
        if (Shape(file.text, cp).back() == '\\') continue;  // "name\" names a directory
        if (!path.valid || fileKeysBefore_.count(path.Key()) == 0) continue;
        // Read-only ones too; one in use goes at the next restart, but from a share.
        const bool onShare = path.root.compare(0, 2, "\\\\") == 0;
        const bool there = fake::FileExists(file.text) || fake::DirectoryExists(file.text);
        if (there && scheduledKeys.count(path.Key()) == 0) stayed_ = true;
        if (fake::FileExists(file.text) && !(Locked(path) && scheduledKeys.count(path.Key()) != 0) &&
            !Denied(path) && !(onShare && (Locked(path) || Loaded(path))))
            out->push_back("listed file " + Quoted(file.text) + (Locked(path) ? ", in use, was neither removed nor scheduled" : " was left"));
    }
    // A directory the run tried to remove that Windows refuses, held or not: it stayed.
    std::set<std::string> triedDirs;
    for (const std::string& given : fake::CallsOf("RemoveDirectory")) triedDirs.insert(given);
    for (const std::string& given : triedDirs) {
        const WinPath path = Resolve(given, cwd_, cp);
        if (path.valid && !path.IsRoot() && scheduledKeys.count(path.Key()) == 0 &&
            (fake::FileExists(given) || (fake::DirectoryExists(given) && (Locked(path) || ReadOnly(path) || Denied(path)))))
            stayed_ = true;
    }
    for (const char* name : {kListFile, kStringsFile}) {
        const std::string path = std::string(kWindowsDir) + "\\" + name;
        const WinPath resolved = Resolve(path, cwd_, cp);
        if (fake::FileExists(path) && scheduledKeys.count(resolved.Key()) == 0) stayed_ = true;
        if (fake::FileExists(path) && !(Locked(resolved) && scheduledKeys.count(resolved.Key()) != 0) &&
            !Denied(resolved))
            out->push_back(std::string(name) + " was left");
    }
}

void RunCheck::CheckRegistry(std::vector<std::string>* out) const {
    const unsigned cp = facts_.codePage;
    const std::string list = KeyPath(kProgramsList, cp);
    // One name under the programs list: no backslash that is a character of
    // its own (a second byte 0x5C is none).
    const std::string entryShape = entry_.Usable() ? Shape(entry_.text, cp) : "";
    const bool entryNamed = !entryShape.empty() && entryShape.find('\\') == std::string::npos;
    const std::string entryKey = entryNamed ? KeyPath(std::string(kProgramsList) + "\\" + entry_.text, cp) : "";
    std::string monitorKey = monitor_.Usable() ? KeyPath(std::string(kMonitors) + "\\" + monitor_.text, cp) : "";
    if (monitorKey == KeyPath(kMonitors, cp)) monitorKey.clear();

    // A printer that arrives during the enumeration brings its key, and the
    // Printers key itself when it is the first.
    const std::string arriving =
        facts_.racing ? KeyPath(std::string(kPrinters) + "\\" + facts_.racingPrinter.name, cp) : "";
    const bool scheduled = !Scheduled().empty();
    const std::set<std::string> after = AllKeys(cp);
    for (const std::string& key : after) {
        if (regBefore_.count(key) != 0) continue;
        if (AtOrBelow(key, arriving, cp) || AtOrBelow(arriving, key, cp)) continue;
        // Where the NT family keeps what goes at the next restart.
        if (!facts_.windows95 && scheduled && AtOrBelow(KeyPath(kSessionManager, cp), key, cp)) continue;
        out->push_back("the run made key " + Quoted(key));
    }
    for (const std::string& key : regBefore_) {
        if (after.count(key) != 0) continue;
        if (!AtOrBelow(key, entryKey, cp) && !AtOrBelow(key, monitorKey, cp))
            out->push_back("the run deleted key " + Quoted(key) + ", neither the entry nor the monitor's");
    }
    for (const auto& [name, values] : entryValuesBefore_) {
        const std::string key = list + "\\" + name;
        if (AtOrBelow(key, entryKey, cp)) continue;
        const std::string path = std::string(kProgramsList) + "\\" + name;
        const std::vector<bool> now = {fake::RegValueExists(path, "DisplayName"),
                                       fake::RegValueExists(path, "UninstallString"),
                                       fake::RegValueExists(path, "DisplayIcon")};
        if (now != values) out->push_back("another product's entry " + Quoted(name) + " lost a value");
    }
    if (monitorThereBefore_ && fake::RegKeyExists(std::string(kMonitors) + "\\" + monitor_.text)) stayed_ = true;
    if (entryNamed && regBefore_.count(entryKey) != 0) {
        bool denied = false;
        for (const std::string& key : facts_.deniedKeys) denied = denied || KeyPath(key, cp) == entryKey;
        const std::string path = std::string(kProgramsList) + "\\" + entry_.text;
        if (fake::RegKeyExists(path) && (denied || fake::RegValueExists(path, "DisplayName") ||
                                         fake::RegValueExists(path, "UninstallString")))
            stayed_ = true;
        if (!denied && fake::RegKeyExists(path) &&
            (fake::RegValueExists(path, "DisplayName") || fake::RegValueExists(path, "UninstallString")))
            out->push_back("the product's entry " + Quoted(entry_.text) + " is still listed");
    }
}

void RunCheck::CheckPrinters(std::vector<std::string>* out) const {
    const unsigned cp = facts_.codePage;
    const bool enumerated = !fake::CallsOf("EnumPrinters").empty();
    // With five or more arrivals in a row the spooler's list is never had: nothing moves.
    const bool snapshotHad = !facts_.racing || facts_.racingTimes < 5;
    const std::string parallel = facts_.windows95 ? "LPT1" : "LPT1:";
    for (const std::string& name : facts_.printerNames) {
        fake::Printer before;
        const auto found = printersBefore_.find(Fold(name, cp));
        if (found != printersBefore_.end()) {
            before = found->second;
        } else if (facts_.racing && Fold(facts_.racingPrinter.name, cp) == Fold(name, cp) && enumerated) {
            before = facts_.racingPrinter;
        } else {
            continue;
        }
        fake::Printer now;
        if (!fake::GetPrinter(name, &now)) {
            out->push_back("printer " + Quoted(name) + " is gone");
            continue;
        }
        bool onMonitorPort = false;
        for (const std::string& port : monitorPorts_)
            onMonitorPort = onMonitorPort || Fold(port, cp) == Fold(before.port, cp);
        bool refused = false;
        for (const std::string& other : facts_.refusedPrinters)
            refused = refused || Fold(other, cp) == Fold(name, cp);
        const bool mustMove = onMonitorPort && monitor_.Usable() && !refused && snapshotHad;
        if (!SamePrinterButPort(before, now)) out->push_back("printer " + Quoted(name) + " lost a setting");
        if (mustMove && now.port != parallel)
            out->push_back("printer " + Quoted(name) + " on the monitor's port " + Quoted(before.port) +
                           " was left on " + Quoted(now.port));
        if (!onMonitorPort && now.port != before.port)
            out->push_back("printer " + Quoted(name) + " on " + Quoted(before.port) + ", not the monitor's, moved to " +
                           Quoted(now.port));
    }
}

}  // namespace oracle

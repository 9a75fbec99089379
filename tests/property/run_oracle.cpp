// The run checker: what may be gone after a run (the listed files, the listed
// directories and the parents their rules reach, the install chain, the two INI
// files, the product's programs entry and the monitor's keys), what must be gone
// where nothing stood in the way, and how the run must end.
#include "tests/property/run_oracle.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

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

std::string Fold(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// A registry key path as the registry reads it: runs of backslashes count as
// one, case does not count.
std::string KeyPath(const std::string& path) {
    std::string canonical;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) {
            if (!canonical.empty()) canonical += '\\';
            canonical += Fold(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return canonical;
}

bool AtOrBelow(const std::string& key, const std::string& top) {
    return !top.empty() && (key == top || key.compare(0, top.size() + 1, top + "\\") == 0);
}

void AllKeysBelow(const std::string& path, std::set<std::string>* keys) {
    for (const std::string& name : fake::RegSubkeys(path)) {
        const std::string child = path.empty() ? name : path + "\\" + name;
        keys->insert(KeyPath(child));
        AllKeysBelow(child, keys);
    }
}

std::set<std::string> AllKeys() {
    std::set<std::string> keys;
    AllKeysBelow("", &keys);
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
bool NamesRootByText(const std::string& given) {
    std::string text = given;
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

WinPath Resolve(const std::string& given, const WinPath& currentDir) {
    std::string path = given;
    std::replace(path.begin(), path.end(), '/', '\\');
    WinPath full;
    if (path.empty()) return full;
    std::string rest;
    if (path.compare(0, 2, "\\\\") == 0) {
        const std::size_t serverEnd = path.find('\\', 2);
        if (serverEnd == std::string::npos) return full;
        const std::size_t shareStart = path.find_first_not_of('\\', serverEnd);
        if (shareStart == std::string::npos) return full;
        const std::size_t shareEnd = path.find('\\', shareStart);
        const std::string server = path.substr(2, serverEnd - 2);
        const std::string share = shareEnd == std::string::npos ? path.substr(shareStart)
                                                                : path.substr(shareStart, shareEnd - shareStart);
        if (server.empty() || share.empty()) return full;
        full.root = Fold("\\\\" + server + "\\" + share);
        if (shareEnd != std::string::npos) rest = path.substr(shareEnd);
    } else if (path.size() >= 2 && IsLetter(path[0]) && path[1] == ':') {
        full.root = Fold(path.substr(0, 2));
        rest = path.substr(2);
        if ((rest.empty() || rest[0] != '\\') && currentDir.root == full.root) full.names = currentDir.names;
    } else {
        full.root = currentDir.root;
        if (path[0] != '\\') full.names = currentDir.names;
        rest = path;
    }
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find('\\', start);
        if (end == std::string::npos) end = rest.size();
        const std::string name = rest.substr(start, end - start);
        if (name == "..") {
            if (!full.names.empty()) full.names.pop_back();
        } else if (!name.empty() && name != ".") {
            full.names.push_back(Fold(name));
        }
        start = end + 1;
    }
    const bool trailingBackslash = !rest.empty() && rest.back() == '\\';
    if (!trailingBackslash && !full.names.empty()) {
        std::string& last = full.names.back();
        while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
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
    WinPath driveRoot;
    driveRoot.valid = true;
    driveRoot.root = "c:";
    cwd_ = Resolve(facts_.currentDir, driveRoot);

    installPath_ = Read("UNINSTALL", "PATH", "", kListFile);
    entry_ = Read("UnInstKey", "UnInstKey", "", kListFile);
    monitor_ = Read("LPR", "Monitor", "", kListFile);
    files_ = ReadList("FILES", "FILE");
    paths_ = ReadList("PATHS", "PATH");
    root_ = Read("STMPATHS", "ROOT", "", kListFile);
    stmPaths_ = ReadList("STMPATHS", "PATH");
    completeText_ = Read("STATIC", "MSGBOX00", "Uninstall is Complete", kStringsFile);
    completeCaption_ = Read("TITLE", "MSGBOX", "Complete", kStringsFile);

    pathsBefore_ = fake::AllPaths();
    for (const std::string& path : pathsBefore_)
        if (fake::FileExists(path)) fileKeysBefore_.insert(Resolve(path, cwd_).Key());
    regBefore_ = AllKeys();
    for (const std::string& name : fake::RegSubkeys(kProgramsList)) {
        const std::string key = std::string(kProgramsList) + "\\" + name;
        entryValuesBefore_[Fold(name)] = {fake::RegValueExists(key, "DisplayName"),
                                          fake::RegValueExists(key, "UninstallString"),
                                          fake::RegValueExists(key, "DisplayIcon")};
    }
    for (const std::string& name : facts_.printerNames) {
        fake::Printer printer;
        if (fake::GetPrinter(name, &printer)) printersBefore_[Fold(name)] = printer;
    }
    if (monitor_.Usable()) {
        const std::string ports = std::string(kMonitors) + "\\" + monitor_.text + "\\Ports";
        bool denied = false;
        for (const std::string& key : facts_.deniedKeys) denied = denied || KeyPath(key) == KeyPath(ports);
        if (!denied) monitorPorts_ = fake::RegSubkeys(ports);
    }
    fake::ClearCalls();
}

bool RunCheck::Protected(const WinPath& path) const {
    for (const std::string& text : facts_.protectedPaths)
        if (Resolve(text, cwd_).Key() == path.Key()) return true;
    return false;
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

std::vector<std::string> RunCheck::Check(int exitStatus, bool answeredYes) const {
    std::vector<std::string> out;
    if (!answeredYes) {
        if (exitStatus != 1602) out.push_back("a run not confirmed ended with " + std::to_string(exitStatus));
        if (fake::AllPaths() != pathsBefore_) out.push_back("a run not confirmed changed the files");
        if (AllKeys() != regBefore_) out.push_back("a run not confirmed changed the registry");
        for (const char* kind : {"DeleteFile", "RemoveDirectory", "RegDeleteKey", "RegDeleteValue", "SetPrinter",
                                 "DeletePort", "DeleteMonitor"})
            if (!fake::CallsOf(kind).empty()) out.push_back(std::string("a run not confirmed called ") + kind);
        if (fake::Boxes().size() != 1) out.push_back("a run not confirmed showed more than its question");
        if (fake::DialogShown()) out.push_back("a run not confirmed showed the progress dialog");
        return out;
    }
    if (exitStatus != 0) out.push_back("the run ended with " + std::to_string(exitStatus));
    CheckScreen(&out);
    CheckFiles(&out);
    CheckRegistry(&out);
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

void RunCheck::CheckScreen(std::vector<std::string>* out) const {
    const auto& boxes = fake::Boxes();
    if (boxes.size() != 2) {
        out->push_back("the run showed " + std::to_string(boxes.size()) + " boxes, not the question and the completion");
    } else {
        const fake::ShownBox& done = boxes[1];
        if (done.buttons != platform::BoxButtons::Ok || done.text != completeText_.text ||
            !done.hasCaption || done.caption != completeCaption_.text)
            out->push_back("the completion box showed " + Quoted(done.text) + " / " + Quoted(done.caption));
    }
    if (!fake::DialogShown()) out->push_back("the progress dialog was not shown");
    if (fake::CallsOf("EndDialog") != std::vector<std::string>{"1"}) out->push_back("the progress dialog did not end once");
    const fake::ProgressBar& bar = fake::Bar();
    if (!bar.exists || bar.rangeMessages != 1 || bar.step != 1)
        out->push_back("the bar was not prepared once with a step of 1");
    if (static_cast<uint32_t>(g_stepsTaken) != bar.rangeUpper ||
        static_cast<uint32_t>(bar.visiblePosition) != bar.rangeUpper)
        out->push_back("the run took " + std::to_string(g_stepsTaken) + " steps over a range of " +
                       std::to_string(bar.rangeUpper) + " (the bar shows " + std::to_string(bar.visiblePosition) + ")");
}

void RunCheck::CheckFiles(std::vector<std::string>* out) const {
    std::set<std::string> allowedFiles, allowedDirs;
    std::set<std::string> listedFileTexts, listedDirTexts;
    const auto addWithAncestors = [&allowedDirs](const WinPath& path, std::size_t keepAtLeast) {
        WinPath prefix = path;
        while (prefix.names.size() >= std::max<std::size_t>(keepAtLeast, 1)) {
            allowedDirs.insert(prefix.Key());
            prefix.names.pop_back();
        }
    };
    bool allAbsolute = true;
    const auto note = [&allAbsolute](const Value& value) {
        if (value.Usable() && !IsAbsoluteText(value.text)) allAbsolute = false;
    };

    for (const Value& file : files_) {
        if (!file.whole) continue;
        note(file);
        listedFileTexts.insert(file.text);
        const WinPath path = Resolve(file.text, cwd_);
        if (path.valid && !path.IsRoot()) allowedFiles.insert(path.Key());
    }
    for (const char* name : {kListFile, kStringsFile})
        allowedFiles.insert(Resolve(std::string(kWindowsDir) + "\\" + name, cwd_).Key());
    for (const Value& dir : paths_) {
        if (!dir.whole) continue;
        note(dir);
        listedDirTexts.insert(dir.text);
        addWithAncestors(Resolve(dir.text, cwd_), 1);
    }
    // The retried directories stop below ROOT; only where both are written in
    // full can ROOT be told apart from the current directory's names.
    const WinPath root = Resolve(root_.text, cwd_);
    for (const Value& dir : stmPaths_) {
        if (!dir.whole || !root_.whole) continue;
        note(dir);
        listedDirTexts.insert(dir.text);
        const WinPath path = Resolve(dir.text, cwd_);
        addWithAncestors(path, path.names.size());
        WinPath parent = path;
        if (parent.names.empty()) continue;
        parent.names.pop_back();
        const bool rootKnown = root_.Usable() && IsAbsoluteText(root_.text) && IsAbsoluteText(dir.text);
        if (rootKnown && root.valid && parent.Key() == root.Key()) continue;
        addWithAncestors(parent, parent.names.size());
    }
    if (installPath_.Usable()) {
        note(installPath_);
        addWithAncestors(Resolve(installPath_.text, cwd_), 1);
    }

    // What went, and nothing new.
    const std::vector<std::string> after = fake::AllPaths();
    std::vector<std::string> removed, added;
    std::set_difference(pathsBefore_.begin(), pathsBefore_.end(), after.begin(), after.end(),
                        std::back_inserter(removed));
    std::set_difference(after.begin(), after.end(), pathsBefore_.begin(), pathsBefore_.end(),
                        std::back_inserter(added));
    for (const std::string& path : added) out->push_back("the run made " + Quoted(path));
    for (const std::string& path : removed) {
        const std::string key = Resolve(path, cwd_).Key();
        const bool wasFile = fileKeysBefore_.count(key) != 0;
        if (wasFile ? allowedFiles.count(key) == 0 : allowedDirs.count(key) == 0)
            out->push_back(std::string("the run removed ") + (wasFile ? "file " : "directory ") + Quoted(path) +
                           ", which it was not told to");
    }

    // What was asked of Windows, whether it could be done or not.
    const auto checkRequest = [&](const std::string& kind, const std::string& given, bool allowed) {
        if (!allowed) out->push_back(kind + " " + Quoted(given) + " names nothing the list allows");
        if (kind == "RemoveDirectory" && NamesRootByText(given))
            out->push_back(kind + " " + Quoted(given) + " names a drive or share root");
        if (allAbsolute) {
            if (!IsAbsoluteText(given))
                out->push_back(kind + " " + Quoted(given) + " is relative though the list named only full paths");
            else if (NamesRootByText(given) || Resolve(given, cwd_).IsRoot())
                out->push_back(kind + " " + Quoted(given) + " names a root though the list named only full paths");
        }
    };
    for (const std::string& given : fake::CallsOf("DeleteFile")) {
        const WinPath path = Resolve(given, cwd_);
        checkRequest("DeleteFile", given,
                     listedFileTexts.count(given) != 0 || (path.valid && allowedFiles.count(path.Key()) != 0));
    }
    for (const std::string& given : fake::CallsOf("RemoveDirectory")) {
        const WinPath path = Resolve(given, cwd_);
        bool listed = false;
        for (const std::string& text : listedDirTexts) {
            std::string bare = text;
            while (!bare.empty() && bare.back() == '\\') bare.pop_back();
            listed = listed || bare == given || text == given;
        }
        // A path Windows cannot resolve (\\server\\share) names nothing to remove.
        checkRequest("RemoveDirectory", given,
                     listed || !path.valid || (!path.IsRoot() && allowedDirs.count(path.Key()) != 0));
    }

    // What had to go, where nothing stood in its way.
    for (const Value& file : files_) {
        if (!file.whole) continue;
        const WinPath path = Resolve(file.text, cwd_);
        if (!path.valid || fileKeysBefore_.count(path.Key()) == 0 || Protected(path)) continue;
        if (file.text.back() == '\\') continue;  // "name\" names a directory
        if (fake::FileExists(file.text)) out->push_back("listed file " + Quoted(file.text) + " was left");
    }
    for (const char* name : {kListFile, kStringsFile}) {
        const std::string path = std::string(kWindowsDir) + "\\" + name;
        if (fake::FileExists(path) && !Protected(Resolve(path, cwd_))) out->push_back(std::string(name) + " was left");
    }
}

void RunCheck::CheckRegistry(std::vector<std::string>* out) const {
    const std::string list = KeyPath(kProgramsList);
    // One name under the programs list: no leading, trailing or doubled backslash.
    const bool entryNamed = entry_.Usable() && entry_.text.front() != '\\' && entry_.text.back() != '\\' &&
                            entry_.text.find("\\\\") == std::string::npos;
    const std::string entryKey = entryNamed ? KeyPath(std::string(kProgramsList) + "\\" + entry_.text) : "";
    std::string monitorKey = monitor_.Usable() ? KeyPath(std::string(kMonitors) + "\\" + monitor_.text) : "";
    if (monitorKey == KeyPath(kMonitors)) monitorKey.clear();

    // A printer that arrives during the enumeration brings its key, and the
    // Printers key itself when it is the first.
    const std::string arriving =
        facts_.racing ? KeyPath(std::string(kPrinters) + "\\" + facts_.racingPrinter.name) : "";
    const std::set<std::string> after = AllKeys();
    for (const std::string& key : after) {
        if (regBefore_.count(key) != 0) continue;
        if (AtOrBelow(key, arriving) || AtOrBelow(arriving, key)) continue;
        out->push_back("the run made key " + Quoted(key));
    }
    for (const std::string& key : regBefore_) {
        if (after.count(key) != 0) continue;
        if (!AtOrBelow(key, entryKey) && !AtOrBelow(key, monitorKey))
            out->push_back("the run deleted key " + Quoted(key) + ", neither the entry nor the monitor's");
    }
    for (const auto& [name, values] : entryValuesBefore_) {
        const std::string key = list + "\\" + name;
        if (AtOrBelow(key, entryKey)) continue;
        const std::string path = std::string(kProgramsList) + "\\" + name;
        const std::vector<bool> now = {fake::RegValueExists(path, "DisplayName"),
                                       fake::RegValueExists(path, "UninstallString"),
                                       fake::RegValueExists(path, "DisplayIcon")};
        if (now != values) out->push_back("another product's entry " + Quoted(name) + " lost a value");
    }
    if (entryNamed && regBefore_.count(entryKey) != 0) {
        bool denied = false;
        for (const std::string& key : facts_.deniedKeys) denied = denied || KeyPath(key) == entryKey;
        const std::string path = std::string(kProgramsList) + "\\" + entry_.text;
        if (!denied && fake::RegKeyExists(path) &&
            (fake::RegValueExists(path, "DisplayName") || fake::RegValueExists(path, "UninstallString")))
            out->push_back("the product's entry " + Quoted(entry_.text) + " is still listed");
    }
}

void RunCheck::CheckPrinters(std::vector<std::string>* out) const {
    const bool enumerated = !fake::CallsOf("EnumPrinters").empty();
    // With five or more arrivals in a row the spooler's list is never had: nothing moves.
    const bool snapshotHad = !facts_.racing || facts_.racingTimes < 5;
    const std::string parallel = facts_.windows95 ? "LPT1" : "LPT1:";
    for (const std::string& name : facts_.printerNames) {
        fake::Printer before;
        const auto found = printersBefore_.find(Fold(name));
        if (found != printersBefore_.end()) {
            before = found->second;
        } else if (facts_.racing && Fold(facts_.racingPrinter.name) == Fold(name) && enumerated) {
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
        for (const std::string& port : monitorPorts_) onMonitorPort = onMonitorPort || Fold(port) == Fold(before.port);
        bool refused = false;
        for (const std::string& other : facts_.refusedPrinters) refused = refused || Fold(other) == Fold(name);
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

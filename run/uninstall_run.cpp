// The uninstall run: the file list read into a list of checked actions, and
// the run that carries them out in order under the progress bar.
#include "run/uninstall_run.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "path/dir_chain.h"
#include "path/path_names.h"
#include "path/win_path.h"
#include "print/monitor_removal.h"
#include "programs_entry/programs_entry.h"
#include "run/dir_rules.h"
#include "run/file_list.h"
#include "run/progress_meter.h"
#include "run/restart_list.h"

const char* KindName(ItemKind kind) {
    switch (kind) {
    case ItemKind::File:
        return "file";
    case ItemKind::Directory:
        return "directory";
    case ItemKind::ProgramsEntry:
        return "programs entry";
    case ItemKind::Monitor:
        return "monitor";
    case ItemKind::Port:
        return "port";
    case ItemKind::Printer:
        return "printer";
    }
    return "";
}

void RunOutcome::Add(ItemOutcome item) {
    // A port's failure counts only where its monitor stays too (see Monitor);
    // a printer that stays on a port keeps that port, and with it the monitor.
    if (item.result == ItemResult::Failed && item.kind != ItemKind::Port && item.kind != ItemKind::Printer)
        incomplete = true;
    items.push_back(std::move(item));
    if (onItem) onItem(items.back());
}

namespace {

using Action = UninstallAction;
using Type = UninstallAction::Type;

// Where the spooler is not running, what it would do is done in its registry.
constexpr const char* kInSpoolerRegistry = "in the spooler's registry, as the spooler is not running";

// ---------------------------------------------------------------- reading the plan

// Why a listed value may not be acted on; null when it may. Only full paths
// are acted on: anything else would be read from the current directory.
const char* WhyNotAFile(const platform::ProfileValue& file) {
    if (!file.whole) return "not read whole";
    if (!IsFullPathBelowRoot(file.text)) return "not a full path";
    return nullptr;
}

const char* WhyNotADirectory(const platform::ProfileValue& dir) {
    if (!dir.whole) return "not read whole";
    if (!IsFullPath(dir.text)) return "not a full path";
    if (!NamesRemovableDirectory(dir.text)) return "a drive or share root";
    return nullptr;
}

// Without its whole root, or with one that is not a full path, the retry rule
// could not tell where to stop.
const char* WhyNotRetried(const platform::ProfileValue& dir, const platform::ProfileValue& root) {
    if (!dir.whole) return "not read whole";
    if (!root.whole || (!root.text.empty() && !IsFullPath(root.text))) return "ROOT not usable";
    if (const char* reason = WhyNotADirectory(dir)) return reason;
    if (!root.text.empty() && SamePath(dir.text, root.text)) return "ROOT itself";
    return nullptr;
}

Action Make(Type type, ItemKind kind, std::string name, bool step = false) {
    Action action;
    action.type = type;
    action.kind = kind;
    action.name = std::move(name);
    action.step = step;
    return action;
}

Action PassedOver(ItemKind kind, std::string name, const char* reason, bool step = false) {
    Action action = Make(Type::PassedOver, kind, std::move(name), step);
    action.reason = reason;
    return action;
}

// What follows the directory `dir` in `path` ("vpmon.dll", "sub\x.dll"), the
// directory compared as paths are; empty when `path` is not below it, or goes
// through a name that does not tell its parent ("..").
std::string BelowDir(const std::string& path, const std::string& dir) {
    const std::string text = winpath::WithBackslashes(path);
    std::size_t cut = winpath::LastSeparator(text);
    while (cut != std::string::npos && !SamePath(text.substr(0, cut), dir))
        cut = winpath::LastSeparator(text.substr(0, cut));
    if (cut == std::string::npos) return std::string();
    std::string rest;
    for (const std::string& name : winpath::SplitNames(text.substr(cut + 1))) {
        if (!IsPlainName(name)) return std::string();
        rest += (rest.empty() ? "" : "\\") + name;
    }
    return rest;
}

// What follows the system directory in `path`, as BelowDir; empty too where
// it lies where a 32-bit program is not redirected either, so that it names
// one file only.
std::string BelowSystemDir(const std::string& path, const std::string& systemDir) {
    const std::string rest = BelowDir(path, systemDir);
    if (rest.empty()) return rest;
    const std::vector<std::string> names = winpath::SplitNames(rest);
    for (const char* exempt : {"spool", "catroot", "catroot2", "logfiles", "driverstore"})
        if (winpath::SameIgnoringCase(names[0], exempt)) return std::string();
    if (names.size() > 2 && winpath::SameIgnoringCase(names[0], "drivers") && winpath::SameIgnoringCase(names[1], "etc"))
        return std::string();
    return rest;
}

// The system directories of 64-bit Windows, as Windows names them; empty elsewhere.
struct SystemDirs {
    std::string native;   // GetSystemDir(): the native one, as the native view reads it
    std::string wow64;    // the 32-bit one (SysWOW64)
    std::string aliased;  // <Windows directory>\Sysnative: the native one, as a 32-bit program names it
};

SystemDirs SystemDirsOf64BitWindows() {
    if (!platform::Is64BitWindows()) return {};
    return {platform::GetSystemDir(), platform::GetSystemWow64Dir(), platform::GetWindowsDir() + "\\Sysnative"};
}

// The actions for one listed file or directory. On 64-bit Windows one under
// the system directory is looked for in both system directories, the 32-bit
// and the native one, whichever build this is: a 32-bit installer puts it in
// the one, a 64-bit installer (and a port monitor, which the 64-bit spooler
// loads) in the other; each is named as it was found. One under Sysnative (a
// 32-bit installer's name for the native one) is the native one's, named as
// the session manager reads it at the restart. Its step comes after the last.
void AddInViews(std::vector<Action>& actions, Type type, ItemKind kind, const std::string& path, bool step,
                const SystemDirs& dirs) {
    Action native = Make(type, kind, path, step);
    native.fileView = platform::FileView::Native;
    if (dirs.native.empty() || dirs.wow64.empty()) return actions.push_back(Make(type, kind, path, step));
    const std::string aliased = BelowDir(path, dirs.aliased);
    if (!aliased.empty()) {
        native.name = dirs.native + "\\" + aliased;
        return actions.push_back(std::move(native));
    }
    const std::string rest = BelowSystemDir(path, dirs.native);
    if (rest.empty()) return actions.push_back(Make(type, kind, path, step));
    actions.push_back(Make(type, kind, dirs.wow64 + "\\" + rest));
    native.name = dirs.native + "\\" + rest;
    actions.push_back(std::move(native));
}

void AddProgramsEntry(std::vector<Action>& actions, const platform::ProfileValue& entry) {
    if (!entry.whole) return actions.push_back(PassedOver(ItemKind::ProgramsEntry, entry.text, "not read whole"));
    if (entry.text.empty()) return;
    if (!NamesOneProgramsEntry(entry.text))
        return actions.push_back(PassedOver(ItemKind::ProgramsEntry, entry.text, "not one key name"));
    // Looked for in each registry view, removed where it is, a line for each.
    for (const platform::RegView view : ProgramsEntryViews()) {
        Action action = Make(Type::ProgramsEntry, ItemKind::ProgramsEntry, entry.text);
        action.view = view;
        actions.push_back(std::move(action));
    }
}

}  // namespace

UninstallPlan ReadUninstallPlan() {
    UninstallPlan plan;
    std::vector<Action>& actions = plan.actions;
    const platform::ProfileValue installPath = ReadListValue("UNINSTALL", "PATH");
    const std::vector<std::string> chain = installPath.whole && IsFullPath(installPath.text)
                                               ? BuildDirChain(installPath.text)
                                               : std::vector<std::string>();

    AddProgramsEntry(actions, ReadListValue("UnInstKey", "UnInstKey"));

    const platform::ProfileValue monitor = ReadListValue("LPR", "Monitor");
    if (!monitor.whole) {
        actions.push_back(PassedOver(ItemKind::Monitor, monitor.text, "not read whole"));
    } else if (!monitor.text.empty()) {
        plan.monitorPorts = LoadMonitorPorts(monitor.text);
        actions.push_back(Make(Type::Monitor, ItemKind::Monitor, monitor.text));
    }

    // A file passed over still takes its step.
    const SystemDirs systemDirs = SystemDirsOf64BitWindows();
    for (const platform::ProfileValue& file : ReadNumberedList("FILES", "FILE")) {
        if (const char* reason = WhyNotAFile(file))
            actions.push_back(PassedOver(ItemKind::File, file.text, reason, true));
        else
            AddInViews(actions, Type::File, ItemKind::File, file.text, true, systemDirs);
    }

    for (const platform::ProfileValue& dir : ReadNumberedList("PATHS", "PATH")) {
        if (const char* reason = WhyNotADirectory(dir))
            actions.push_back(PassedOver(ItemKind::Directory, dir.text, reason));
        else
            AddInViews(actions, Type::Directory, ItemKind::Directory, dir.text, false, systemDirs);
    }

    const platform::ProfileValue root = ReadListValue("STMPATHS", "ROOT");
    plan.root = root.text;
    for (const platform::ProfileValue& dir : ReadNumberedList("STMPATHS", "PATH")) {
        if (const char* reason = WhyNotRetried(dir, root))
            actions.push_back(PassedOver(ItemKind::Directory, dir.text, reason));
        else
            AddInViews(actions, Type::RetriedDirectory, ItemKind::Directory, dir.text, false, systemDirs);
    }

    // The file list and the strings file themselves, once nothing else needs them.
    const std::string windowsDir = platform::GetWindowsDir();
    if (!windowsDir.empty()) {
        actions.push_back(Make(Type::File, ItemKind::File, windowsDir + "\\" + kFileListName));
        actions.push_back(Make(Type::File, ItemKind::File, windowsDir + "\\" + kStringsFileName));
    }

    // Deepest first; the first has no step of its own: the final one stands for it.
    for (std::size_t i = chain.size(); i-- > 0;) {
        if (!NamesRemovableDirectory(chain[i]))
            actions.push_back(Make(Type::Nothing, ItemKind::Directory, chain[i], i != 0));
        else
            AddInViews(actions, Type::ChainDirectory, ItemKind::Directory, chain[i], i != 0, systemDirs);
    }
    actions.push_back(Make(Type::Settle, ItemKind::Directory, std::string(), true));
    return plan;
}

int32_t CountUninstallSteps(const UninstallPlan& plan) {
    return static_cast<int32_t>(
        std::count_if(plan.actions.begin(), plan.actions.end(), [](const Action& action) { return action.step; }));
}

namespace {

// ---------------------------------------------------------------- the run

// Paths, each found again however its case is written, as Windows compares
// names: no key made of the text would find "É" for "é" on every code page.
class PathSet {
public:
    void insert(const std::string& key) { keys_.push_back(key); }
    bool empty() const { return keys_.empty(); }
    std::size_t count(const std::string& key) const {
        return std::any_of(keys_.begin(), keys_.end(),
                           [&key](const std::string& kept) { return winpath::SameIgnoringCase(kept, key); });
    }

private:
    std::vector<std::string> keys_;
};

// What the run needs while it goes: the record, and what it has removed and
// scheduled so far, by path.
struct Run {
    RunOutcome* outcome;
    bool whatIf;  // only telling what would become of each item: nothing is touched
    PathSet removed;    // with `whatIf`, what the run would remove
    PathSet scheduled;
    // Directories the rules tried and left (kept, or refused): each one's line
    // waits for the end of the run, as a later attempt may still remove it.
    std::vector<ItemOutcome> leftDirs;
    PathSet settledDirs;  // recorded as removed, not there or at the restart

    void Add(ItemKind kind, const std::string& name, ItemResult result, uint32_t error = 0,
             const std::string& reason = std::string(), std::string movedTo = std::string()) {
        outcome->Add(ItemOutcome{kind, name, result, error, reason, std::move(movedTo)});
    }
};

bool IsNotThere(uint32_t error) {
    return platform::IsNotFoundError(error) || error == platform::kErrorInvalidName;
}

// Held without sharing, or running or loaded, which the NT family refuses as access denied.
bool IsInUse(uint32_t error) {
    return error == platform::kErrorSharingViolation || error == platform::kErrorAccessDenied;
}

// Something that goes at the next restart, under `name`. The program never
// restarts Windows itself.
void NoteScheduled(Run& run, const std::string& name) {
    run.scheduled.insert(PathKey(name));
    run.outcome->restartNeeded = true;
}

// A listed file: a read-only one loses that attribute first; one in use (held
// without sharing, or running or loaded, which the NT family refuses as access
// denied) goes at the next restart, moved aside where Windows allows.
void DeleteListedFile(Run& run, const std::string& path, platform::FileView view = platform::FileView::Own) {
    if (run.whatIf) {
        uint32_t attributes = 0;
        if (!platform::GetFileAttributesOf(path, &attributes, view)) return run.Add(ItemKind::File, path, ItemResult::NotThere);
        if ((attributes & platform::kAttrDirectory) != 0)
            return run.Add(ItemKind::File, path, ItemResult::PassedOver, 0, "a directory");
        run.removed.insert(PathKey(path));
        return run.Add(ItemKind::File, path, ItemResult::Removed, 0, (attributes & platform::kAttrReadOnly) != 0 ? "read-only" : "");
    }
    uint32_t error = platform::DeleteFileWithError(path, view);
    if (error == 0) return run.Add(ItemKind::File, path, ItemResult::Removed);
    if (IsNotThere(error)) return run.Add(ItemKind::File, path, ItemResult::NotThere);
    uint32_t attributes = 0;
    const bool known = platform::GetFileAttributesOf(path, &attributes, view);
    if (known && (attributes & platform::kAttrDirectory) != 0)
        return run.Add(ItemKind::File, path, ItemResult::PassedOver, error, "a directory");
    bool cleared = false;
    // Held and read-only: the attribute goes too, or the deletion at the restart would fail on it.
    if (IsInUse(error) && known && (attributes & platform::kAttrReadOnly) != 0) {
        const uint32_t without = attributes & ~platform::kAttrReadOnly;
        cleared = platform::SetFileAttributesOf(path, without != 0 ? without : platform::kAttrNormal, view);
        if (cleared) {
            error = platform::DeleteFileWithError(path, view);
            if (error == 0) return run.Add(ItemKind::File, path, ItemResult::Removed);
        }
    }
    if (!IsInUse(error)) return run.Add(ItemKind::File, path, ItemResult::Failed, error);
    // Windows carries out its restart list before the network is up.
    if (platform::IsOnNetwork(path)) {
        if (cleared) platform::SetFileAttributesOf(path, attributes, view);
        return run.Add(ItemKind::File, path, ItemResult::Failed, error, "in use, on a network share");
    }
    // A scheduled file keeps its attribute cleared: the deletion at the restart
    // would meet it as this one did.
    const HeldFile held = GoAtRestart(path, error, view);
    if (held.error == 0) {
        NoteScheduled(run, held.movedTo.empty() ? path : held.movedTo);
        return run.Add(ItemKind::File, path, ItemResult::Scheduled, error, "in use", held.movedTo);
    }
    if (cleared && held.movedTo.empty()) platform::SetFileAttributesOf(path, attributes, view);
    const bool denied = held.error == platform::kErrorAccessDenied && error == platform::kErrorAccessDenied;
    run.Add(ItemKind::File, path, ItemResult::Failed, held.error, denied ? "access denied" : "in use", held.movedTo);
}

// Whether `dir` holds something and nothing but what is already to go at the
// next restart: then it can go right after it.
bool HoldsOnlyScheduled(const Run& run, const std::string& dir, platform::FileView view) {
    if (run.scheduled.empty()) return false;
    std::vector<std::string> names;
    if (!platform::ListDirectory(dir, &names, view) || names.empty()) return false;
    for (const std::string& name : names)
        if (run.scheduled.count(PathKey(dir + "\\" + name)) == 0) return false;
    return true;
}

// What finally became of a directory, recorded once: one that stays is
// recorded at the end of the run, unless a later attempt removes it.
void SettleDir(Run& run, const std::string& dir, ItemResult result, uint32_t error = 0, const char* reason = "") {
    const std::string key = PathKey(dir);
    auto left = std::find_if(run.leftDirs.begin(), run.leftDirs.end(), [&key](const ItemOutcome& item) {
        return winpath::SameIgnoringCase(PathKey(item.name), key);
    });
    if (result == ItemResult::Kept || result == ItemResult::Failed) {
        ItemOutcome item{ItemKind::Directory, dir, result, error, reason};
        if (left != run.leftDirs.end())
            *left = std::move(item);
        else
            run.leftDirs.push_back(std::move(item));
        return;
    }
    if (left != run.leftDirs.end()) run.leftDirs.erase(left);
    if (run.settledDirs.count(key) != 0) return;
    run.settledDirs.insert(key);
    run.Add(ItemKind::Directory, dir, result, error, reason);
}

// The directory removal the rules use: recorded once, and scheduled after the
// files in it where only those keep it.
bool RemoveRecordedDir(Run& run, const std::string& dir, bool final, platform::FileView view) {
    const std::string key = PathKey(dir);
    if (run.scheduled.count(key) != 0) return true;
    if (run.whatIf) {
        // Removed where everything in it would be.
        if (run.removed.count(key) != 0) return true;
        std::vector<std::string> names;
        if (!platform::ListDirectory(dir, &names, view)) {
            SettleDir(run, dir, ItemResult::NotThere);
            return false;
        }
        for (const std::string& name : names) {
            if (run.removed.count(PathKey(dir + "\\" + name)) != 0) continue;
            SettleDir(run, dir, ItemResult::Kept, 0, "not empty");
            return false;
        }
        run.removed.insert(key);
        SettleDir(run, dir, ItemResult::Removed);
        return true;
    }
    const uint32_t error = platform::RemoveDirectoryWithError(dir, view);
    if (error == 0) {
        run.removed.insert(key);
        SettleDir(run, dir, ItemResult::Removed);
        return true;
    }
    // Gone at an earlier attempt, or to be tried again.
    if (run.removed.count(key) != 0 || !final) return false;
    if (IsNotThere(error)) {
        SettleDir(run, dir, ItemResult::NotThere);
        return false;
    }
    // The 95 family's WININIT.INI deletes files only.
    if (HoldsOnlyScheduled(run, dir, view) && DeleteAtRestart(dir, true, view) == 0) {
        NoteScheduled(run, dir);
        SettleDir(run, dir, ItemResult::Scheduled, error, "holds files that go at the next restart");
        return true;
    }
    // Still holding something is where the rules stop, not a failure.
    if (error == platform::kErrorDirNotEmpty)
        SettleDir(run, dir, ItemResult::Kept, 0, "not empty");
    else
        SettleDir(run, dir, ItemResult::Failed, error);
    return false;
}

ItemResult ResultOf(platform::RemovalResult result) {
    switch (result) {
    case platform::RemovalResult::Removed:
        return ItemResult::Removed;
    case platform::RemovalResult::NotThere:
        return ItemResult::NotThere;
    case platform::RemovalResult::Failed:
        break;
    }
    return ItemResult::Failed;
}

const char* PortWayText(PortWay way) {
    switch (way) {
    case PortWay::Xcv:
        return "through the monitor's XcvData";
    case PortWay::DeletePort:
        return "through DeletePortA";
    case PortWay::Registry:
        break;
    }
    return kInSpoolerRegistry;
}

// The printers on the monitor's ports, the ports and the monitor; the log says
// how each port went and which environment the monitor went for.
void Monitor(Run& run, const std::string& monitor, const std::vector<PortRecord>& ports) {
    platform::LoadSpooler(platform::SystemDllPath("winspool.drv"));
    const bool inRegistry = SpoolerNotRunning(monitor);
    const std::string where = inRegistry ? std::string("; ") + kInSpoolerRegistry : std::string();
    bool portFailed = false;
    const auto onPort = [&run, &portFailed](const std::string& port, uint32_t error, PortWay way) {
        run.Add(ItemKind::Port, port, error == 0 ? ItemResult::Removed : ItemResult::Failed, error, PortWayText(way));
        portFailed = portFailed || error != 0;
    };
    const auto onPrinter = [&run, &where](const std::string& printer, const std::string& from, const std::string& to,
                                          uint32_t error) {
        if (error == 0)
            run.Add(ItemKind::Printer, printer, ItemResult::Moved, 0, "from " + from + " to " + to + where);
        else
            run.Add(ItemKind::Printer, printer, ItemResult::Failed, error, "stays on " + from + where);
    };
    if (inRegistry) {
        const MonitorRemovalResult removal = RemoveLprMonitorInRegistry(monitor, ports, onPort, onPrinter, run.whatIf);
        run.Add(ItemKind::Monitor, monitor, ResultOf(removal.result), removal.error, kInSpoolerRegistry);
        if (portFailed && removal.result != platform::RemovalResult::Removed) run.outcome->incomplete = true;
        return;
    }
    if (run.whatIf) {
        const MonitorRemovalResult foreseen = ForeseeLprMonitorRemoval(monitor, ports, onPort, onPrinter);
        return run.Add(ItemKind::Monitor, monitor, ResultOf(foreseen.result));
    }
    const MonitorRemovalResult removal = RemoveLprMonitor(monitor, ports, onPort, onPrinter);
    const char* environment = removal.retried ? "no environment; Windows 4.0 refused" : "environment Windows 4.0";
    const ItemResult result = ResultOf(removal.result);
    if (result == ItemResult::Removed)
        run.Add(ItemKind::Monitor, monitor, result, removal.retried ? platform::kErrorInvalidEnvironment : 0,
                environment);
    else
        run.Add(ItemKind::Monitor, monitor, result, removal.error, removal.retried ? environment : "");
    // A port the spooler would not delete goes with its monitor's key.
    if (portFailed && result != ItemResult::Removed) run.outcome->incomplete = true;
}

void ProgramsEntry(Run& run, const Action& action) {
    const char* where = ViewName(action.view);
    const EntryRemoval removal = run.whatIf ? ForeseeProgramsEntryRemoval(action.name, action.view)
                                            : RemoveProgramsEntry(action.name, action.view);
    run.Add(ItemKind::ProgramsEntry, action.name, ResultOf(removal.result), removal.error, where);
}

void Carry(Run& run, const UninstallPlan& plan, const Action& action) {
    const auto removal = [&run, &action](const std::string& dir, bool final) {
        return RemoveRecordedDir(run, dir, final, action.fileView);
    };
    switch (action.type) {
    case Type::PassedOver:
        return run.Add(action.kind, action.name, ItemResult::PassedOver, 0, action.reason);
    case Type::ProgramsEntry:
        return ProgramsEntry(run, action);
    case Type::Monitor:
        return Monitor(run, action.name, plan.monitorPorts);
    case Type::File:
        return DeleteListedFile(run, action.name, action.fileView);
    case Type::Directory:
        return RemoveDirAndParents(action.name, removal);
    case Type::RetriedDirectory:
        // Foreseen once each, without the pauses between attempts.
        if (!run.whatIf) return RemoveDirWithRetry(action.name, plan.root, removal);
        for (const std::string& dir : RetriedDirectories(action.name, plan.root))
            RemoveRecordedDir(run, dir, true, action.fileView);
        return;
    case Type::ChainDirectory:
        RemoveRecordedDir(run, action.name, true, action.fileView);
        return;
    case Type::Nothing:
        return;
    case Type::Settle:
        for (ItemOutcome& left : run.leftDirs) run.outcome->Add(std::move(left));
        run.leftDirs.clear();
        return;
    }
}

void Walk(const UninstallPlan& plan, RunOutcome& outcome, platform::Window bar, bool whatIf) {
    outcome.stepsTaken = 0;
    ProgressMeter progress(bar, CountUninstallSteps(plan), &outcome.stepsTaken);
    Run run{&outcome, whatIf, {}, {}, {}, {}};
    for (const Action& action : plan.actions) {
        // An action without a step may take long (a retried directory pauses
        // for seconds): the bar shows the steps taken before it.
        if (!action.step) progress.ShowTaken();
        Carry(run, plan, action);
        if (action.step)
            progress.Step();
        else
            platform::AnswerWindowMessages();
    }
}

}  // namespace

void RunUninstall(const UninstallPlan& plan, RunOutcome& outcome, platform::Window bar) {
    Walk(plan, outcome, bar, false);
}

void ForeseeUninstall(const UninstallPlan& plan, RunOutcome& outcome) {
    Walk(plan, outcome, nullptr, true);
}

// The uninstall run: everything the file list names goes, in a fixed order,
// under the progress bar.
#include "run/uninstall_run.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "path/dir_chain.h"
#include "path/path_names.h"
#include "path/win_path.h"
#include "print/monitor_removal.h"
#include "registry/programs_entry.h"
#include "run/dir_rules.h"
#include "run/file_list.h"
#include "run/restart_list.h"

namespace {

// The bar the run advances. The run keeps the count of its steps itself: the
// first common controls answer PBM_GETPOS with 0. It gives the bar its
// position only when that fills one more pixel (the last step always does, and
// fills it exactly): each message makes the bar repaint, under Wine through a
// round trip to the server, and there may be far more files than pixels.
class ProgressMeter {
public:
    ProgressMeter(platform::Window bar, int32_t steps, int32_t* taken)
        : bar_(bar), steps_(steps), taken_(taken), pixels_(bar != nullptr ? platform::ProgressBarWidth(bar) : 0) {}

    void Step() {
        ++*taken_;
        platform::AnswerWindowMessages();
        if (bar_ == nullptr) return;
        const long long pixels =
            steps_ > 0 && pixels_ > 0 ? static_cast<long long>(*taken_) * pixels_ / steps_ : *taken_;
        if (pixels == filled_) return;
        filled_ = pixels;
        platform::ProgressSetPos(bar_, *taken_);
    }

private:
    platform::Window bar_;
    int32_t steps_;
    int32_t* taken_;
    int pixels_;             // the bar's width
    long long filled_ = 0;   // pixels the position last given fills
};

// A value that could not be read whole names something else: never acted on.
bool Usable(const platform::ProfileValue& value) {
    return value.whole && !value.text.empty();
}

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
    ProgressMeter progress;
    std::string windowsDir;
    PathSet removed;
    PathSet scheduled;
    bool portFailed = false;
    // 64-bit Windows' two system directories, as Windows names them; empty
    // until the first listed file, and for good on 32-bit Windows.
    bool systemDirsRead = false;
    std::string systemDir;  // the native one (GetSystemDirectoryA)
    std::string wow64Dir;   // the 32-bit one (GetSystemWow64DirectoryA)

    // Directories the rules tried and left (kept, or refused): each one's line
    // waits for the end of the run, as a later attempt may still remove it.
    std::vector<ItemOutcome> leftDirs;
    PathSet settledDirs;  // recorded as removed, not there or at the restart
    // Only telling what would become of each item: nothing is touched, and
    // `removed` holds the files and directories the run would remove.
    bool whatIf = false;

    void Add(const char* kind, const std::string& name, ItemResult result, uint32_t error = 0,
             const std::string& reason = std::string(), std::string movedTo = std::string()) {
        ItemOutcome item;
        item.kind = kind;
        item.name = name;
        item.result = result;
        item.error = error;
        item.reason = reason;
        item.movedTo = std::move(movedTo);
        outcome->Add(std::move(item));
    }
};

bool IsNotThere(uint32_t error) {
    return error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound ||
           error == platform::kErrorInvalidName;
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
        if (!platform::GetFileAttributesOf(path, &attributes, view)) return run.Add("file", path, ItemResult::NotThere);
        if ((attributes & platform::kAttrDirectory) != 0)
            return run.Add("file", path, ItemResult::PassedOver, 0, "a directory");
        run.removed.insert(PathKey(path));
        return run.Add("file", path, ItemResult::Removed, 0, (attributes & platform::kAttrReadOnly) != 0 ? "read-only" : "");
    }
    uint32_t error = platform::DeleteFileWithError(path, view);
    if (error == 0) return run.Add("file", path, ItemResult::Removed);
    if (IsNotThere(error)) return run.Add("file", path, ItemResult::NotThere);
    uint32_t attributes = 0;
    const bool known = platform::GetFileAttributesOf(path, &attributes, view);
    if (known && (attributes & platform::kAttrDirectory) != 0)
        return run.Add("file", path, ItemResult::PassedOver, error, "a directory");
    bool cleared = false;
    // Held and read-only: the attribute goes too, or the deletion at the restart would fail on it.
    if (IsInUse(error) && known && (attributes & platform::kAttrReadOnly) != 0) {
        const uint32_t without = attributes & ~platform::kAttrReadOnly;
        cleared = platform::SetFileAttributesOf(path, without != 0 ? without : platform::kAttrNormal, view);
        if (cleared) {
            error = platform::DeleteFileWithError(path, view);
            if (error == 0) return run.Add("file", path, ItemResult::Removed);
        }
    }
    if (!IsInUse(error)) return run.Add("file", path, ItemResult::Failed, error);
    // Windows carries out its restart list before the network is up.
    if (platform::IsOnNetwork(path)) {
        if (cleared) platform::SetFileAttributesOf(path, attributes, view);
        return run.Add("file", path, ItemResult::Failed, error, "in use, on a network share");
    }
    // A scheduled file keeps its attribute cleared: the deletion at the restart
    // would meet it as this one did.
    const HeldFile held = GoAtRestart(path, error, view);
    if (held.error == 0) {
        NoteScheduled(run, held.movedTo.empty() ? path : held.movedTo);
        return run.Add("file", path, ItemResult::Scheduled, error, "in use", held.movedTo);
    }
    if (cleared && held.movedTo.empty()) platform::SetFileAttributesOf(path, attributes, view);
    const bool denied = held.error == platform::kErrorAccessDenied && error == platform::kErrorAccessDenied;
    run.Add("file", path, ItemResult::Failed, held.error, denied ? "access denied" : "in use", held.movedTo);
}

// What follows the system directory in `path` ("vpmon.dll", "sub\x.dll"),
// the directory compared as paths are; empty when `path` is not below it,
// goes through a name that does not tell its parent (".."), or lies where a
// 32-bit program is not redirected either, so that it names one file only.
std::string BelowSystemDir(const std::string& path, const std::string& systemDir) {
    const std::string text = winpath::WithBackslashes(path);
    std::size_t cut = winpath::LastSeparator(text);
    while (cut != std::string::npos && !SamePath(text.substr(0, cut), systemDir))
        cut = winpath::LastSeparator(text.substr(0, cut));
    if (cut == std::string::npos) return std::string();
    const std::vector<std::string> names = winpath::SplitNames(text.substr(cut + 1));
    if (names.empty()) return std::string();
    std::string rest;
    for (const std::string& name : names) {
        if (!IsPlainName(name)) return std::string();
        rest += (rest.empty() ? "" : "\\") + name;
    }
    for (const char* exempt : {"spool", "catroot", "catroot2", "logfiles", "driverstore"})
        if (winpath::SameIgnoringCase(names[0], exempt)) return std::string();
    if (names.size() > 2 && winpath::SameIgnoringCase(names[0], "drivers") && winpath::SameIgnoringCase(names[1], "etc"))
        return std::string();
    return rest;
}

// A listed file. On 64-bit Windows one under the system directory is looked
// for in both system directories, the 32-bit and the native one, whichever
// build this is: a 32-bit installer puts it in the one, a 64-bit installer
// (and a port monitor, which the 64-bit spooler loads) in the other.
void RemoveListedFile(Run& run, const std::string& path) {
    if (!run.systemDirsRead && platform::Is64BitWindows()) {
        run.systemDir = platform::GetSystemDir();
        run.wow64Dir = platform::GetSystemWow64Dir();
    }
    run.systemDirsRead = true;
    const std::string rest =
        run.systemDir.empty() || run.wow64Dir.empty() ? std::string() : BelowSystemDir(path, run.systemDir);
    if (rest.empty()) return DeleteListedFile(run, path);
    DeleteListedFile(run, run.wow64Dir + "\\" + rest);
    DeleteListedFile(run, run.systemDir + "\\" + rest, platform::FileView::Native);
}

// Whether `dir` holds something and nothing but what is already to go at the
// next restart: then it can go right after it.
bool HoldsOnlyScheduled(const Run& run, const std::string& dir) {
    if (run.scheduled.empty()) return false;
    std::vector<std::string> names;
    if (!platform::ListDirectory(dir, &names) || names.empty()) return false;
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
        ItemOutcome item;
        item.kind = "directory";
        item.name = dir;
        item.result = result;
        item.error = error;
        item.reason = reason;
        if (left != run.leftDirs.end())
            *left = std::move(item);
        else
            run.leftDirs.push_back(std::move(item));
        return;
    }
    if (left != run.leftDirs.end()) run.leftDirs.erase(left);
    if (run.settledDirs.count(key) != 0) return;
    run.settledDirs.insert(key);
    run.Add("directory", dir, result, error, reason);
}

// The directory removal the rules use: recorded once, and scheduled after the
// files in it where only those keep it.
bool RemoveRecordedDir(const std::string& dir, bool final, void* context) {
    Run& run = *static_cast<Run*>(context);
    const std::string key = PathKey(dir);
    if (run.scheduled.count(key) != 0) return true;
    if (run.whatIf) {
        // Removed where everything in it would be.
        if (run.removed.count(key) != 0) return true;
        std::vector<std::string> names;
        if (!platform::ListDirectory(dir, &names)) {
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
    const uint32_t error = platform::RemoveDirectoryWithError(dir);
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
    if (HoldsOnlyScheduled(run, dir) && DeleteAtRestart(dir, true) == 0) {
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

void RecordPrinter(const std::string& printer, const std::string& from, const std::string& to, uint32_t error,
                   void* context) {
    Run& run = *static_cast<Run*>(context);
    if (error == 0)
        run.Add("printer", printer, ItemResult::Moved, 0, "from " + from + " to " + to);
    else
        run.Add("printer", printer, ItemResult::Failed, error, "stays on " + from);
}

void RecordPort(const std::string& port, bool deleted, void* context) {
    Run& run = *static_cast<Run*>(context);
    run.Add("port", port, deleted ? ItemResult::Removed : ItemResult::Failed);
    run.portFailed = run.portFailed || !deleted;
}

// Why a listed directory is not handed to the rules; null when it is. Only
// full paths are acted on: anything else would be read from the current directory.
const char* WhyPassedOver(const platform::ProfileValue& dir) {
    if (!dir.whole) return "not read whole";
    if (!IsFullPath(dir.text)) return "not a full path";
    if (!NamesRemovableDirectory(dir.text)) return "a drive or share root";
    return nullptr;
}

// What opening the key under HKEY_LOCAL_MACHINE gives: 0 where it opens,
// 2 where it is not there, else Windows' error.
uint32_t KeyOpenError(const std::string& path, platform::RegView view = platform::RegView::Default) {
    uint32_t error = 0;
    platform::OpenLocalMachineKey(path, platform::RegAccess::Read, view, &error);
    return error;
}

bool IsKeyNotThere(uint32_t error) {
    return error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound;
}

// A removal that did not succeed: the key was not there, or it is there and was refused.
void AddNotRemovedKey(Run& run, const char* kind, const std::string& name, const std::string& path,
                      platform::RegView view = platform::RegView::Default, const std::string& reason = std::string()) {
    const uint32_t error = KeyOpenError(path, view);
    if (IsKeyNotThere(error))
        run.Add(kind, name, ItemResult::NotThere, 0, reason);
    else
        run.Add(kind, name, ItemResult::Failed, error, reason);
}

}  // namespace

void RunOutcome::Add(ItemOutcome item) {
    // A port's failure counts only where its monitor stays too (see RunUninstall);
    // a printer that stays on a port keeps that port, and with it the monitor.
    const std::string kind = item.kind;
    if (item.result == ItemResult::Failed && kind != "port" && kind != "printer") incomplete = true;
    items.push_back(std::move(item));
    if (onItem != nullptr) onItem(items.back(), context);
}

UninstallPlan ReadUninstallPlan() {
    UninstallPlan plan;
    const platform::ProfileValue installPath = ReadListValue("UNINSTALL", "PATH");
    if (Usable(installPath) && IsFullPath(installPath.text))
        plan.installChain = BuildDirChain(installPath.text);
    plan.programsEntry = ReadListValue("UnInstKey", "UnInstKey");
    plan.monitor = ReadListValue("LPR", "Monitor");
    if (Usable(plan.monitor)) plan.monitorPorts = LoadMonitorPorts(plan.monitor.text);
    plan.files = ReadNumberedList("FILES", "FILE");
    plan.dirs = ReadNumberedList("PATHS", "PATH");
    plan.root = ReadListValue("STMPATHS", "ROOT");
    plan.retriedDirs = ReadNumberedList("STMPATHS", "PATH");
    return plan;
}

int32_t CountUninstallSteps(const UninstallPlan& plan) {
    // With an empty chain the final step still has to be counted.
    const std::size_t chainSteps = std::max<std::size_t>(plan.installChain.size(), 1);
    return static_cast<int32_t>(plan.files.size() + chainSteps);
}

namespace {

// The printers on the monitor's ports, the ports and the monitor; the log says
// which environment the monitor went for.
void Monitor(Run& run, const UninstallPlan& plan) {
    const std::string& monitor = plan.monitor.text;
    if (run.whatIf) {
        const bool there = ForeseeLprMonitorRemoval(monitor, plan.monitorPorts, RecordPort, RecordPrinter, &run);
        return run.Add("monitor", monitor, there ? ItemResult::Removed : ItemResult::NotThere);
    }
    bool retried = false;
    const bool removed = RemoveLprMonitor(monitor, plan.monitorPorts, RecordPort, &run, &retried, RecordPrinter) != 0;
    const uint32_t refused = retried ? platform::kErrorInvalidEnvironment : 0;
    const char* environment = retried ? "no environment; Windows 4.0 refused" : "environment Windows 4.0";
    if (removed)
        run.Add("monitor", monitor, ItemResult::Removed, refused, environment);
    else
        AddNotRemovedKey(run, "monitor", monitor, std::string(kMonitorsKey) + "\\" + monitor,
                         platform::RegView::Default, retried ? environment : "");
    // A port the spooler would not delete goes with its monitor's key.
    if (run.portFailed && run.outcome->items.back().result != ItemResult::Removed) run.outcome->incomplete = true;
}

// The run, or with `whatIf` what it would do.
void Carry(const UninstallPlan& plan, RunOutcome& outcome, platform::Window bar, bool whatIf) {
    outcome.stepsTaken = 0;
    Run run{&outcome, ProgressMeter(bar, CountUninstallSteps(plan), &outcome.stepsTaken), std::string(), {}, {}};
    run.whatIf = whatIf;

    // Looked for in each registry view, removed where it is, a line for each.
    const platform::ProfileValue& entry = plan.programsEntry;
    if (Usable(entry) && !NamesOneProgramsEntry(entry.text)) {
        run.Add("programs entry", entry.text, ItemResult::PassedOver, 0, "not one key name");
    } else if (Usable(entry)) {
        for (const platform::RegView view : ProgramsEntryViews()) {
            const char* where = ViewName(view);
            const std::string key = std::string(kProgramsListKey) + "\\" + entry.text;
            if (run.whatIf)
                run.Add("programs entry", entry.text,
                        IsKeyNotThere(KeyOpenError(key, view)) ? ItemResult::NotThere : ItemResult::Removed, 0, where);
            else if (RemoveProgramsEntry(entry.text.c_str(), view))
                run.Add("programs entry", entry.text, ItemResult::Removed, 0, where);
            else
                AddNotRemovedKey(run, "programs entry", entry.text, key, view, where);
        }
    } else if (!entry.whole) {
        run.Add("programs entry", entry.text, ItemResult::PassedOver, 0, "not read whole");
    }

    const platform::ProfileValue& monitor = plan.monitor;
    if (Usable(monitor)) {
        platform::LoadSpooler(platform::SystemDllPath("winspool.drv"));
        Monitor(run, plan);
        platform::AnswerWindowMessages();
    } else if (!monitor.whole) {
        run.Add("monitor", monitor.text, ItemResult::PassedOver, 0, "not read whole");
    }

    // Only full paths are acted on: anything else would be read from the
    // current directory. A passed-over file still takes its step.
    for (const platform::ProfileValue& file : plan.files) {
        if (!file.whole)
            run.Add("file", file.text, ItemResult::PassedOver, 0, "not read whole");
        else if (!IsFullPathBelowRoot(file.text))
            run.Add("file", file.text, ItemResult::PassedOver, 0, "not a full path");
        else
            RemoveListedFile(run, file.text);
        run.progress.Step();
    }

    for (const platform::ProfileValue& dir : plan.dirs) {
        if (const char* reason = WhyPassedOver(dir))
            run.Add("directory", dir.text, ItemResult::PassedOver, 0, reason);
        else
            RemoveDirAndParents(dir.text, RemoveRecordedDir, &run);
        platform::AnswerWindowMessages();
    }

    // Without its whole root, or with one that is not a full path, the retry
    // rule could not tell where to stop.
    const platform::ProfileValue& root = plan.root;
    const bool rootUsable = root.whole && (root.text.empty() || IsFullPath(root.text));
    for (const platform::ProfileValue& dir : plan.retriedDirs) {
        const char* reason = !dir.whole     ? "not read whole"
                             : !rootUsable ? "ROOT not usable"
                                           : WhyPassedOver(dir);
        if (reason == nullptr && !root.text.empty() && SamePath(dir.text, root.text)) reason = "ROOT itself";
        if (reason != nullptr) {
            run.Add("directory", dir.text, ItemResult::PassedOver, 0, reason);
        } else if (run.whatIf) {
            // Told once each, without the pauses between attempts.
            for (const std::string& tried : RetriedDirectories(dir.text, root.text)) RemoveRecordedDir(tried, true, &run);
        } else {
            RemoveDirWithRetry(dir.text, root.text, RemoveRecordedDir, &run);
        }
    }

    // The file list and the strings file themselves, once nothing else needs them.
    if (run.windowsDir.empty()) run.windowsDir = platform::GetWindowsDir();
    if (!run.windowsDir.empty()) {
        DeleteListedFile(run, run.windowsDir + "\\" + kFileListName);
        DeleteListedFile(run, run.windowsDir + "\\" + kStringsFileName);
    }

    // Deepest first; the first has no step of its own (the final one stands for it).
    const std::vector<std::string>& chain = plan.installChain;
    for (std::size_t i = chain.size(); i-- > 0;) {
        if (NamesRemovableDirectory(chain[i])) RemoveRecordedDir(chain[i], true, &run);
        if (i != 0) run.progress.Step();
    }
    for (ItemOutcome& left : run.leftDirs) outcome.Add(std::move(left));

    run.progress.Step();
}

}  // namespace

void RunUninstall(const UninstallPlan& plan, RunOutcome& outcome, platform::Window bar) {
    Carry(plan, outcome, bar, false);
}

void ForeseeUninstall(const UninstallPlan& plan, RunOutcome& outcome) {
    Carry(plan, outcome, nullptr, true);
}

// The uninstall run: everything the file list names goes, in a fixed order,
// under the progress bar.
#include "run/uninstall_run.h"

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/uninstaller.h"
#include "print/monitor_removal.h"
#include "registry/programs_entry.h"
#include "run/dir_chain.h"
#include "run/dir_rules.h"
#include "run/file_list.h"
#include "run/restart_list.h"
#include "run/win_path.h"

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

// What the run needs while it goes: the record, and what it has removed and
// scheduled so far, by folded path.
struct Run {
    RunOutcome* outcome;
    ProgressMeter progress;
    std::string windowsDir;
    std::set<std::string> removed;
    std::set<std::string> scheduled;
    bool portFailed = false;

    void Add(const char* kind, const std::string& name, ItemResult result, uint32_t error = 0,
             const char* reason = "", std::string movedTo = std::string()) {
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

std::string PathKey(const std::string& path) {
    return winpath::FoldCase(winpath::WithoutTrailingSeparators(winpath::WithBackslashes(path)));
}

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
void DeleteListedFile(Run& run, const std::string& path) {
    uint32_t error = platform::DeleteFileWithError(path);
    if (error == 0) return run.Add("file", path, ItemResult::Removed);
    if (IsNotThere(error)) return run.Add("file", path, ItemResult::NotThere);
    uint32_t attributes = 0;
    const bool known = platform::GetFileAttributesOf(path, &attributes);
    if (known && (attributes & platform::kAttrDirectory) != 0)
        return run.Add("file", path, ItemResult::PassedOver, error, "a directory");
    bool cleared = false;
    // Held and read-only: the attribute goes too, or the deletion at the restart would fail on it.
    if (IsInUse(error) && known && (attributes & platform::kAttrReadOnly) != 0) {
        const uint32_t without = attributes & ~platform::kAttrReadOnly;
        cleared = platform::SetFileAttributesOf(path, without != 0 ? without : platform::kAttrNormal);
        if (cleared) {
            error = platform::DeleteFileWithError(path);
            if (error == 0) return run.Add("file", path, ItemResult::Removed);
        }
    }
    if (!IsInUse(error)) return run.Add("file", path, ItemResult::Failed, error);
    // Windows carries out its restart list before the network is up.
    if (platform::IsOnNetwork(path)) {
        if (cleared) platform::SetFileAttributesOf(path, attributes);
        return run.Add("file", path, ItemResult::Failed, error, "in use, on a network share");
    }
    // A scheduled file keeps its attribute cleared: the deletion at the restart
    // would meet it as this one did.
    const HeldFile held = GoAtRestart(path, error);
    if (held.error == 0) {
        NoteScheduled(run, held.movedTo.empty() ? path : held.movedTo);
        return run.Add("file", path, ItemResult::Scheduled, error, "in use", held.movedTo);
    }
    if (cleared && held.movedTo.empty()) platform::SetFileAttributesOf(path, attributes);
    const bool denied = held.error == platform::kErrorAccessDenied && error == platform::kErrorAccessDenied;
    run.Add("file", path, ItemResult::Failed, held.error, denied ? "access denied" : "in use", held.movedTo);
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

// The directory removal the rules use: recorded once, and scheduled after the
// files in it where only those keep it.
bool RemoveRecordedDir(const std::string& dir, bool final, void* context) {
    Run& run = *static_cast<Run*>(context);
    const std::string key = PathKey(dir);
    if (run.scheduled.count(key) != 0) return true;
    const uint32_t error = platform::RemoveDirectoryWithError(dir);
    if (error == 0) {
        run.removed.insert(key);
        run.Add("directory", dir, ItemResult::Removed);
        return true;
    }
    // Gone at an earlier attempt, or to be tried again.
    if (run.removed.count(key) != 0 || !final) return false;
    if (IsNotThere(error)) {
        run.Add("directory", dir, ItemResult::NotThere);
        return false;
    }
    // The 95 family's WININIT.INI deletes files only.
    if (HoldsOnlyScheduled(run, dir) && DeleteAtRestart(dir, true) == 0) {
        NoteScheduled(run, dir);
        run.Add("directory", dir, ItemResult::Scheduled, error, "holds files that go at the next restart");
        return true;
    }
    // Kept because it holds something: what directories are for.
    if (error == platform::kErrorDirNotEmpty)
        run.Add("directory", dir, ItemResult::Kept, error, "not empty");
    else
        run.Add("directory", dir, ItemResult::Failed, error);
    return false;
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
uint32_t KeyOpenError(const std::string& path) {
    uint32_t error = 0;
    platform::OpenLocalMachineKey(path, platform::RegAccess::Read, &error);
    return error;
}

// A removal that did not succeed: the key was not there, or it is there and was refused.
void AddNotRemovedKey(Run& run, const char* kind, const std::string& name, const std::string& path) {
    const uint32_t error = KeyOpenError(path);
    if (error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound)
        run.Add(kind, name, ItemResult::NotThere);
    else
        run.Add(kind, name, ItemResult::Failed, error);
}

}  // namespace

void RunOutcome::Add(ItemOutcome item) {
    // A port's failure counts only where its monitor stays too (see RunUninstall).
    if (item.result == ItemResult::Failed && std::string(item.kind) != "port") incomplete = true;
    items.push_back(std::move(item));
    if (onItem != nullptr) onItem(items.back(), context);
}

UninstallPlan ReadUninstallPlan(bool silent) {
    UninstallPlan plan;
    const platform::ProfileValue installPath = ReadListValue("UNINSTALL", "PATH");
    if (Usable(installPath) && IsFullPath(installPath.text))
        plan.installChain = BuildDirChain(installPath.text, silent);
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

void RunUninstall(const UninstallPlan& plan, RunOutcome& outcome, platform::Window bar) {
    outcome.stepsTaken = 0;
    Run run{&outcome, ProgressMeter(bar, CountUninstallSteps(plan), &outcome.stepsTaken), std::string(), {}, {}};

    const platform::ProfileValue& entry = plan.programsEntry;
    if (Usable(entry)) {
        if (RemoveProgramsEntry(entry.text.c_str()))
            run.Add("programs entry", entry.text, ItemResult::Removed);
        else if (!NamesOneProgramsEntry(entry.text))
            run.Add("programs entry", entry.text, ItemResult::PassedOver, 0, "not one key name");
        else
            AddNotRemovedKey(run, "programs entry", entry.text, std::string(kProgramsListKey) + "\\" + entry.text);
    } else if (!entry.whole) {
        run.Add("programs entry", entry.text, ItemResult::PassedOver, 0, "not read whole");
    }

    const platform::ProfileValue& monitor = plan.monitor;
    if (Usable(monitor)) {
        platform::LoadSpooler(SystemDllPath("winspool.drv"));
        if (RemoveLprMonitor(monitor.text, plan.monitorPorts, RecordPort, &run))
            run.Add("monitor", monitor.text, ItemResult::Removed);
        else
            AddNotRemovedKey(run, "monitor", monitor.text, std::string(kMonitorsKey) + "\\" + monitor.text);
        // A port the spooler would not delete goes with its monitor's key.
        if (run.portFailed && outcome.items.back().result != ItemResult::Removed) outcome.incomplete = true;
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
            DeleteListedFile(run, file.text);
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
        if (reason != nullptr)
            run.Add("directory", dir.text, ItemResult::PassedOver, 0, reason);
        else
            RemoveDirWithRetry(dir.text, root.text, RemoveRecordedDir, &run);
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

    run.progress.Step();
}

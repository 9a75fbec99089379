// The uninstall run: everything the file list names goes, in a fixed order,
// under the progress bar.
#include "run/uninstall_run.h"

#include <algorithm>
#include <optional>
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

int32_t g_stepCount = 0;
int32_t g_stepsTaken = 0;
platform::Window g_hProgress = nullptr;

namespace {

// The bar's width in pixels, and how many of them the position it was last
// given fills.
int g_barPixels = 0;
long long g_filledPixels = 0;

// The run keeps the count of its steps itself: the first common controls
// answer PBM_GETPOS with 0. It gives the bar its position only when that fills
// one more pixel (the last step always does, and fills it exactly): each
// message makes the bar repaint, under Wine through a round trip to the
// server, and there may be far more files than pixels.
void Step() {
    ++g_stepsTaken;
    platform::AnswerWindowMessages();
    if (g_hProgress == nullptr) return;
    const long long pixels = g_stepCount > 0 && g_barPixels > 0
                                 ? static_cast<long long>(g_stepsTaken) * g_barPixels / g_stepCount
                                 : g_stepsTaken;
    if (pixels == g_filledPixels) return;
    g_filledPixels = pixels;
    platform::ProgressSetPos(g_hProgress, g_stepsTaken);
}

// A value that could not be read whole names something else: never acted on.
bool Usable(const platform::ProfileValue& value) {
    return value.whole && !value.text.empty();
}

// The FILES list as the step count read it, kept for the run that follows: on
// a long list the profile reads are most of a run's cost, and the count and
// the run then also agree on the list.
std::optional<std::vector<platform::ProfileValue>> g_countedFiles;

// What the run needs while it goes: the record, and what it has removed and
// scheduled so far, by folded path.
struct Run {
    RunOutcome* outcome;
    bool family95;
    std::string windowsDir;
    std::set<std::string> removed;
    std::set<std::string> scheduled;

    void Add(const char* kind, const std::string& name, ItemResult result, uint32_t error = 0,
             const char* reason = "") {
        ItemOutcome item;
        item.kind = kind;
        item.name = name;
        item.result = result;
        item.error = error;
        item.reason = reason;
        outcome->Add(std::move(item));
    }
};

std::string PathKey(const std::string& path) {
    return winpath::FoldCase(winpath::WithoutTrailingSeparators(winpath::WithBackslashes(path)));
}

bool IsNotThere(uint32_t error) {
    return error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound;
}

// Held without sharing, or running or loaded, which the NT family refuses as access denied.
bool IsInUse(uint32_t error) {
    return error == platform::kErrorSharingViolation || error == platform::kErrorAccessDenied;
}

// Has Windows delete `path` at the next restart: on the NT family through the
// session manager's list, on the 95 family through a line of WININIT.INI's
// [rename] section, which takes short paths only and one line per file. The
// program never restarts Windows itself.
bool ScheduleAtRestart(Run& run, const std::string& path) {
    bool scheduled = false;
    if (!run.family95) {
        scheduled = platform::DeleteAtNextRestart(path);
    } else {
        if (run.windowsDir.empty()) run.windowsDir = platform::GetWindowsDir();
        const std::string shortPath = platform::ShortPathOf(path);
        const std::string list = run.windowsDir + "\\" + kRestartListName;
        std::string content;
        uint32_t attributes = 0;
        // A list that is there but cannot be read is never written over.
        const bool read = !platform::GetFileAttributesOf(list, &attributes) || platform::ReadWholeFile(list, &content);
        scheduled = !shortPath.empty() && !run.windowsDir.empty() && read &&
                    platform::WriteWholeFile(list, WithRenameLine(content, "NUL=" + shortPath));
    }
    if (!scheduled) return false;
    run.scheduled.insert(PathKey(path));
    run.outcome->restartNeeded = true;
    return true;
}

// A listed file: a read-only one loses that attribute first; one in use (held
// without sharing, or running or loaded, which the NT family refuses as access
// denied) goes at the next restart.
void DeleteListedFile(Run& run, const std::string& path) {
    uint32_t error = platform::DeleteFileWithError(path);
    if (error == 0) return run.Add("file", path, ItemResult::Removed);
    if (IsNotThere(error)) return run.Add("file", path, ItemResult::NotThere);
    uint32_t attributes = 0;
    const bool known = platform::GetFileAttributesOf(path, &attributes);
    if (known && (attributes & platform::kAttrDirectory) != 0)
        return run.Add("file", path, ItemResult::Failed, error, "a directory");
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
    // A scheduled file keeps its attribute cleared: the deletion at the restart
    // would meet it as this one did.
    if (IsInUse(error) && ScheduleAtRestart(run, path))
        return run.Add("file", path, ItemResult::Scheduled, error, "in use");
    if (cleared) platform::SetFileAttributesOf(path, attributes);
    run.Add("file", path, ItemResult::Failed, error);
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
    if (!run.family95 && HoldsOnlyScheduled(run, dir) && ScheduleAtRestart(run, dir)) {
        run.Add("directory", dir, ItemResult::Scheduled, error, "holds files that go at the next restart");
        return true;
    }
    run.Add("directory", dir, ItemResult::Failed, error, error == platform::kErrorDirNotEmpty ? "not empty" : "");
    return false;
}

void RecordPort(const std::string& port, bool deleted, void* context) {
    static_cast<Run*>(context)->Add("port", port, deleted ? ItemResult::Removed : ItemResult::Failed);
}

// Whether the key under HKEY_LOCAL_MACHINE can be opened.
bool KeyThere(const std::string& path) {
    return platform::OpenLocalMachineKey(path, platform::RegAccess::Read).IsOpen();
}

}  // namespace

void RunOutcome::Add(ItemOutcome item) {
    items.push_back(std::move(item));
    if (onItem != nullptr) onItem(items.back(), context);
}

void CountUninstallSteps() {
    g_stepCount = 0;
    int chainNodes = 0;
    const platform::ProfileValue installPath = ReadListValue("UNINSTALL", "PATH");
    if (Usable(installPath) && IsFullPath(installPath.text)) chainNodes = BuildDirChain(installPath.text);

    g_countedFiles = ReadNumberedList("FILES", "FILE");

    // One step per file, one per chain directory but the first, and the final
    // one: with an empty chain that final step still has to be counted.
    g_stepCount = static_cast<int32_t>(g_countedFiles->size()) + std::max(chainNodes, 1);
}

void RunUninstall(RunOutcome* outcome) {
    g_stepsTaken = 0;
    g_filledPixels = 0;
    g_barPixels = g_hProgress != nullptr ? platform::ProgressBarWidth(g_hProgress) : 0;
    RunOutcome ownOutcome;
    Run run{outcome != nullptr ? outcome : &ownOutcome, platform::IsWindows95Family(), std::string(), {}, {}};

    // Every list is read before anything goes: the file list may name itself
    // among the files, and once deleted it reads as empty.
    const std::vector<platform::ProfileValue> files =
        g_countedFiles ? std::move(*g_countedFiles) : ReadNumberedList("FILES", "FILE");
    g_countedFiles.reset();
    const std::vector<platform::ProfileValue> dirs = ReadNumberedList("PATHS", "PATH");
    const platform::ProfileValue root = ReadListValue("STMPATHS", "ROOT");
    const std::vector<platform::ProfileValue> retriedDirs = ReadNumberedList("STMPATHS", "PATH");

    const platform::ProfileValue entry = ReadListValue("UnInstKey", "UnInstKey");
    if (Usable(entry)) {
        if (RemoveProgramsEntry(entry.text.c_str()))
            run.Add("programs entry", entry.text, ItemResult::Removed);
        else if (!NamesOneProgramsEntry(entry.text))
            run.Add("programs entry", entry.text, ItemResult::PassedOver, 0, "not one key name");
        else if (!KeyThere(std::string(kProgramsListKey) + "\\" + entry.text))
            run.Add("programs entry", entry.text, ItemResult::NotThere);
        else
            run.Add("programs entry", entry.text, ItemResult::Failed);
    } else if (!entry.whole) {
        run.Add("programs entry", entry.text, ItemResult::PassedOver, 0, "not read whole");
    }

    const platform::ProfileValue monitor = ReadListValue("LPR", "Monitor");
    if (Usable(monitor)) {
        platform::LoadSpooler(SystemDllPath("winspool.drv"));
        LoadMonitorPorts(monitor.text);
        if (RemoveLprMonitor(monitor.text, RecordPort, &run))
            run.Add("monitor", monitor.text, ItemResult::Removed);
        else if (!KeyThere(std::string(kMonitorsKey) + "\\" + monitor.text))
            run.Add("monitor", monitor.text, ItemResult::NotThere);
        else
            run.Add("monitor", monitor.text, ItemResult::Failed);
        FreeMonitorPorts();
        platform::AnswerWindowMessages();
    } else if (!monitor.whole) {
        run.Add("monitor", monitor.text, ItemResult::PassedOver, 0, "not read whole");
    }

    // Only full paths are acted on: anything else would be read from the
    // current directory. A passed-over file still takes its step.
    for (const platform::ProfileValue& file : files) {
        if (!file.whole)
            run.Add("file", file.text, ItemResult::PassedOver, 0, "not read whole");
        else if (!IsFullPathBelowRoot(file.text))
            run.Add("file", file.text, ItemResult::PassedOver, 0, "not a full path");
        else
            DeleteListedFile(run, file.text);
        Step();
    }

    for (const platform::ProfileValue& dir : dirs) {
        if (!dir.whole)
            run.Add("directory", dir.text, ItemResult::PassedOver, 0, "not read whole");
        else if (!IsFullPath(dir.text))
            run.Add("directory", dir.text, ItemResult::PassedOver, 0, "not a full path");
        else
            RemoveDirAndParents(dir.text, RemoveRecordedDir, &run);
        platform::AnswerWindowMessages();
    }

    // Without its whole root, or with one that is not a full path, the retry
    // rule could not tell where to stop.
    const bool rootUsable = root.whole && (root.text.empty() || IsFullPath(root.text));
    for (const platform::ProfileValue& dir : retriedDirs) {
        if (dir.whole && rootUsable && IsFullPath(dir.text))
            RemoveDirWithRetry(dir.text, root.text, RemoveRecordedDir, &run);
        else
            run.Add("directory", dir.text, ItemResult::PassedOver, 0,
                    !dir.whole ? "not read whole" : !rootUsable ? "ROOT not usable" : "not a full path");
    }

    // From here on the file list can no longer be read.
    if (run.windowsDir.empty()) run.windowsDir = platform::GetWindowsDir();
    if (!run.windowsDir.empty()) {
        DeleteListedFile(run, run.windowsDir + "\\" + kFileListName);
        DeleteListedFile(run, run.windowsDir + "\\" + kStringsFileName);
    }

    // Deepest first; the first node has no step of its own (the final one stands for it).
    for (DirChainNode* node = g_dirChain.tail; node != nullptr; node = node->prev) {
        if (NamesRemovableDirectory(node->path)) RemoveRecordedDir(node->path, true, &run);
        if (node != g_dirChain.head) Step();
    }

    Step();
}

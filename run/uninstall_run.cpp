// The uninstall run: everything the file list names goes, in a fixed order,
// under the progress bar.
#include "run/uninstall_run.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/uninstaller.h"
#include "print/monitor_removal.h"
#include "registry/programs_entry.h"
#include "run/dir_chain.h"
#include "run/dir_rules.h"
#include "run/file_list.h"

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

}  // namespace

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

void RunUninstall() {
    g_stepsTaken = 0;
    g_filledPixels = 0;
    g_barPixels = g_hProgress != nullptr ? platform::ProgressBarWidth(g_hProgress) : 0;

    // Every list is read before anything goes: the file list may name itself
    // among the files, and once deleted it reads as empty.
    const std::vector<platform::ProfileValue> files =
        g_countedFiles ? std::move(*g_countedFiles) : ReadNumberedList("FILES", "FILE");
    g_countedFiles.reset();
    const std::vector<platform::ProfileValue> dirs = ReadNumberedList("PATHS", "PATH");
    const platform::ProfileValue root = ReadListValue("STMPATHS", "ROOT");
    const std::vector<platform::ProfileValue> retriedDirs = ReadNumberedList("STMPATHS", "PATH");

    const platform::ProfileValue entry = ReadListValue("UnInstKey", "UnInstKey");
    if (Usable(entry)) RemoveProgramsEntry(entry.text.c_str());

    const platform::ProfileValue monitor = ReadListValue("LPR", "Monitor");
    if (Usable(monitor)) {
        platform::LoadSpooler(SystemDllPath("winspool.drv"));
        LoadMonitorPorts(monitor.text);
        RemoveLprMonitor(monitor.text);
        FreeMonitorPorts();
        platform::AnswerWindowMessages();
    }

    // Only full paths are acted on: anything else would be read from the
    // current directory. A passed-over file still takes its step.
    for (const platform::ProfileValue& file : files) {
        if (file.whole && IsFullPathBelowRoot(file.text)) platform::DeleteFileAt(file.text);
        Step();
    }

    for (const platform::ProfileValue& dir : dirs) {
        if (dir.whole && IsFullPath(dir.text)) RemoveDirAndParents(dir.text);
        platform::AnswerWindowMessages();
    }

    // Without its whole root, or with one that is not a full path, the retry
    // rule could not tell where to stop.
    const bool rootUsable = root.whole && (root.text.empty() || IsFullPath(root.text));
    for (const platform::ProfileValue& dir : retriedDirs) {
        if (dir.whole && rootUsable && IsFullPath(dir.text)) RemoveDirWithRetry(dir.text, root.text);
    }

    // From here on the file list can no longer be read.
    const std::string windowsDir = platform::GetWindowsDir();
    if (!windowsDir.empty()) {
        platform::DeleteFileAt(windowsDir + "\\" + kFileListName);
        platform::DeleteFileAt(windowsDir + "\\" + kStringsFileName);
    }

    // Deepest first; the first node has no step of its own (the final one stands for it).
    for (DirChainNode* node = g_dirChain.tail; node != nullptr; node = node->prev) {
        if (NamesRemovableDirectory(node->path)) platform::RemoveEmptyDirectory(node->path);
        if (node != g_dirChain.head) Step();
    }

    Step();
}

// The plan: every item of the file list checked once, as it is read, into
// the actions the run takes, with the 64-bit system directories mapped.
#include "run/uninstall_plan.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "path/dir_chain.h"
#include "path/path_names.h"
#include "path/win_path.h"
#include "programs_entry/programs_entry.h"
#include "run/file_list.h"

namespace {

using Action = UninstallAction;
using Type = UninstallAction::Type;

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


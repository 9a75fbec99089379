// The restart list: MoveFileExA where Windows has it, WININIT.INI where not,
// and held files moved aside first.
#include "run/restart_list.h"

#include "platform/platform.h"
#include "path/win_path.h"

namespace {

// The section name of a "[name]" line, blanks trimmed, as Windows' profile
// functions read it: what follows the first "]" (a "; comment") does not
// count. Empty for any other line.
std::string SectionName(const std::string& line) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] != '[') return std::string();
    const std::size_t close = line.find(']', start);
    if (close == std::string::npos) return std::string();
    std::string name = line.substr(start + 1, close - start - 1);
    name.erase(0, name.find_first_not_of(" \t"));
    name.erase(name.find_last_not_of(" \t") + 1);
    return name.empty() ? std::string(" ") : name;
}

// A line in WININIT.INI's [rename] section, which the 95 family reads at its
// next start; it takes short paths only.
uint32_t ListInWininit(const std::string& path) {
    const std::string windowsDir = platform::GetWindowsDir();
    const std::string shortPath = platform::ShortPathOf(path);
    if (windowsDir.empty() || shortPath.empty()) return platform::kErrorPathNotFound;
    const std::string line = "NUL=" + shortPath;
    return platform::EditFileInPlace(windowsDir + "\\" + kRestartListName,
                                     [&line](const std::string& content) { return WithRenameLine(content, line); });
}

}  // namespace

std::string WithRenameLine(const std::string& content, const std::string& line) {
    const std::size_t firstEnd = content.find('\n');
    const char* const newline = firstEnd != std::string::npos && (firstEnd == 0 || content[firstEnd - 1] != '\r')
                                    ? "\n"
                                    : "\r\n";
    std::string text = content;
    if (!text.empty() && text.back() != '\n') text += newline;
    bool inRename = false;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string name = SectionName(text.substr(start, end - start));
        if (!name.empty()) {
            // The next section's header ends [rename]: the line goes before it.
            if (inRename) return text.insert(start, line + newline);
            inRename = winpath::SameIgnoringCase(name, "rename");
        }
        start = end;
    }
    if (inRename) return text + line + newline;
    return text + "[rename]" + newline + line + newline;
}

uint32_t DeleteAtRestart(const std::string& path, bool directory, platform::FileView view) {
    const uint32_t error = platform::DeleteAtNextRestartWithError(path, view);
    if (error != platform::kErrorCallNotImplemented || directory) return error;
    return ListInWininit(path);
}

HeldFile GoAtRestart(const std::string& path, uint32_t deleteError, platform::FileView view) {
    HeldFile held;
    // A name of its own beside it: on the same volume, and never over another file.
    uint32_t moveError = platform::kErrorAlreadyExists;
    std::string aside;
    for (int attempt = 1; attempt <= 9 && moveError == platform::kErrorAlreadyExists; ++attempt) {
        aside = path + ".zevdel" + (attempt > 1 ? std::to_string(attempt) : std::string());
        moveError = platform::MoveFileWithError(path, aside, view);
    }
    if (moveError == 0) {
        held.error = DeleteAtRestart(aside, false, view);
        if (held.error == 0 || platform::MoveFileWithError(aside, path, view) != 0) held.movedTo = aside;
        return held;
    }
    // Refused both ways for its permissions: a restart changes nothing. The 95
    // family has no permissions: there it is in use.
    if (deleteError == platform::kErrorAccessDenied && moveError == platform::kErrorAccessDenied &&
        !platform::IsWindows95Family()) {
        held.error = platform::kErrorAccessDenied;
        return held;
    }
    held.error = DeleteAtRestart(path, false, view);
    return held;
}

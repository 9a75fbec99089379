// Adds lines to WININIT.INI's [rename] section as text.
#include "run/restart_list.h"

#include "run/win_path.h"

namespace {

// The section name of a "[name]" line, blanks trimmed; empty for any other line.
std::string SectionName(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] != '[' || line.back() != ']') return std::string();
    std::string name = line.substr(start + 1, line.size() - start - 2);
    name.erase(0, name.find_first_not_of(" \t"));
    name.erase(name.find_last_not_of(" \t") + 1);
    return name.empty() ? std::string(" ") : name;
}

}  // namespace

std::string WithRenameLine(const std::string& content, const std::string& line) {
    std::string text = content;
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    bool inRename = false;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string name = SectionName(text.substr(start, end - start));
        if (!name.empty()) {
            // The next section's header ends [rename]: the line goes before it.
            if (inRename) return text.insert(start, line + "\r\n");
            inRename = winpath::SameIgnoringCase(name, "rename");
        }
        start = end;
    }
    if (inRename) return text + line + "\r\n";
    return text + "[rename]\r\n" + line + "\r\n";
}

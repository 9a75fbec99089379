// Profile files read as GetPrivateProfileStringA reads them: the file's current
// content is parsed on every read.
#include "platform/fake/machine_state.h"

namespace fake {
namespace detail {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// A bare name (no backslash, no slash, no drive) is looked up in the Windows directory.
std::string ProfilePath(const std::string& file) {
    const bool hasDrive = file.size() >= 2 && file[1] == ':';
    if (file.find_first_of("\\/") == std::string::npos && !hasDrive) return M().windowsDir + "\\" + file;
    return file;
}

// The value of `key` in the first section named `section`; false when there is
// none. Windows reads no further than that section, even when its name comes again.
bool FindProfileValue(const std::string& content, const std::string& section, const std::string& key,
                      std::string* value) {
    const std::string wantedSection = Fold(Trim(section));
    const std::string wantedKey = Fold(Trim(key));
    std::size_t start = content.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    bool inSection = false;
    bool sectionSeen = false;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = Trim(line);
        if (line.empty()) continue;

        const std::size_t close = line.rfind(']');
        // "[name" without its bracket is not a section header: it reads as a key line.
        if (line[0] == '[' && close != std::string::npos) {
            if (sectionSeen) return false;
            inSection = Fold(Trim(line.substr(1, close - 1))) == wantedSection;
            sectionSeen = inSection;
            continue;
        }
        if (!inSection) continue;
        const std::size_t equals = line.find('=');
        const std::string name = Trim(line.substr(0, equals));
        if (Fold(name) != wantedKey) continue;
        // The first line with the key wins, even one without "=" (which has no value).
        if (equals == std::string::npos) return false;
        *value = Trim(line.substr(equals + 1));
        return true;
    }
    return false;
}

}  // namespace
}  // namespace detail

void SetProfileValueLimit(std::size_t limit) {
    detail::M().profileValueLimit = limit;
}

}  // namespace fake

namespace platform {

ProfileValue ReadProfileString(const std::string& section, const std::string& key,
                               const std::string& defaultText, const std::string& file) {
    using namespace fake::detail;
    Record("ReadProfile " + file + " [" + section + "] " + key);

    // Windows drops trailing blanks of the default.
    std::string text = defaultText;
    while (!text.empty() && text.back() == ' ') text.pop_back();

    const FullPath path = Resolve(ProfilePath(file));
    auto found = path.valid && !path.names.empty() ? M().files.find(KeyOf(path)) : M().files.end();
    // A file open elsewhere without sharing cannot be read either.
    if (found != M().files.end() && !found->second.directory && !found->second.locked) {
        std::string value;
        if (FindProfileValue(found->second.content, section, key, &value)) {
            const char first = value.empty() ? '\0' : value[0];
            if (value.size() >= 2 && (first == '"' || first == '\'') && value.back() == first)
                value = value.substr(1, value.size() - 2);
            text = value;
        }
    }

    ProfileValue result;
    const std::size_t limit = M().profileValueLimit;
    if (limit != 0 && text.size() > limit) {
        text.resize(limit);
        result.whole = false;
    }
    result.text = text;
    return result;
}

}  // namespace platform

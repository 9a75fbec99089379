// Profile files read as GetPrivateProfileStringA reads them, from the file's
// current content.
#include <algorithm>
#include <map>
#include <optional>

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

// A profile file as Windows keeps it once read: for each section its keys and
// values. Only the first section of a name counts (Windows reads no further than
// that section, even when its name comes again), and in it the first line of a
// key, even one without "=" (which has no value and gives the default).
struct ParsedProfile {
    uint64_t version = 0;
    std::map<std::string, std::map<std::string, std::optional<std::string>>> sections;
};

ParsedProfile Parse(const std::string& content) {
    ParsedProfile parsed;
    std::map<std::string, std::optional<std::string>>* current = nullptr;
    std::size_t start = content.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
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
            const std::string name = Fold(Trim(line.substr(1, close - 1)));
            const bool repeated = parsed.sections.count(name) != 0;
            current = repeated ? nullptr : &parsed.sections[name];
            continue;
        }
        if (current == nullptr) continue;
        const std::size_t equals = line.find('=');
        const std::string name = Fold(Trim(line.substr(0, equals)));
        if (current->count(name) != 0) continue;
        if (equals == std::string::npos)
            (*current)[name] = std::nullopt;
        else
            (*current)[name] = Trim(line.substr(equals + 1));
    }
    return parsed;
}

// The value of `key` in `section` of the file `fileKey`; false when there is none.
// The file is parsed again only when its content has changed since the last read,
// so that long lists read in linear time.
bool FindProfileValue(const std::string& fileKey, const FileEntry& file, const std::string& section,
                      const std::string& key, std::string* value) {
    static std::map<std::string, ParsedProfile> cache;
    auto cached = cache.find(fileKey);
    if (cached == cache.end() || cached->second.version != file.version) {
        ParsedProfile parsed = Parse(file.content);
        parsed.version = file.version;
        cached = cache.insert_or_assign(fileKey, std::move(parsed)).first;
    }
    const auto& sections = cached->second.sections;
    const auto foundSection = sections.find(Fold(Trim(section)));
    if (foundSection == sections.end()) return false;
    const auto foundKey = foundSection->second.find(Fold(Trim(key)));
    if (foundKey == foundSection->second.end() || !foundKey->second) return false;
    *value = *foundKey->second;
    return true;
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
        if (FindProfileValue(found->first, found->second, section, key, &value)) {
            // The value is handed back as C text: it ends at a NUL byte.
            value.resize(std::min(value.size(), value.find('\0')));
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

// Removes the product's entry from the installed-programs list.
#include "registry/programs_entry.h"

#include <string>

#include "platform/platform.h"
#include "run/win_path.h"

namespace {

// A name with an empty component could name more than the entry: "Uninstall\"
// is the whole programs list, and the 95 family deletes a key with its tree.
// On a double-byte code page a name may end in a character whose second byte
// is the backslash's: that is no separator.
bool NamesOneEntry(const std::string& name) {
    if (name.empty()) return false;
    if (name.front() == '\\' || winpath::EndsWithChar(name, '\\')) return false;
    std::size_t names = 0;
    for (std::size_t at = 0; at < name.size(); at = winpath::CharEnd(name, at)) {
        if (name[at] == '\\') ++names;
    }
    return winpath::SplitNames(name).size() == names + 1;
}

}  // namespace

int RemoveProgramsEntry(const char* name) {
    if (name == nullptr || !NamesOneEntry(name)) return 0;
    const std::string path = std::string(kProgramsListKey) + "\\" + name;

    if (platform::DeleteLocalMachineKey(path)) return 1;

    // On the NT family a key that still has subkeys cannot be deleted this way.
    const platform::RegKey key = platform::OpenLocalMachineKey(path, platform::RegAccess::SetValue);
    if (!key.IsOpen()) return 0;
    const bool displayName = platform::DeleteValue(key, "DisplayName");
    const bool uninstallString = platform::DeleteValue(key, "UninstallString");
    platform::DeleteValue(key, "DisplayIcon");
    return displayName && uninstallString ? 1 : 0;
}

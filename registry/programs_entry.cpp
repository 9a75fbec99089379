// Removes the product's entry from the installed-programs list.
#include "registry/programs_entry.h"

#include <string>

#include "platform/platform.h"

namespace {

// A name with an empty component could name more than the entry: "Uninstall\"
// is the whole programs list, and the 95 family deletes a key with its tree.
bool NamesOneEntry(const std::string& name) {
    if (name.empty()) return false;
    if (name.front() == '\\' || name.back() == '\\') return false;
    return name.find("\\\\") == std::string::npos;
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

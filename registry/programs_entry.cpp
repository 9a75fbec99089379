// Removes the product's entry from the installed-programs list.
#include "registry/programs_entry.h"

#include <string>

#include "platform/platform.h"
#include "path/win_path.h"

// One name, no separator: "Vendor\Product" would name a subkey of another
// entry (on the 95 family deleted with its whole tree), "Uninstall\" the whole
// list. On a double-byte code page a name may end in a character whose second
// byte is the backslash's: that is no separator.
bool NamesOneProgramsEntry(const std::string& name) {
    return !name.empty() && !winpath::HasChar(name, '\\');
}

int RemoveProgramsEntry(const char* name, platform::RegView view) {
    if (name == nullptr || !NamesOneProgramsEntry(name)) return 0;
    const std::string path = std::string(kProgramsListKey) + "\\" + name;

    if (platform::DeleteLocalMachineKey(path, view)) return 1;

    // On the NT family a key that still has subkeys cannot be deleted this way.
    const platform::RegKey key = platform::OpenLocalMachineKey(path, platform::RegAccess::SetValue, view);
    if (!key.IsOpen()) return 0;
    const bool displayName = platform::DeleteValue(key, "DisplayName");
    const bool uninstallString = platform::DeleteValue(key, "UninstallString");
    platform::DeleteValue(key, "DisplayIcon");
    // What deployment tools run to remove the product silently: left behind,
    // it would name an uninstaller that has gone.
    platform::DeleteValue(key, "QuietUninstallString");
    return displayName && uninstallString ? 1 : 0;
}

std::vector<platform::RegView> ProgramsEntryViews() {
    using platform::RegView;
    if (!platform::Is64BitWindows()) return {RegView::Default};
    if (platform::ProgramBits() == 64) return {RegView::Bits64, RegView::Bits32};
    return {RegView::Bits32, RegView::Bits64};
}

const char* ViewName(platform::RegView view) {
    switch (view) {
    case platform::RegView::Bits32:
        return "32-bit view";
    case platform::RegView::Bits64:
        return "64-bit view";
    case platform::RegView::Default:
        break;
    }
    return "";
}

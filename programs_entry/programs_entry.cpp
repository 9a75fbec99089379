// Removes the product's entry from the installed-programs list.
#include "programs_entry/programs_entry.h"

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

namespace {

using platform::RemovalResult;

std::string EntryKey(const std::string& name) {
    return std::string(kProgramsListKey) + "\\" + name;
}

}  // namespace

EntryRemoval RemoveProgramsEntry(const std::string& name, platform::RegView view) {
    if (!NamesOneProgramsEntry(name)) return {RemovalResult::Failed, platform::kErrorInvalidName};
    const std::string path = EntryKey(name);

    if (platform::DeleteLocalMachineKey(path, view)) return {RemovalResult::Removed, 0};

    // On the NT family a key that still has subkeys cannot be deleted this way.
    const platform::RegKey key = platform::OpenLocalMachineKey(path, platform::RegAccess::SetValue, view);
    // A key that would not open: not there, or refused with Windows' code.
    if (!key.IsOpen()) return platform::IsNotFoundError(key.Error()) ? EntryRemoval{RemovalResult::NotThere, 0}
                                                                     : EntryRemoval{RemovalResult::Failed, key.Error()};
    // A value that is not there is as good as deleted: an entry an earlier run
    // stripped before it was cut off is no longer listed either.
    // Where neither was there, the entry was not listed to begin with.
    uint32_t refused = 0;
    bool listed = false;
    for (const char* value : {"DisplayName", "UninstallString"}) {
        const uint32_t deleted = platform::DeleteValueWithError(key, value);
        listed = listed || deleted == 0;
        if (deleted != 0 && !platform::IsNotFoundError(deleted) && refused == 0) refused = deleted;
    }
    platform::DeleteValueWithError(key, "DisplayIcon");
    // What deployment tools run to remove the product silently: left behind,
    // it would name an uninstaller that has gone.
    platform::DeleteValueWithError(key, "QuietUninstallString");
    if (refused != 0) return {RemovalResult::Failed, refused};
    return {listed ? RemovalResult::Removed : RemovalResult::NotThere, 0};
}

EntryRemoval ForeseeProgramsEntryRemoval(const std::string& name, platform::RegView view) {
    // Whether a key that may not be read could be deleted is not known without trying.
    const platform::RegKey key = platform::OpenLocalMachineKey(EntryKey(name), platform::RegAccess::Read, view);
    if (platform::IsNotFoundError(key.Error())) return {RemovalResult::NotThere, 0};
    // A key with subkeys on the NT family is only stripped: one stripped
    // before is not listed, and stays as it is.
    std::string subkey;
    platform::RegValue value;
    if (key.IsOpen() && !platform::IsWindows95Family() && platform::EnumSubkey(key, 0, &subkey) &&
        !platform::QueryValue(key, "DisplayName", &value) && !platform::QueryValue(key, "UninstallString", &value))
        return {RemovalResult::NotThere, 0};
    return {RemovalResult::Removed, 0};
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

std::string ProgramsEntryDisplayName(const std::string& name) {
    for (const platform::RegView view : ProgramsEntryViews()) {
        const platform::RegKey key = platform::OpenLocalMachineKey(EntryKey(name), platform::RegAccess::Read, view);
        platform::RegValue value;
        if (!key.IsOpen() || !platform::QueryValue(key, "DisplayName", &value)) continue;
        if (value.type != platform::kRegSz && value.type != platform::kRegExpandSz) continue;
        const std::string text = value.data.substr(0, value.data.find('\0'));
        if (!text.empty()) return text;
    }
    return name;
}

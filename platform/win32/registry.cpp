// Registry access for the Win32 side: keys under HKEY_LOCAL_MACHINE, each held
// by an owner that closes it.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/exports.h"
#include "platform/win32/handles.h"

namespace platform {

struct RegKeyState {
    win32::UniqueKey key;
};

void Discard(RegKeyState* state) {
    delete state;
}

namespace {

HKEY KeyOf(const RegKey& key) {
    return key.IsOpen() ? key.State()->key.Get() : nullptr;
}

REGSAM ViewFlag(RegView view) {
    switch (view) {
    case RegView::Bits32:
        return KEY_WOW64_32KEY;
    case RegView::Bits64:
        return KEY_WOW64_64KEY;
    case RegView::Default:
        break;
    }
    return 0;
}

// Value data larger than this is not read: nothing the program reads comes near
// it, and a bogus size must not make us allocate without bound.
constexpr DWORD kMaxValueBytes = 16u * 1024 * 1024;

}  // namespace

RegKey OpenLocalMachineKey(const std::string& path, RegAccess access, RegView view) {
    REGSAM sam = (access == RegAccess::Read ? KEY_READ : KEY_SET_VALUE) | ViewFlag(view);
    auto state = std::make_unique<RegKeyState>();
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, sam, state->key.Put());
    if (opened != ERROR_SUCCESS) return RegKey(static_cast<uint32_t>(opened));
    return RegKey(std::move(state));
}

bool EnumSubkey(const RegKey& key, uint32_t index, std::string* name) {
    HKEY h = KeyOf(key);
    if (h == nullptr) return false;
    // Key names are at most 255 characters.
    char buffer[260];
    if (RegEnumKeyA(h, index, buffer, sizeof buffer) != ERROR_SUCCESS) return false;
    *name = buffer;
    return true;
}

bool QueryValue(const RegKey& key, const std::string& name, RegValue* value) {
    HKEY h = KeyOf(key);
    if (h == nullptr) return false;
    std::string data(256, '\0');
    // The value may grow between two reads; ERROR_MORE_DATA gives the size now needed.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        LONG rc = RegQueryValueExA(h, name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(&data[0]), &size);
        if (rc == ERROR_SUCCESS) {
            data.resize(size);
            value->type = type;
            value->data = std::move(data);
            return true;
        }
        if (rc != ERROR_MORE_DATA || size > kMaxValueBytes) return false;
        // Never shrink: for text the size asked may be an upper bound only.
        data.assign(size > data.size() ? size : data.size() * 2, '\0');
    }
    return false;
}

uint32_t SetTextValueWithError(const RegKey& key, const std::string& name, const std::string& text) {
    HKEY h = KeyOf(key);
    if (h == nullptr) return ERROR_INVALID_HANDLE;
    return static_cast<uint32_t>(RegSetValueExA(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                                static_cast<DWORD>(text.size() + 1)));
}

uint32_t DeleteValueWithError(const RegKey& key, const std::string& name) {
    HKEY h = KeyOf(key);
    if (h == nullptr) return ERROR_INVALID_HANDLE;
    return static_cast<uint32_t>(RegDeleteValueA(h, name.c_str()));
}

bool DeleteLocalMachineKey(const std::string& path, RegView view) {
    // An empty path would name HKEY_LOCAL_MACHINE itself.
    if (path.empty() || path.find_first_not_of('\\') == std::string::npos) return false;
    if (view == RegView::Default) return RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str()) == ERROR_SUCCESS;
    // RegDeleteKeyA deletes in the program's own view only; RegDeleteKeyExA
    // (64-bit Windows; not in the 32-bit XP's ADVAPI32) takes the view.
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    const auto deleteKeyEx = win32::ExportedFunction<DeleteKeyEx>("advapi32.dll", "RegDeleteKeyExA");
    return deleteKeyEx != nullptr && deleteKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), ViewFlag(view), 0) == ERROR_SUCCESS;
}

}  // namespace platform

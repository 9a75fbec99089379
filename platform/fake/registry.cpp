// The fake machine's registry: HKEY_LOCAL_MACHINE only, key and value names
// compared without case, subkeys listed in the order they were made.
#include <stdexcept>

#include "platform/fake/machine_state.h"

namespace platform {

struct RegKeyState {
    std::string path;  // as the caller gave it
    std::shared_ptr<fake::detail::RegNode> node;
    RegAccess access;
    unsigned generation;
};

}  // namespace platform

namespace fake {
namespace detail {

namespace {

// The names of a key path; false for a malformed one. Windows refuses a path
// that starts with a backslash and reads runs of backslashes as one.
bool SplitKeyPath(const std::string& path, std::vector<std::string>* names) {
    if (!path.empty() && path[0] == '\\') return false;
    *names = SplitAtBackslashes(path);
    return true;
}

void MarkDeleted(RegNode& node) {
    node.deleted = true;
    for (auto& subkey : node.subkeys) MarkDeleted(*subkey);
}

}  // namespace

std::shared_ptr<RegNode> FindSubkey(const RegNode& parent, const std::string& name) {
    for (const auto& subkey : parent.subkeys) {
        if (SameName(subkey->name, name)) return subkey;
    }
    return nullptr;
}

std::shared_ptr<RegNode> FindKey(const std::string& path) {
    std::vector<std::string> names;
    if (!SplitKeyPath(path, &names)) return nullptr;
    std::shared_ptr<RegNode> node = M().localMachine;
    for (const std::string& name : names) {
        node = FindSubkey(*node, name);
        if (!node) return nullptr;
    }
    return node;
}

std::shared_ptr<RegNode> CreateKey(const std::string& path) {
    std::vector<std::string> names;
    if (!SplitKeyPath(path, &names)) throw std::invalid_argument("fake registry: malformed key path: " + path);
    std::shared_ptr<RegNode> node = M().localMachine;
    for (const std::string& name : names) {
        std::shared_ptr<RegNode> subkey = FindSubkey(*node, name);
        if (!subkey) {
            subkey = std::make_shared<RegNode>();
            subkey->name = name;
            node->subkeys.push_back(subkey);
        }
        node = subkey;
    }
    return node;
}

const platform::RegValue* FindValue(const RegNode& key, const std::string& name) {
    for (const auto& value : key.values) {
        if (SameName(value.first, name)) return &value.second;
    }
    return nullptr;
}

void SetValue(RegNode& key, const std::string& name, uint32_t type, const std::string& data) {
    for (auto& value : key.values) {
        if (SameName(value.first, name)) {
            value.second = platform::RegValue{type, data};
            return;
        }
    }
    key.values.emplace_back(name, platform::RegValue{type, data});
}

// Takes the key at `path` out of its parent with everything below it.
bool RemoveKeyTree(const std::string& path, bool onlyWithoutSubkeys) {
    std::vector<std::string> names;
    if (!SplitKeyPath(path, &names) || names.empty()) return false;  // never the root itself
    const std::string last = names.back();
    names.pop_back();
    std::shared_ptr<RegNode> parent = M().localMachine;
    for (const std::string& name : names) {
        parent = FindSubkey(*parent, name);
        if (!parent) return false;
    }
    for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it) {
        if (!SameName((*it)->name, last)) continue;
        if ((*it)->denyOpen) return false;
        if (onlyWithoutSubkeys && !(*it)->subkeys.empty()) return false;
        MarkDeleted(**it);
        parent->subkeys.erase(it);
        return true;
    }
    return false;
}

}  // namespace detail

using detail::M;

void RegCreateKey(const std::string& path) {
    detail::CreateKey(path);
}

void RegSetDword(const std::string& path, const std::string& name, uint32_t value) {
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    detail::SetValue(*detail::CreateKey(path), name, platform::kRegDword, data);
}

void RegSetString(const std::string& path, const std::string& name, const std::string& value) {
    detail::SetValue(*detail::CreateKey(path), name, platform::kRegSz, value + '\0');
}

void RegSetRaw(const std::string& path, const std::string& name, uint32_t type, const std::string& data) {
    detail::SetValue(*detail::CreateKey(path), name, type, data);
}

bool RegKeyExists(const std::string& path) {
    return detail::FindKey(path) != nullptr;
}

bool RegValueExists(const std::string& path, const std::string& name) {
    const auto key = detail::FindKey(path);
    return key && detail::FindValue(*key, name) != nullptr;
}

bool RegGetValue(const std::string& path, const std::string& name, platform::RegValue* value) {
    const auto key = detail::FindKey(path);
    const platform::RegValue* found = key ? detail::FindValue(*key, name) : nullptr;
    if (found == nullptr) return false;
    *value = *found;
    return true;
}

std::vector<std::string> RegSubkeys(const std::string& path) {
    std::vector<std::string> names;
    if (const auto key = detail::FindKey(path)) {
        for (const auto& subkey : key->subkeys) names.push_back(subkey->name);
    }
    return names;
}

void RegDeleteTree(const std::string& path) {
    detail::RemoveKeyTree(path, false);
}

void RegDenyOpen(const std::string& path, bool deny) {
    const auto key = deny ? detail::CreateKey(path) : detail::FindKey(path);
    if (key) key->denyOpen = deny;
}

int OpenRegistryKeys() {
    return M().openKeys;
}

void SetWindows95Family(bool on) {
    M().windows95 = on;
}

void SetReportsWindows95Family(bool on) {
    M().reports95 = on;
}

}  // namespace fake

namespace platform {

using fake::detail::M;
using fake::detail::Record;

namespace {

void CloseKey(const RegKeyState& state) {
    if (state.generation != fake::detail::Generation()) return;
    Record("RegCloseKey " + state.path);
    --M().openKeys;
}

// `path` in the registry as a 64-bit program names it: SOFTWARE seen in the
// 32-bit view of 64-bit Windows is SOFTWARE\Wow6432Node.
std::string InView(const std::string& path, RegView view) {
    const fake::detail::Machine& m = M();
    const unsigned bits = view == RegView::Bits32 ? 32 : view == RegView::Bits64 ? 64 : m.programBits;
    if (m.windowsBits != 64 || bits != 32) return path;
    const std::vector<std::string> names = fake::detail::SplitAtBackslashes(path);
    if (names.empty() || (!path.empty() && path[0] == '\\') || !fake::detail::SameName(names[0], "SOFTWARE") ||
        (names.size() > 1 && fake::detail::SameName(names[1], "Wow6432Node")))
        return path;
    const std::size_t cut = fake::detail::FindChar(path, '\\');
    return cut == std::string::npos ? path + "\\Wow6432Node" : path.substr(0, cut) + "\\Wow6432Node" + path.substr(cut);
}

std::string ViewNote(RegView view) {
    return view == RegView::Bits32 ? " (32-bit view)" : view == RegView::Bits64 ? " (64-bit view)" : "";
}

// The key behind an open handle, when it still exists and the handle may do `access`.
fake::detail::RegNode* Usable(const RegKey& key, RegAccess access) {
    const RegKeyState* state = key.State();
    if (state == nullptr || state->access != access || state->node->deleted) return nullptr;
    return state->node.get();
}

}  // namespace

void Discard(RegKeyState* state) {
    CloseKey(*state);
    delete state;
}

RegKey OpenLocalMachineKey(const std::string& path, RegAccess access, RegView view) {
    Record("RegOpenKey " + path + ViewNote(view));
    std::shared_ptr<fake::detail::RegNode> node = fake::detail::FindKey(InView(path, view));
    if (!node || node->denyOpen) return RegKey(!node ? kErrorFileNotFound : kErrorAccessDenied);
    ++M().openKeys;
    return RegKey(std::make_unique<RegKeyState>(RegKeyState{path, node, access, fake::detail::Generation()}));
}

bool EnumSubkey(const RegKey& key, uint32_t index, std::string* name) {
    Record("RegEnumKey " + (key.IsOpen() ? key.State()->path : std::string()) + " " + std::to_string(index));
    // KEY_SET_VALUE alone does not allow listing subkeys.
    const fake::detail::RegNode* node = Usable(key, RegAccess::Read);
    if (node == nullptr || index >= node->subkeys.size()) return false;
    *name = node->subkeys[index]->name;
    return true;
}

bool QueryValue(const RegKey& key, const std::string& name, RegValue* value) {
    Record("RegQueryValue " + (key.IsOpen() ? key.State()->path : std::string()) + " " + name);
    const fake::detail::RegNode* node = Usable(key, RegAccess::Read);
    if (node == nullptr) return false;
    const RegValue* found = fake::detail::FindValue(*node, name);
    if (found == nullptr) return false;
    *value = *found;
    return true;
}

uint32_t SetTextValueWithError(const RegKey& key, const std::string& name, const std::string& text) {
    Record("RegSetValue " + (key.IsOpen() ? key.State()->path : std::string()) + " " + name);
    fake::detail::RegNode* node = Usable(key, RegAccess::SetValue);
    if (node == nullptr) return key.IsOpen() ? kErrorAccessDenied : kErrorInvalidHandle;
    fake::detail::SetValue(*node, name, kRegSz, text + '\0');
    return 0;
}

uint32_t DeleteValueWithError(const RegKey& key, const std::string& name) {
    Record("RegDeleteValue " + (key.IsOpen() ? key.State()->path : std::string()) + " " + name);
    if (!key.IsOpen()) return kErrorInvalidHandle;
    fake::detail::RegNode* node = Usable(key, RegAccess::SetValue);
    if (node == nullptr) return kErrorAccessDenied;
    for (auto it = node->values.begin(); it != node->values.end(); ++it) {
        if (fake::detail::SameName(it->first, name)) {
            node->values.erase(it);
            return 0;
        }
    }
    return kErrorFileNotFound;
}

bool DeleteLocalMachineKey(const std::string& path, RegView view) {
    Record("RegDeleteKey " + path + ViewNote(view));
    // The NT family refuses a key that has subkeys; the 95 family takes the whole tree.
    return fake::detail::RemoveKeyTree(InView(path, view), !M().windows95);
}

}  // namespace platform

// File operations of the 32-bit program on 64-bit Windows that must reach the
// native system directory. Private to platform/win32.
#pragma once

#include <string>

namespace platform::win32 {

// The 32-bit program on 64-bit Windows, whose file calls are redirected.
bool RedirectedProgram();

// `path`, a path under GetSystemDir() as that names it, through the Sysnative
// alias (Vista on); empty where Windows has no alias or the path is not below
// the system directory.
std::string SysnativePath(const std::string& path);

// File-system redirection turned off for this thread while it lives, where
// Windows can (Wow64DisableWow64FsRedirection); back on when it goes. Only
// ever around one file operation: with it off, a DLL that Windows loads on
// the thread's behalf would come from the native directory.
class RedirectionOff {
public:
    RedirectionOff();
    ~RedirectionOff();
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;
    bool Off() const { return off_; }

private:
    void* old_ = nullptr;
    bool off_ = false;
};

// `op(path)` with `path` read as the native view reads it: as it is where
// nothing is redirected, else through Sysnative where `viaAlias` and Windows
// has the alias, else with redirection off; `failed` where neither can be had.
template <typename Op, typename Result>
Result Natively(const std::string& path, bool viaAlias, Op op, Result failed) {
    if (!RedirectedProgram()) return op(path);
    if (viaAlias) {
        const std::string alias = SysnativePath(path);
        if (!alias.empty()) return op(alias);
    }
    const RedirectionOff off;
    return off.Off() ? op(path) : failed;
}

}  // namespace platform::win32

// Functions that not every Windows has, looked up by name. Private to platform/win32
// and the program's entry (app/winmain_win32.cpp).
#pragma once

#include <windows.h>

namespace platform::win32 {

// `name` from `dll`, a DLL the program imports and so has loaded (kernel32.dll,
// advapi32.dll); null where this Windows lacks it.
template <typename Function>
Function ExportedFunction(const char* dll, const char* name) {
    const HMODULE module = GetModuleHandleA(dll);
    return module != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                             : nullptr;
}

}  // namespace platform::win32

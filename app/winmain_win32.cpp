// The program's entry: hands the instance handle and the arguments to the
// uninstaller and returns its exit status. The show command is not used, nor
// WinMain's command line: mingw's start-up code skips the program's name with
// a signed comparison, which stops at the first byte of 0x80 or more.
#include <windows.h>

#include "app/command_line.h"
#include "app/uninstaller.h"
#include "platform/win32/exports.h"

namespace {

// The program runs as administrator: no DLL it or Windows loads for it may come
// from the current directory. SetDllDirectoryA("") takes that directory out of
// the search; kernel32 has it from XP SP1 on.
void KeepCurrentDirectoryOutOfDllSearch() {
    using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCSTR);
    if (const auto setDllDirectory =
            platform::win32::ExportedFunction<SetDllDirectoryFunction>("kernel32.dll", "SetDllDirectoryA"))
        setDllDirectory("");
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    KeepCurrentDirectoryOutOfDllSearch();
    const char* const commandLine = GetCommandLineA();
    return UninstallerMain(reinterpret_cast<platform::Instance>(hInstance), ArgumentsAfterProgramName(commandLine != nullptr ? commandLine : ""));
}

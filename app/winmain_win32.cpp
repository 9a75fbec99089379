// The program's entry: hands the instance handle to the uninstaller and returns its exit status.
// The command line and the show command are not used.
#include <windows.h>

#include "app/uninstaller.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    return UninstallerMain(hInstance);
}

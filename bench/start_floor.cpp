// The floor for the start figure: a program built as the uninstaller is that
// does nothing but show the same question box at once.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxA(nullptr, "Uninstall Vantorin\nAre you Sure ?", "Uninstaller", MB_YESNO | MB_ICONQUESTION);
    return 0;
}

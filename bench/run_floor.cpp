// The floors for the run figure. After the same question, run_floor makes the
// profile reads and DeleteFileA calls the uninstaller makes for a file list
// with FILES only, in a plain loop, then shows the same completion box. Reads
// grow their buffer as platform/win32/profile.cpp does.
//
// Built with FLOOR_WITH_BAR (run_floor_bar), it does the same under the
// uninstaller's own progress dialog (app/resource.rc), one PBM_STEPIT per file
// as the uninstaller sent them before it kept its own count and told the bar
// only of whole pixels: what a bar stepped for every file costs.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#ifdef FLOOR_WITH_BAR
#include "app/resource.h"
#endif

namespace {

constexpr DWORD kFirstBuffer = 1024;
constexpr DWORD kMaxBuffer = 16u * 1024 * 1024;

// [FILES] `key` of ZEVFList.ini, in a buffer for the caller to free; null for an
// empty value, the end of the list. (No value here is too long to read whole.)
char* ReadListedFile(const char* key) {
    for (DWORD size = kFirstBuffer;; size *= 2) {
        char* buffer = static_cast<char*>(std::malloc(size));
        if (buffer == nullptr) return nullptr;
        const DWORD got = GetPrivateProfileStringA("FILES", key, "", buffer, size, "ZEVFList.ini");
        if (got != 0 && got < size - 1) return buffer;
        std::free(buffer);
        if (got == 0 || size >= kMaxBuffer) return nullptr;
    }
}

// "FILE" and at least two digits: FILE00 ... FILE99, FILE100.
void NumberedKey(int index, char* key) {
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + index % 10);
        index /= 10;
    } while (index != 0);
    if (n < 2) digits[n++] = '0';
    lstrcpyA(key, "FILE");
    char* out = key + 4;
    while (n > 0) *out++ = digits[--n];
    *out = '\0';
}

void DeleteFromWindowsDir(const char* name) {
    char path[MAX_PATH + 16];
    const UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    DeleteFileA(path);
}

#ifndef FLOOR_WITH_BAR

void RemoveListed() {
    char key[16];
    for (int index = 0;; ++index) {
        NumberedKey(index, key);
        char* file = ReadListedFile(key);
        if (file == nullptr) break;
        DeleteFileA(file);
        std::free(file);
    }
    DeleteFromWindowsDir("ZEVFList.ini");
    DeleteFromWindowsDir("ZEVUnins.ini");
}

#else

// The whole list first, to size the bar, as the uninstaller counts its steps.
char** ReadWholeList(int* count) {
    int capacity = 64;
    char** files = static_cast<char**>(std::malloc(capacity * sizeof(char*)));
    char key[16];
    *count = 0;
    for (;;) {
        NumberedKey(*count, key);
        char* file = ReadListedFile(key);
        if (file == nullptr) return files;
        if (*count == capacity) {
            capacity *= 2;
            files = static_cast<char**>(std::realloc(files, capacity * sizeof(char*)));
        }
        files[(*count)++] = file;
    }
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    HWND bar = GetDlgItem(dialog, IDC_PROGRESS);
    SendMessageA(bar, PBM_SETPOS, 0, 0);
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    ShowWindow(dialog, SW_SHOWNORMAL);
    UpdateWindow(dialog);
    int count = 0;
    char** files = ReadWholeList(&count);
    SendMessageA(bar, PBM_SETRANGE32, 0, count + 1);
    for (int i = 0; i < count; ++i) {
        DeleteFileA(files[i]);
        std::free(files[i]);
        SendMessageA(bar, PBM_STEPIT, 0, 0);
    }
    std::free(files);
    DeleteFromWindowsDir("ZEVFList.ini");
    DeleteFromWindowsDir("ZEVUnins.ini");
    SendMessageA(bar, PBM_STEPIT, 0, 0);
    EndDialog(dialog, 1);
    return FALSE;
}

#endif

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (MessageBoxA(nullptr, "Uninstall Vantorin\nAre you Sure ?", "Uninstaller", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return 1602;
#ifdef FLOOR_WITH_BAR
    InitCommonControls();
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressProc, 0);
#else
    (void)instance;
    RemoveListed();
#endif
    MessageBoxA(nullptr, "Uninstall is Complete", "Complete", MB_OK);
    return 0;
}

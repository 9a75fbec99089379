/* The example monitor's record: what its DLLs did, and in which process, one
 * line each in vpmon.log in the Windows directory. */
#include <windows.h>

/* One line at the end of the monitor's record. */
void NoteInRecord(LPCWSTR text, LPCWSTR name) {
    WCHAR path[MAX_PATH + 16];
    char line[2 * MAX_PATH];
    DWORD written;
    HANDLE file;
    int length;
    UINT dir = GetWindowsDirectoryW(path, MAX_PATH);
    if (dir == 0 || dir >= MAX_PATH) return;
    lstrcatW(path, L"\\vpmon.log");
    length = WideCharToMultiByte(CP_ACP, 0, text, -1, line, MAX_PATH, NULL, NULL);
    if (length == 0) return;
    /* The name after the text, over its terminator; left out where it does not fit. */
    if (WideCharToMultiByte(CP_ACP, 0, name, -1, line + length - 1, MAX_PATH - 2, NULL, NULL) == 0) line[length - 1] = 0;
    lstrcatA(line, "\r\n");
    file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    WriteFile(file, line, (DWORD)lstrlenA(line), &written, NULL);
    CloseHandle(file);
}

// The uninstaller's entry, texts and dialogs: what the user sees from start to end.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

// Exit statuses.
constexpr int kExitCompleted = 0;
constexpr int kExitCancelled = 1602;  // Windows Installer's code for a cancel
constexpr int kExitNoMemory = 1;

// The five user-visible texts, read from the strings file.
struct UiStrings {
    std::string confirmFirstLine;   // [STATIC] DIALOG00
    std::string confirmSecondLine;  // [STATIC] DIALOG01
    std::string confirmCaption;     // [TITLE] DIALOG
    std::string completeText;       // [STATIC] MSGBOX00
    std::string completeCaption;    // [TITLE] MSGBOX
};

extern platform::Instance g_hInstance;
extern UiStrings g_uiStrings;

void LoadUiStrings();

// `name` in the system directory; empty when that cannot be had. The program
// runs as administrator: it loads Windows' own DLLs by their full path only,
// as a bare name would be looked for beside the program (and, on older
// Windows, in the current directory) first.
std::string SystemDllPath(const char* name);

// Everything WinMain does after it has its instance handle; returns the exit status.
int UninstallerMain(platform::Instance instance);

// Dialog procedure of IDD_PROGRESS.
intptr_t ProgressDlgProc(platform::Window dialog, unsigned message, uintptr_t wParam, intptr_t lParam);

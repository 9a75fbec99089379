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

// Everything WinMain does after it has its instance handle; returns the exit status.
int UninstallerMain(platform::Instance instance);

// Dialog procedure of IDD_PROGRESS.
intptr_t ProgressDlgProc(platform::Window dialog, unsigned message, uintptr_t wParam, intptr_t lParam);

// What the user reads: the texts of the question and the completion box.
#pragma once

#include <string>

// The user-visible texts, read from the strings file.
struct UiStrings {
    std::string confirmFirstLine;   // [STATIC] DIALOG00
    std::string confirmSecondLine;  // [STATIC] DIALOG01
    std::string confirmCaption;     // [TITLE] DIALOG
    std::string completeText;       // [STATIC] MSGBOX00
    std::string completeCaption;    // [TITLE] MSGBOX
    std::string restartLine;        // [STATIC] MSGBOX01, added where a restart finishes the run
    std::string incompleteLine;     // [STATIC] MSGBOX02, added where something could not be removed
};

UiStrings LoadUiStrings();

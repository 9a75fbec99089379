// The texts, from the strings file, with the product's own where it has none.
#include "app/ui_strings.h"

#include "platform/platform.h"
#include "run/file_list.h"

namespace {

std::string ReadUiText(const char* section, const char* key, const char* defaultText) {
    // Texts are only shown, never acted on: one that could not be read whole is
    // still shown as far as it was read.
    return platform::ReadProfileString(section, key, defaultText, kStringsFileName).text;
}

}  // namespace

UiStrings LoadUiStrings() {
    UiStrings texts;
    texts.confirmFirstLine = ReadUiText("STATIC", "DIALOG00", "Uninstall Vantorin");
    texts.confirmSecondLine = ReadUiText("STATIC", "DIALOG01", "Are you Sure ?");
    texts.confirmCaption = ReadUiText("TITLE", "DIALOG", "Uninstaller");
    texts.completeText = ReadUiText("STATIC", "MSGBOX00", "Uninstall is Complete");
    texts.completeCaption = ReadUiText("TITLE", "MSGBOX", "Complete");
    texts.restartLine =
        ReadUiText("STATIC", "MSGBOX01", "Please restart Windows to finish removing the files that were in use.");
    texts.incompleteLine = ReadUiText("STATIC", "MSGBOX02", "Some items could not be removed.");
    return texts;
}

// The entry's work: texts, the one question, the progress dialog that carries
// the run, and the completion box.
#include "app/uninstaller.h"

#include "app/command_line.h"
#include "app/resource.h"
#include "app/run_log.h"
#include "run/dir_chain.h"
#include "run/file_list.h"
#include "run/uninstall_run.h"

platform::Instance g_hInstance = nullptr;
UiStrings g_uiStrings;
bool g_silent = false;

namespace {

// Whether ProgressDlgProc has begun the run. The run handles the dialog's
// messages while it goes: a second command must not start it again.
bool g_runStarted = false;
// Where the run started by the dialog records what it did.
RunOutcome* g_runOutcome = nullptr;

std::string ReadUiText(const char* section, const char* key, const char* defaultText) {
    // Texts are only shown, never acted on: one that could not be read whole is
    // still shown as far as it was read.
    return platform::ReadProfileString(section, key, defaultText, kStringsFileName).text;
}

// PBM_SETRANGE takes a 16-bit bound; only larger counts need PBM_SETRANGE32,
// which older controls do not know.
void SetProgressRange(platform::Window bar, int32_t steps) {
    const uint32_t upper = steps > 0 ? static_cast<uint32_t>(steps) : 0;
    if (upper <= 0xFFFF)
        platform::ProgressSetRange16(bar, static_cast<uint16_t>(upper));
    else
        platform::ProgressSetRange32(bar, upper);
}

}  // namespace

void LoadUiStrings() {
    g_uiStrings.confirmFirstLine = ReadUiText("STATIC", "DIALOG00", "Uninstall Vantorin");
    g_uiStrings.confirmSecondLine = ReadUiText("STATIC", "DIALOG01", "Are you Sure ?");
    g_uiStrings.confirmCaption = ReadUiText("TITLE", "DIALOG", "Uninstaller");
    g_uiStrings.completeText = ReadUiText("STATIC", "MSGBOX00", "Uninstall is Complete");
    g_uiStrings.completeCaption = ReadUiText("TITLE", "MSGBOX", "Complete");
    g_uiStrings.restartLine =
        ReadUiText("STATIC", "MSGBOX01", "Please restart Windows to finish removing the files that were in use.");
}

std::string SystemDllPath(const char* name) {
    const std::string dir = platform::GetSystemDir();
    return dir.empty() ? std::string() : dir + "\\" + name;
}

int UninstallerMain(platform::Instance instance, const std::string& commandLine) {
    g_hInstance = instance;
    const CommandLine line = ParseCommandLine(commandLine);
    g_silent = line.silent;
    // Silence lasts for this call only.
    struct EndSilence {
        ~EndSilence() { g_silent = false; }
    } endSilence;
    LoadUiStrings();
    EmptyDirChain();

    if (!line.badArgument.empty() || line.usage) {
        // Nothing is touched; in silent mode not even the box is shown.
        if (!g_silent)
            platform::ShowBox(UsageText(line.badArgument).c_str(), g_uiStrings.confirmCaption.c_str(),
                              platform::BoxButtons::Ok);
        return line.badArgument.empty() ? kExitCompleted : kExitBadCommandLine;
    }

    RunLog log(line.log ? line.logPath : std::string());
    log.Begin(g_silent);

    if (!g_silent) {
        const std::string question = g_uiStrings.confirmFirstLine + "\n" + g_uiStrings.confirmSecondLine;
        const platform::BoxAnswer answer = platform::ShowBox(question.c_str(), g_uiStrings.confirmCaption.c_str(),
                                                             platform::BoxButtons::YesNoQuestion);
        if (answer != platform::BoxAnswer::Yes) {
            log.End(kExitCancelled);
            return kExitCancelled;
        }
    }

    RunOutcome outcome;
    outcome.onItem = RunLog::OnItem;
    outcome.context = &log;
    g_runOutcome = &outcome;
    CountUninstallSteps();
    g_hProgress = nullptr;
    g_runStarted = false;
    if (!g_silent && platform::InitProgressControls(SystemDllPath("comctl32.dll")))
        platform::RunModalDialog(g_hInstance, IDD_PROGRESS, ProgressDlgProc);
    // Without the common controls, or where Windows would not make the dialog,
    // the run still happens: without a bar.
    if (!g_runStarted) RunUninstall(&outcome);
    g_runOutcome = nullptr;

    const int status = outcome.restartNeeded ? kExitRestartNeeded : kExitCompleted;
    log.End(status);
    if (!g_silent) {
        std::string text = g_uiStrings.completeText;
        if (outcome.restartNeeded) text += "\n" + g_uiStrings.restartLine;
        platform::ShowBox(text.c_str(), g_uiStrings.completeCaption.c_str(), platform::BoxButtons::Ok);
    }
    return status;
}

intptr_t ProgressDlgProc(platform::Window dialog, unsigned message, uintptr_t wParam, intptr_t) {
    if (message == platform::kMsgInitDialog) {
        g_runStarted = false;
        g_hProgress = platform::GetDialogControl(dialog, IDC_PROGRESS);
        platform::ProgressSetPos(g_hProgress, 0);
        platform::ProgressSetStep(g_hProgress, 1);
        // Visible before any work starts: the run holds this thread until it ends.
        platform::ShowWindowNormal(dialog);
        SetProgressRange(g_hProgress, g_stepCount);
        platform::SendDialogCommand(dialog, IDC_PROGRESS);
        return 0;  // the default focus is not set
    }
    if (message == platform::kMsgCommand && (wParam & 0xFFFF) == IDC_PROGRESS) {
        if (g_runStarted) return 1;
        g_runStarted = true;
        RunUninstall(g_runOutcome);
        platform::EndModalDialog(dialog, 1);
        return 1;
    }
    // Nothing ends the dialog but the end of the run. Esc comes as IDCANCEL,
    // which does nothing here; Alt+F4 and the like come as WM_CLOSE, taken here
    // before the default turns it into IDCANCEL.
    if (message == platform::kMsgClose) return 1;
    return 0;
}

// The entry's work: texts, the one question, the plan, the progress dialog
// that carries the run, and the completion box.
#include "app/uninstaller.h"

#include "app/command_line.h"
#include "app/exit_status.h"
#include "app/resource.h"
#include "app/run_log.h"
#include "app/ui_strings.h"
#include "run/uninstall_run.h"

namespace {

// Memory ran out, anywhere in the run: nothing here may need the heap.
[[noreturn]] void FailForMemory(bool silent) {
    if (!silent) platform::ShowBox("Memory allocation error", nullptr, platform::BoxButtons::Ok);
    platform::ExitProcessWith(kExitNoMemory);
}

int RunEntry(platform::Instance instance, const std::string& commandLine, bool& silentRun);

}  // namespace

int UninstallerMain(platform::Instance instance, const std::string& commandLine) {
    // Known without the heap, for a failure before the command line is read.
    bool silent = NamesSilentSwitch(commandLine);
    return platform::CallWithNoMemoryHandler([&] { return RunEntry(instance, commandLine, silent); },
                                             [&silent] { FailForMemory(silent); });
}

namespace {

int RunEntry(platform::Instance instance, const std::string& commandLine, bool& silentRun) {
    const CommandLine line = ParseCommandLine(commandLine);
    const bool silent = line.silent;
    silentRun = silent;
    const UiStrings texts = LoadUiStrings();
    // A box of the uninstaller's own, but under /S, which shows none.
    const auto tell = [silent, &texts](const std::string& text) {
        if (!silent) platform::ShowBox(text.c_str(), texts.confirmCaption.c_str(), platform::BoxButtons::Ok);
    };

    // A relative log path names the directory the program was started in.
    const std::string logPath = line.log ? platform::FullPathOf(line.logPath) : std::string();

    const bool bad = !line.badArgument.empty() || WhatIfWithoutLog(line);
    if (bad || line.usage) {
        // Nothing is touched. The usage box is all /? asks for; under /S it
        // cannot be shown, and the command line is a bad one.
        tell(UsageText(line.badArgument, WhatIfWithoutLog(line)));
        if (!bad && !silent) return kExitCompleted;
        RunLog log;
        if (line.log && log.Open(logPath)) {
            log.Begin(silent);
            if (bad)
                log.Refused(line.badArgument.empty() ? "/WHATIF" : line.badArgument,
                            line.badArgument.empty() ? "needs /LOG=" : "unknown switch");
            else
                log.Refused("/?", "the usage box cannot be shown under /S");
            log.End(kExitBadCommandLine);
        }
        return kExitBadCommandLine;
    }

    // Taken before the log is opened: a copy started again with the same log
    // while the first still holds it open is told to wait, not that its log is wrong.
    if (platform::TakeProgramLock(kProgramLockName) == platform::ProgramLock::HeldElsewhere) {
        RunLog log;
        if (line.log && log.Open(logPath)) {
            log.Begin(silent, line.whatIf);
            log.End(kExitAlreadyRunning);
        }
        tell("Another copy of the uninstaller is running.\nNothing was removed: try again when it has finished.");
        return kExitAlreadyRunning;
    }

    // A log that was asked for and cannot be written stops everything: a
    // deployment tool learns at once that its command line is wrong.
    RunLog log;
    if (line.log && (logPath.empty() || !log.Open(logPath))) {
        tell("The log file cannot be written:\n" + (logPath.empty() ? line.logPath : logPath) + "\n\nNothing was removed.");
        return kExitLogFailure;
    }
    log.Begin(silent, line.whatIf);
    const auto logItem = [&log](const ItemOutcome& item) { log.Item(item); };

    // What a run would do, in the log and nowhere else: no question, no dialog.
    if (line.whatIf) {
        RunOutcome outcome;
        outcome.onItem = logItem;
        ForeseeUninstall(ReadUninstallPlan(), outcome);
        log.End(kExitCompleted);
        tell("What the uninstaller would do is written to:\n" + logPath + "\n\nNothing was removed.");
        return kExitCompleted;
    }

    if (!silent) {
        const std::string question = texts.confirmFirstLine + "\n" + texts.confirmSecondLine;
        const platform::BoxAnswer answer =
            platform::ShowBox(question.c_str(), texts.confirmCaption.c_str(), platform::BoxButtons::YesNoQuestion);
        if (answer != platform::BoxAnswer::Yes) {
            log.End(kExitCancelled);
            return kExitCancelled;
        }
    }

    const UninstallPlan plan = ReadUninstallPlan();
    RunOutcome outcome;
    outcome.onItem = logItem;
    const bool underBar = !silent && platform::InitProgressControls(platform::SystemDllPath("comctl32.dll")) &&
                          platform::RunUnderProgressDialog(instance, IDD_PROGRESS, IDC_PROGRESS,
                                                           CountUninstallSteps(plan),
                                                           [&](platform::Window bar) { RunUninstall(plan, outcome, bar); });
    // Without the common controls, or where Windows would not make the dialog,
    // the run still happens: without a bar.
    if (!underBar) RunUninstall(plan, outcome);

    const int status = ExitStatusOf(outcome);
    log.End(status);
    if (!silent) {
        std::string text = texts.completeText;
        if (outcome.incomplete) text += "\n" + texts.incompleteLine;
        if (outcome.restartNeeded) text += "\n" + texts.restartLine;
        platform::ShowBox(text.c_str(), texts.completeCaption.c_str(), platform::BoxButtons::Ok);
    }
    return status;
}

}  // namespace

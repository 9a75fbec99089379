// The entry's work: texts, the one question, the plan, the progress dialog
// that carries the run, and the completion box.
#include "app/uninstaller.h"

#include "app/command_line.h"
#include "app/exit_status.h"
#include "app/resource.h"
#include "app/run_event.h"
#include "app/run_log.h"
#include "app/ui_strings.h"
#include "programs_entry/programs_entry.h"
#include "run/uninstall_run.h"

namespace {

// What a run that runs out of memory still needs, set as the run learns it.
struct RunState {
    bool quiet = false;             // no box may be shown: /S, or no one can see one
    const RunLog* log = nullptr;    // the run's log, once it is open
    bool changing = false;          // the machine is being changed: the run's event is due
    std::string product;            // the name the programs list showed
};

// Memory ran out, anywhere in the run: nothing here may need the heap.
[[noreturn]] void FailForMemory(const RunState& state) {
    if (state.log != nullptr) state.log->EndForNoMemory();
    if (state.changing)
        ReportRunEvent(kExitNoMemory, state.product.c_str(), state.log != nullptr ? state.log->Path().c_str() : "");
    if (!state.quiet) platform::ShowBox("Memory allocation error", nullptr, platform::BoxButtons::Ok);
    platform::ExitProcessWith(kExitNoMemory);
}

int RunEntry(platform::Instance instance, const std::string& commandLine, RunState& state);

}  // namespace

int UninstallerMain(platform::Instance instance, const std::string& commandLine) {
    // Known without the heap, for a failure before the command line is read.
    RunState state;
    state.quiet = NamesSilentSwitch(commandLine) || platform::NoOneCanSee();
    return platform::CallWithNoMemoryHandler([&] { return RunEntry(instance, commandLine, state); },
                                             [&state] { FailForMemory(state); });
}

namespace {

// The programs entry the plan names, for the run's event: the name the
// programs list showed, read before the entry goes.
std::string ProductName(const UninstallPlan& plan) {
    for (const UninstallAction& action : plan.actions)
        if (action.kind == ItemKind::ProgramsEntry)
            return action.type == UninstallAction::Type::ProgramsEntry ? ProgramsEntryDisplayName(action.name)
                                                                        : action.name;
    return "(no programs entry)";
}

int RunEntry(platform::Instance instance, const std::string& commandLine, RunState& state) {
    const CommandLine line = ParseCommandLine(commandLine);
    const bool silent = line.silent;
    // Deployment tools start the program where no one can see a window (a
    // service's window station): a box there would wait for ever.
    const bool unseen = !silent && platform::NoOneCanSee();
    state.quiet = silent || unseen;
    // A relative log path names the directory the program was started in; from
    // here on that directory is the Windows directory, so that a start from
    // inside the install directory does not keep it.
    const std::string logPath = line.log ? platform::FullPathOf(line.logPath) : std::string();
    const std::string windowsDir = platform::GetWindowsDir();
    if (!windowsDir.empty()) platform::SetCurrentDir(windowsDir);

    const UiStrings texts = LoadUiStrings();
    // A box of the uninstaller's own, but under /S, or where no one can see it.
    const auto tell = [&state, &texts](const std::string& text) {
        if (!state.quiet) platform::ShowBox(text.c_str(), texts.confirmCaption.c_str(), platform::BoxButtons::Ok);
    };

    const bool bad = !line.badArgument.empty() || WhatIfWithoutLog(line);
    if (bad || line.usage) {
        // Nothing is touched. The usage box is all /? asks for; under /S it
        // cannot be shown, and the command line is a bad one.
        tell(UsageText(line.badArgument, WhatIfWithoutLog(line)));
        if (!bad && !state.quiet) return kExitCompleted;
        const int status = bad || silent ? kExitBadCommandLine : kExitNoOneToAnswer;
        RunLog log;
        if (line.log && log.Open(logPath)) {
            log.Begin(silent);
            if (bad)
                log.Refused(line.badArgument.empty() ? "/WHATIF" : line.badArgument,
                            line.badArgument.empty() ? "needs /LOG=" : "unknown switch");
            else
                log.Refused("/?", silent ? "the usage box cannot be shown under /S"
                                         : "the usage box cannot be shown: no one can see it here");
            log.End(status);
        }
        return status;
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
    state.log = &log;
    const auto logItem = [&log](const ItemOutcome& item) { log.Item(item); };

    // What a run would do, in the log and nowhere else: no question, no dialog.
    if (line.whatIf) {
        RunOutcome outcome;
        outcome.onItem = logItem;
        ForeseeUninstall(ReadUninstallPlan(), outcome);
        log.End(kExitCompleted);
        // Another copy may run while this one's box waits to be read.
        platform::ReleaseProgramLock();
        tell("What the uninstaller would do is written to:\n" + logPath + "\n\nNothing was removed.");
        return kExitCompleted;
    }

    if (unseen) {
        log.End(kExitNoOneToAnswer);
        return kExitNoOneToAnswer;
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
    state.product = ProductName(plan);
    state.changing = true;
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
    // Made before the exit line: a run that runs out of memory after it would
    // end with another status than the line says.
    std::string text = texts.completeText;
    if (outcome.incomplete) text += "\n" + texts.incompleteLine;
    if (outcome.restartNeeded) text += "\n" + texts.restartLine;
    log.End(status);
    state.changing = false;
    ReportRunEvent(status, state.product.c_str(), logPath.c_str());
    if (!silent) platform::ShowBox(text.c_str(), texts.completeCaption.c_str(), platform::BoxButtons::Ok);
    return status;
}

}  // namespace

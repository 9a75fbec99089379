// The walk over the plan: each action handed to the side that carries it out
// for real or only foresees it, chosen once for the whole run.
#include "run/uninstall_run.h"

#include <string>
#include <vector>

#include "print/monitor_removal.h"
#include "programs_entry/programs_entry.h"
#include "run/dir_rules.h"
#include "run/dir_settling.h"
#include "run/listed_file.h"
#include "run/progress_meter.h"
#include "run/run_record.h"

namespace {

using Action = UninstallAction;
using Type = UninstallAction::Type;

// Where the spooler is not running, what it would do is done in its registry.
constexpr const char* kInSpoolerRegistry = "in the spooler's registry, as the spooler is not running";

const char* PortWayText(PortWay way) {
    switch (way) {
    case PortWay::Xcv:
        return "through the monitor's XcvData";
    case PortWay::DeletePort:
        return "through DeletePortA";
    case PortWay::Registry:
        break;
    }
    return kInSpoolerRegistry;
}

// What the run hears of the monitor's ports and printers, recorded as it comes:
// both a PortDeleted and a PrinterMoved.
class MonitorRecord {
public:
    MonitorRecord(RunRecord& record, bool inRegistry)
        : record_(record), where_(inRegistry ? std::string("; ") + kInSpoolerRegistry : std::string()) {}

    void operator()(const std::string& port, uint32_t error, PortWay way) {
        record_.Add(ItemKind::Port, port, error == 0 ? ItemResult::Removed : ItemResult::Failed, error,
                    PortWayText(way));
        portFailed_ = portFailed_ || error != 0;
    }
    void operator()(const std::string& printer, const std::string& from, const std::string& to, uint32_t error) {
        if (error == 0)
            record_.Add(ItemKind::Printer, printer, ItemResult::Moved, 0, "from " + from + " to " + to + where_);
        else
            record_.Add(ItemKind::Printer, printer, ItemResult::Failed, error, "stays on " + from + where_);
    }
    // The monitor's own line. A port the spooler would not delete goes with
    // its monitor's key: it counts only where the monitor stays too.
    void Monitor(const std::string& monitor, ItemResult result, uint32_t error, const char* reason) {
        record_.Add(ItemKind::Monitor, monitor, result, error, reason);
        if (portFailed_ && result != ItemResult::Removed) record_.outcome.incomplete = true;
    }

private:
    RunRecord& record_;
    std::string where_;
    bool portFailed_ = false;
};

// What the walk does with each kind of action: carry it out (Apply) or only
// tell what would become of it (Foresee). Both record each item alike; `Side`
// is the one chosen, with a member function for each kind.
template <typename Side>
class Carrier {
public:
    void Carry(const Action& action) {
        switch (action.type) {
        case Type::PassedOver:
            return record_.Add(action.kind, action.name, ItemResult::PassedOver, 0, action.reason);
        case Type::ProgramsEntry:
            return static_cast<Side*>(this)->ProgramsEntry(action);
        case Type::Monitor:
            return static_cast<Side*>(this)->Monitor(action);
        case Type::File:
            return static_cast<Side*>(this)->File(action);
        case Type::Directory:
            return static_cast<Side*>(this)->Directory(action);
        case Type::RetriedDirectory:
            return static_cast<Side*>(this)->RetriedDirectory(action);
        case Type::ChainDirectory:
            return static_cast<Side*>(this)->ChainDirectory(action);
        case Type::Nothing:
            return;
        case Type::Settle:
            return dirs_.RecordLeft();
        }
    }

protected:
    Carrier(const UninstallPlan& plan, RunOutcome& outcome) : plan_(plan), record_{outcome, {}, {}} {}
    ~Carrier() = default;

    void RecordEntry(const Action& action, const EntryRemoval& removal) {
        record_.Add(ItemKind::ProgramsEntry, action.name, ResultOf(removal.result), removal.error, ViewName(action.view));
    }

    const UninstallPlan& plan_;
    RunRecord record_;
    DirSettling dirs_{record_};
};

// The spooler loaded, and whether it is running: where it is not, the monitor
// goes in its registry.
bool MonitorGoesInRegistry(const std::string& monitor) {
    platform::LoadSpooler(platform::SystemDllPath("winspool.drv"));
    return SpoolerNotRunning(monitor);
}

// The rules' removal, in one file view.
struct InView {
    DirSettling& dirs;
    platform::FileView view;
    bool operator()(const std::string& dir, bool final) const { return dirs.Remove(dir, final, view); }
};

class Apply final : public Carrier<Apply> {
public:
    Apply(const UninstallPlan& plan, RunOutcome& outcome) : Carrier(plan, outcome) {}

private:
    friend class Carrier<Apply>;
    friend class Carrier;
    void ProgramsEntry(const Action& action) {
        RecordEntry(action, RemoveProgramsEntry(action.name, action.view));
    }
    // The log says how each port went and which environment the monitor went for.
    void Monitor(const Action& action) {
        const bool inRegistry = MonitorGoesInRegistry(action.name);
        MonitorRecord heard(record_, inRegistry);
        if (inRegistry) {
            const MonitorRemovalResult removal =
                RemoveLprMonitorInRegistry(action.name, plan_.monitorPorts, heard, heard, false);
            return heard.Monitor(action.name, ResultOf(removal.result), removal.error, kInSpoolerRegistry);
        }
        const MonitorRemovalResult removal = RemoveLprMonitor(action.name, plan_.monitorPorts, heard, heard);
        const ItemResult result = ResultOf(removal.result);
        const char* environment = removal.retried ? "no environment; Windows 4.0 refused" : "environment Windows 4.0";
        if (result == ItemResult::Removed)
            heard.Monitor(action.name, result, removal.retried ? platform::kErrorInvalidEnvironment : 0, environment);
        else
            heard.Monitor(action.name, result, removal.error, removal.retried ? environment : "");
    }
    void File(const Action& action) { DeleteListedFile(record_, action.name, action.fileView); }
    void Directory(const Action& action) { RemoveDirAndParents(action.name, InView{dirs_, action.fileView}); }
    void RetriedDirectory(const Action& action) {
        RemoveDirWithRetry(action.name, plan_.root, InView{dirs_, action.fileView});
    }
    void ChainDirectory(const Action& action) { dirs_.Remove(action.name, true, action.fileView); }
};

class Foresee final : public Carrier<Foresee> {
public:
    Foresee(const UninstallPlan& plan, RunOutcome& outcome) : Carrier(plan, outcome) {}

private:
    friend class Carrier<Foresee>;
    friend class Carrier;
    void ProgramsEntry(const Action& action) {
        RecordEntry(action, ForeseeProgramsEntryRemoval(action.name, action.view));
    }
    void Monitor(const Action& action) {
        const bool inRegistry = MonitorGoesInRegistry(action.name);
        MonitorRecord heard(record_, inRegistry);
        if (inRegistry) {
            const MonitorRemovalResult removal =
                RemoveLprMonitorInRegistry(action.name, plan_.monitorPorts, heard, heard, true);
            return heard.Monitor(action.name, ResultOf(removal.result), removal.error, kInSpoolerRegistry);
        }
        const MonitorRemovalResult foreseen = ForeseeLprMonitorRemoval(action.name, plan_.monitorPorts, heard, heard);
        heard.Monitor(action.name, ResultOf(foreseen.result), 0, "");
    }
    void File(const Action& action) { ForeseeListedFile(record_, action.name, action.fileView); }
    void Directory(const Action& action) {
        auto removal = [this, &action](const std::string& dir, bool) { return dirs_.Foresee(dir, action.fileView); };
        RemoveDirAndParents(action.name, removal);
    }
    // Foreseen once each, without the pauses between attempts.
    void RetriedDirectory(const Action& action) {
        for (const std::string& dir : RetriedDirectories(action.name, plan_.root)) dirs_.Foresee(dir, action.fileView);
    }
    void ChainDirectory(const Action& action) { dirs_.Foresee(action.name, action.fileView); }
};

void Walk(const UninstallPlan& plan, RunOutcome& outcome, platform::Window bar,
          FunctionRef<void(const Action& action)> carry) {
    outcome.stepsTaken = 0;
    ProgressMeter progress(bar, CountUninstallSteps(plan), &outcome.stepsTaken);
    for (const Action& action : plan.actions) {
        // An action without a step may take long (a retried directory pauses
        // for seconds): the bar shows the steps taken before it.
        if (!action.step) progress.ShowTaken();
        carry(action);
        if (action.step)
            progress.Step();
        else
            platform::AnswerWindowMessages();
    }
}

}  // namespace

void RunUninstall(const UninstallPlan& plan, RunOutcome& outcome, platform::Window bar) {
    Apply apply(plan, outcome);
    Walk(plan, outcome, bar, [&apply](const Action& action) { apply.Carry(action); });
}

void ForeseeUninstall(const UninstallPlan& plan, RunOutcome& outcome) {
    Foresee foresee(plan, outcome);
    Walk(plan, outcome, nullptr, [&foresee](const Action& action) { foresee.Carry(action); });
}

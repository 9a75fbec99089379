// The directories the rules remove, each recorded once with what finally
// became of it: one the rules try and leave (kept, or refused) waits for the
// end of the run, as a later attempt may still remove it.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "run/run_record.h"

class DirSettling {
public:
    explicit DirSettling(RunRecord& record) : record_(record) {}

    // The removal the rules use (a DirRemoval): RemoveDirectoryA, recorded once,
    // and the directory scheduled after the files in it where only those keep it.
    bool Remove(const std::string& dir, bool final, platform::FileView view);
    // What Remove would come to, with nothing touched: removed where everything
    // in it would be.
    bool Foresee(const std::string& dir, platform::FileView view);
    // Records the directories that stay: the run's last step.
    void RecordLeft();

private:
    void Settle(const std::string& dir, ItemResult result, uint32_t error = 0, const char* reason = "");
    bool HoldsOnlyScheduled(const std::string& dir, platform::FileView view) const;

    RunRecord& record_;
    std::vector<ItemOutcome> left_;
    PathSet settled_;  // recorded as removed, not there or at the restart
};

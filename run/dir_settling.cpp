// What became of each directory the rules tried, recorded once.
#include "run/dir_settling.h"

#include <algorithm>
#include <utility>

#include "path/path_names.h"
#include "path/win_path.h"
#include "run/restart_list.h"

void DirSettling::Settle(const std::string& dir, ItemResult result, uint32_t error, const char* reason) {
    const std::string key = PathKey(dir);
    auto left = std::find_if(left_.begin(), left_.end(), [&key](const ItemOutcome& item) {
        return winpath::SameIgnoringCase(PathKey(item.name), key);
    });
    if (result == ItemResult::Kept || result == ItemResult::Failed) {
        ItemOutcome item{ItemKind::Directory, dir, result, error, reason};
        if (left != left_.end())
            *left = std::move(item);
        else
            left_.push_back(std::move(item));
        return;
    }
    if (left != left_.end()) left_.erase(left);
    if (settled_.Holds(dir)) return;
    settled_.Insert(dir);
    record_.Add(ItemKind::Directory, dir, result, error, reason);
}

// Whether `dir` holds something and nothing but what is already to go at the
// next restart: then it can go right after it.
bool DirSettling::HoldsOnlyScheduled(const std::string& dir, platform::FileView view) const {
    if (record_.scheduled.Empty()) return false;
    std::vector<std::string> names;
    if (platform::ListDirectoryWithError(dir, &names, view) != 0 || names.empty()) return false;
    return std::all_of(names.begin(), names.end(),
                       [&](const std::string& name) { return record_.scheduled.Holds(dir + "\\" + name); });
}

bool DirSettling::Remove(const std::string& dir, bool final, platform::FileView view) {
    if (record_.scheduled.Holds(dir)) return true;
    const uint32_t error = platform::RemoveDirectoryWithError(dir, view);
    if (error == 0) {
        record_.removed.Insert(dir);
        Settle(dir, ItemResult::Removed);
        return true;
    }
    // Gone at an earlier attempt, or to be tried again.
    if (record_.removed.Holds(dir) || !final) return false;
    if (IsNotThereError(error)) {
        Settle(dir, ItemResult::NotThere);
        return false;
    }
    // The 95 family's WININIT.INI deletes files only.
    if (HoldsOnlyScheduled(dir, view) && DeleteAtRestart(dir, true, view) == 0) {
        record_.NoteScheduled(dir);
        Settle(dir, ItemResult::Scheduled, error, "holds files that go at the next restart");
        return true;
    }
    // Still holding something is where the rules stop, not a failure.
    if (error == platform::kErrorDirNotEmpty)
        Settle(dir, ItemResult::Kept, 0, "not empty");
    else
        Settle(dir, ItemResult::Failed, error);
    return false;
}

bool DirSettling::Foresee(const std::string& dir, platform::FileView view) {
    if (record_.scheduled.Holds(dir) || record_.removed.Holds(dir)) return true;
    std::vector<std::string> names;
    if (platform::ListDirectoryWithError(dir, &names, view) != 0) {
        Settle(dir, ItemResult::NotThere);
        return false;
    }
    for (const std::string& name : names) {
        if (record_.removed.Holds(dir + "\\" + name)) continue;
        Settle(dir, ItemResult::Kept, 0, "not empty");
        return false;
    }
    record_.removed.Insert(dir);
    Settle(dir, ItemResult::Removed);
    return true;
}

void DirSettling::RecordLeft() {
    for (ItemOutcome& left : left_) record_.outcome.Add(std::move(left));
    left_.clear();
}

// One listed file, deleted now or at the next restart.
#include "run/listed_file.h"

#include "run/restart_list.h"

namespace {

// Held without sharing, or running or loaded, which the NT family refuses as access denied.
bool IsInUse(uint32_t error) {
    return error == platform::kErrorSharingViolation || error == platform::kErrorAccessDenied;
}

}  // namespace

void ForeseeListedFile(RunRecord& record, const std::string& path, platform::FileView view) {
    uint32_t attributes = 0;
    if (platform::GetFileAttributesWithError(path, &attributes, view) != 0)
        return record.Add(ItemKind::File, path, ItemResult::NotThere);
    if ((attributes & platform::kAttrDirectory) != 0)
        return record.Add(ItemKind::File, path, ItemResult::PassedOver, 0, "a directory");
    record.removed.Insert(path);
    record.Add(ItemKind::File, path, ItemResult::Removed, 0,
               (attributes & platform::kAttrReadOnly) != 0 ? "read-only" : "");
}

void DeleteListedFile(RunRecord& record, const std::string& path, platform::FileView view) {
    uint32_t error = platform::DeleteFileWithError(path, view);
    if (error == 0) return record.Add(ItemKind::File, path, ItemResult::Removed);
    if (IsNotThereError(error)) return record.Add(ItemKind::File, path, ItemResult::NotThere);
    uint32_t attributes = 0;
    const bool known = platform::GetFileAttributesWithError(path, &attributes, view) == 0;
    if (known && (attributes & platform::kAttrDirectory) != 0)
        return record.Add(ItemKind::File, path, ItemResult::PassedOver, error, "a directory");
    bool cleared = false;
    // Held and read-only: the attribute goes too, or the deletion at the restart would fail on it.
    if (IsInUse(error) && known && (attributes & platform::kAttrReadOnly) != 0) {
        const uint32_t without = attributes & ~platform::kAttrReadOnly;
        cleared = platform::SetFileAttributesWithError(path, without != 0 ? without : platform::kAttrNormal, view) == 0;
        if (cleared) {
            error = platform::DeleteFileWithError(path, view);
            if (error == 0) return record.Add(ItemKind::File, path, ItemResult::Removed);
        }
    }
    if (!IsInUse(error)) return record.Add(ItemKind::File, path, ItemResult::Failed, error);
    // Windows carries out its restart list before the network is up.
    if (platform::IsOnNetwork(path)) {
        if (cleared) platform::SetFileAttributesWithError(path, attributes, view);
        return record.Add(ItemKind::File, path, ItemResult::Failed, error, "in use, on a network share");
    }
    // A scheduled file keeps its attribute cleared: the deletion at the restart
    // would meet it as this one did.
    const HeldFile held = GoAtRestart(path, error, view);
    if (held.error == 0) {
        record.NoteScheduled(held.movedTo.empty() ? path : held.movedTo);
        return record.Add(ItemKind::File, path, ItemResult::Scheduled, error, "in use", held.movedTo);
    }
    if (cleared && held.movedTo.empty()) platform::SetFileAttributesWithError(path, attributes, view);
    const bool denied = held.error == platform::kErrorAccessDenied && error == platform::kErrorAccessDenied;
    record.Add(ItemKind::File, path, ItemResult::Failed, held.error, denied ? "access denied" : "in use", held.movedTo);
}

// One listed file: deleted, or, where it is in use, moved aside and left to
// Windows to delete at the next restart; or only foreseen.
#pragma once

#include <string>

#include "platform/platform.h"
#include "run/run_record.h"

// Deletes the listed file `path`: a read-only one loses that attribute first;
// one in use (held without sharing, or running or loaded, which the NT family
// refuses as access denied) goes at the next restart, moved aside where
// Windows allows. A directory of that name is passed over.
void DeleteListedFile(RunRecord& record, const std::string& path, platform::FileView view);

// What DeleteListedFile would do, with nothing touched: a file that is there
// would be removed (whether it is in use cannot be known without trying).
void ForeseeListedFile(RunRecord& record, const std::string& path, platform::FileView view);

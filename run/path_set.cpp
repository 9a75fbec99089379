// A set of paths compared as Windows compares names.
#include "run/path_set.h"

#include <algorithm>

#include "path/path_names.h"
#include "path/win_path.h"

void PathSet::Insert(const std::string& path) {
    keys_.push_back(PathKey(path));
}

bool PathSet::Holds(const std::string& path) const {
    const std::string key = PathKey(path);
    return std::any_of(keys_.begin(), keys_.end(),
                       [&key](const std::string& kept) { return winpath::SameIgnoringCase(kept, key); });
}

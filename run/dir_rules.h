// The two ways the run removes listed directories: with their emptied ancestors,
// and with repeated attempts below a root. Neither ever deletes a file.
#pragma once

#include <string>
#include <vector>

#include "platform/function_ref.h"

// How the rules remove one directory. `final` is false for an attempt the
// retry rule will follow with another. True when the directory is gone, or is
// to go at the next restart (which, for its parent, comes to the same). Without
// one the rules call RemoveDirectoryA alone.
using DirRemoval = FunctionRef<bool(const std::string& dir, bool final)>;

// Removes `path`, then its parent, grandparent and so on, until one cannot be removed.
void RemoveDirAndParents(const std::string& path, DirRemoval removal = {});

// What the retry rule tries for `path`: the directory, then its parent unless
// the parent is `root`; nothing at all when `path` is `root` itself.
std::vector<std::string> RetriedDirectories(const std::string& path, const std::string& root);

// The retry rule's attempts on each directory, and the pause after each one.
constexpr int kRetryAttempts = 10;
constexpr unsigned kRetryPauseMs = 500;

// kRetryAttempts attempts on each of RetriedDirectories, each followed by a pause of kRetryPauseMs.
void RemoveDirWithRetry(const std::string& path, const std::string& root, DirRemoval removal = {});

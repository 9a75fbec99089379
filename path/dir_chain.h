// The install-directory chain: every prefix of the install path below the first
// component, in order, so that the run can remove them deepest first.
#pragma once

#include <string>
#include <vector>

// The prefixes of `installPath`, shallowest first: C:\A\B\C gives C:\A, C:\A\B
// and C:\A\B\C; \\server\share\dir gives \\server\share and \\server\share\dir.
std::vector<std::string> BuildDirChain(const std::string& installPath);

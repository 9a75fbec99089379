// The install-directory chain.
#include "path/dir_chain.h"

#include <algorithm>
#include <vector>

#include "path/path_names.h"
#include "path/win_path.h"

std::vector<std::string> BuildDirChain(const std::string& installPath) {
    std::vector<std::string> chain;
    const std::vector<std::string> tokens = winpath::SplitNames(installPath);
    if (tokens.empty()) return chain;
    // The leading backslashes of a share (\\server) or of a root-relative path
    // (\dir) belong to the path, all of them: without them it would name a
    // directory under the current one, and with two in place of three a share.
    std::string accumulated = installPath.substr(0, installPath.find_first_not_of('\\'));
    accumulated += tokens[0];
    // A prefix is a parent of the install directory only where every name
    // after it is plain: the chain starts after the last name that is not
    // (C:\Old\..\Prog has neither C:\Old nor C:\Old\.. for a parent).
    std::size_t first = 1;
    for (std::size_t i = 1; i < tokens.size(); ++i)
        if (!IsPlainName(tokens[i])) first = std::min(i + 1, tokens.size() - 1);
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        accumulated += '\\';
        accumulated += tokens[i];
        if (i < first) continue;
        // A last name Windows trims ("Tool ") keeps the trailing backslash that keeps it whole.
        chain.push_back(IsPlainName(tokens[i]) ? accumulated : installPath);
    }
    return chain;
}

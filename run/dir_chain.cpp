// The install-directory chain.
#include "run/dir_chain.h"

#include <algorithm>
#include <vector>

#include "app/uninstaller.h"
#include "platform/platform.h"
#include "run/dir_rules.h"
#include "run/win_path.h"

DirChain g_dirChain;

namespace {

// Called when memory has run out: nothing here may need the heap.
[[noreturn]] void FailForMemory() {
    if (!g_silent) platform::ShowBox("Memory allocation error", nullptr, platform::BoxButtons::Ok);
    platform::ExitProcessWith(kExitNoMemory);
}

int AppendInstallPrefixes(const std::string& installPath) {
    const std::vector<std::string> tokens = winpath::SplitNames(installPath);
    if (tokens.empty()) return 0;
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
    int appended = 0;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        accumulated += '\\';
        accumulated += tokens[i];
        if (i < first) continue;
        DirChainNode* node = new DirChainNode;
        // A last name Windows trims ("Tool ") keeps the trailing backslash that keeps it whole.
        node->path = IsPlainName(tokens[i]) ? accumulated : installPath;
        AppendDirChainNode(node);
        ++appended;
    }
    return appended;
}

}  // namespace

void AppendDirChainNode(DirChainNode* node) {
    node->next = nullptr;
    node->prev = g_dirChain.tail;
    if (g_dirChain.tail == nullptr)
        g_dirChain.head = node;
    else
        g_dirChain.tail->next = node;
    g_dirChain.tail = node;
}

void EmptyDirChain() {
    DirChainNode* node = g_dirChain.head;
    while (node != nullptr) {
        DirChainNode* next = node->next;
        delete node;
        node = next;
    }
    g_dirChain = DirChain();
}

int BuildDirChain(const std::string& installPath) {
    return platform::CallWithNoMemoryHandler(AppendInstallPrefixes, installPath, FailForMemory);
}

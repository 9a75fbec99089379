// The install-directory chain: every prefix of the install path below the first
// component, in order, so that the run can remove them deepest first.
#pragma once

#include <string>

struct DirChainNode {
    std::string path;
    DirChainNode* prev = nullptr;
    DirChainNode* next = nullptr;
};

struct DirChain {
    DirChainNode* head = nullptr;
    DirChainNode* tail = nullptr;
};

extern DirChain g_dirChain;

// Links `node` after the last node.
void AppendDirChainNode(DirChainNode* node);

// Releases every node and leaves the chain empty.
void EmptyDirChain();

// Appends the prefixes of `installPath`: C:\A\B\C gives C:\A, C:\A\B and
// C:\A\B\C; \\server\share\dir gives \\server\share and \\server\share\dir.
// Returns how many nodes were appended. Ends the process with the allocation
// failure box when a node cannot be had.
int BuildDirChain(const std::string& installPath);

// Paths, each found again however its case is written, as Windows compares
// names: no key made of the text would find "É" for "é" on every code page.
#pragma once

#include <string>
#include <vector>

class PathSet {
public:
    // Kept as PathKey makes it: C:\\A\b and C:\A\b\ are one path.
    void Insert(const std::string& path);
    bool Holds(const std::string& path) const;
    bool Empty() const { return keys_.empty(); }

private:
    std::vector<std::string> keys_;
};

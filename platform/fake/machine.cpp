// The fake machine itself: its one global state, the record of requests, the
// clock and the end of the process.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <new>

#include "platform/fake/machine_state.h"

namespace fake {
namespace detail {

namespace {
std::unique_ptr<Machine> g_machine;
unsigned g_generation = 0;
}  // namespace

std::string Fold(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

bool SameName(const std::string& a, const std::string& b) {
    return Fold(a) == Fold(b);
}

Machine& M() {
    if (!g_machine) Reset();
    return *g_machine;
}

std::string SystemDir() {
    return M().windowsDir + "\\system32";
}

bool LoadDll(const std::string& path, const char* name) {
    Record("LoadLibrary " + path);
    const auto& missing = M().missingDlls;
    return SameName(path, SystemDir() + "\\" + name) &&
           std::find(missing.begin(), missing.end(), Fold(name)) == missing.end();
}

unsigned Generation() {
    return g_generation;
}

void Record(const std::string& line) {
    M().calls.push_back(line);
}

}  // namespace detail

using detail::M;

void Reset() {
    detail::g_machine = std::make_unique<detail::Machine>();
    ++detail::g_generation;
    detail::Machine& m = *detail::g_machine;
    m.currentDir = detail::Resolve("C:\\");
    AddDirectory(m.windowsDir);
}

void SetDllMissing(const std::string& name, bool missing) {
    auto& names = M().missingDlls;
    names.erase(std::remove(names.begin(), names.end(), detail::Fold(name)), names.end());
    if (missing) names.push_back(detail::Fold(name));
}

unsigned long PausedMilliseconds() {
    return M().pausedMs;
}

const std::vector<std::string>& Calls() {
    return M().calls;
}

std::vector<std::string> CallsOf(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : M().calls) {
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        if (line.size() == prefix.size()) {
            found.emplace_back();
        } else if (line[prefix.size()] == ' ') {
            found.push_back(line.substr(prefix.size() + 1));
        }
    }
    return found;
}

void ClearCalls() {
    M().calls.clear();
}

}  // namespace fake

namespace platform {

void Pause(unsigned milliseconds) {
    fake::detail::Record("Sleep " + std::to_string(milliseconds));
    fake::detail::M().pausedMs += milliseconds;
    fake::detail::HandleDialogMessages();
}

void ExitProcessWith(int code) {
    fake::detail::Record("ExitProcess " + std::to_string(code));
    throw fake::ProcessExit{code};
}

int CallWithNoMemoryHandler(int (*work)(const std::string& text), const std::string& text,
                            void (*onNoMemory)()) {
    try {
        return work(text);
    } catch (const std::bad_alloc&) {
        onNoMemory();
    }
    // onNoMemory broke its promise to end the process.
    std::abort();
}

}  // namespace platform

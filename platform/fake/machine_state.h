// The fake machine's state, shared by the files that implement platform.h over it.
// Not for tests: they go through fake_machine.h.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <new>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/fake/fake_machine.h"

namespace fake::detail {

// Text in the machine's code page, one character at a time: a double-byte
// character's second byte is never a separator and never folded.
bool IsLead(unsigned char byte);
std::size_t NextChar(const std::string& text, std::size_t at);
// The first character `c` at or after `from` (a character's start); npos when none.
std::size_t FindChar(const std::string& text, char c, std::size_t from = 0);
bool EndsWithChar(const std::string& text, char c);
std::vector<std::string> SplitAtBackslashes(const std::string& text);  // empty names dropped
std::string Fold(const std::string& text);  // single-byte A-Z to lower case
bool SameName(const std::string& a, const std::string& b);

// ---------------------------------------------------------------- files

// A path made absolute: the root ("C:" or "\\server\share", as spelt) and the
// names below it, with "." and ".." applied.
struct FullPath {
    bool valid = false;
    std::string root;
    std::vector<std::string> names;
    bool trailingBackslash = false;  // the path as given ended with one
};

FullPath Resolve(const std::string& path);
// `path` as the program's file calls reach it: for a 32-bit program on 64-bit
// Windows, system32 is SysWOW64 (but for the exempt names below it) and
// Sysnative is system32, unless the view is native.
FullPath Seen(const std::string& path, platform::FileView view = platform::FileView::Own);
std::string KeyOf(const FullPath& path);       // folded, the index of the file table
std::string SpellingOf(const FullPath& path);  // as given

struct FileEntry {
    std::string spelling;  // the whole path as first spelt
    bool directory = false;
    std::string content;
    uint64_t version = 0;  // changes with every write of the content
    bool locked = false;
    bool readOnly = false;
    bool loaded = false;  // a running program or a loaded DLL
    bool denied = false;  // its permissions refuse deleting and renaming
};

// ---------------------------------------------------------------- registry

struct RegNode {
    std::string name;  // as first spelt
    std::vector<std::shared_ptr<RegNode>> subkeys;  // in order of creation
    std::vector<std::pair<std::string, platform::RegValue>> values;
    bool denyOpen = false;
    bool deleted = false;  // handles still open on a deleted key see it gone
};

// Keys by path below HKEY_LOCAL_MACHINE; null when missing or the path is malformed.
std::shared_ptr<RegNode> FindKey(const std::string& path);
std::shared_ptr<RegNode> CreateKey(const std::string& path);
std::shared_ptr<RegNode> FindSubkey(const RegNode& parent, const std::string& name);
void SetValue(RegNode& key, const std::string& name, uint32_t type, const std::string& data);
const platform::RegValue* FindValue(const RegNode& key, const std::string& name);
// Takes a key out of its parent with everything below it; `onlyWithoutSubkeys`
// refuses a key that has subkeys. Never the root, never a key that denies opening.
bool RemoveKeyTree(const std::string& path, bool onlyWithoutSubkeys);

// ---------------------------------------------------------------- the machine

struct Machine {
    // files
    std::string windowsDir = "C:\\windows";
    FullPath currentDir;
    std::map<std::string, FileEntry> files;  // by KeyOf; roots are not kept here
    std::size_t profileValueLimit = 0;
    std::set<std::string> openLogs;  // by KeyOf: files a LogFile holds open

    // named mutexes
    std::set<std::string> locksHeldElsewhere;
    std::set<std::string> locksHeld;

    // DLLs
    std::vector<std::string> missingDlls;  // folded names
    bool spoolerLoaded = false;

    // registry
    std::shared_ptr<RegNode> localMachine = std::make_shared<RegNode>();
    int openKeys = 0;
    bool windows95 = false;
    unsigned windowsBits = 32;
    unsigned programBits = 32;
    bool sysnative = true;  // the alias of Vista on
    bool reports95 = false;  // GetVersion only: a compatibility mode
    std::vector<char> remoteDrives;  // upper case
    bool diskFull = false;
    unsigned codePage = 1252;

    // spooler
    std::vector<std::string> refusedPrinters;  // folded names
    std::vector<std::string> securityRefusedPrinters;  // folded names
    std::vector<std::string> refusedPorts;  // folded names
    std::vector<std::string> refusedEnvironments;  // folded names
    Printer racingPrinter;
    int racingEnumsLeft = 0;
    bool racingPrinterAdded = false;
    std::map<std::string, XcvSupport> xcvMonitors;  // by folded name
    bool spoolerDown = false;
    bool spoolerServiceStopped = false;
    int openPrinters = 0;
    int liveSnapshots = 0;

    // user interface
    std::deque<platform::BoxAnswer> boxAnswers;
    std::vector<ShownBox> boxes;
    void (*beforeBox)() = nullptr;
    ProgressBar bar;
    int barWidth = 220;
    bool firstCommonControls = false;
    bool dialogLive = false;
    unsigned long messageChecks = 0;
    bool dialogShown = false;
    bool dialogRefused = false;
    bool commonControls = false;

    bool stationHidden = false;
    std::vector<LoggedEvent> events;  // the Application log

    unsigned long pausedMs = 0;
    unsigned long clockReadMs = 0;   // what reading the clock has moved it on
    unsigned msPerClockRead = 0;
    std::vector<std::string> calls;
};

Machine& M();

// Runs `work` on what stands for Windows' own memory: a shortage of the
// program's heap may cut it short, and neither the program's no-memory
// handler nor the failure reaches the caller.
template <typename Work>
void WithWindowsMemory(Work work) {
    const std::new_handler handler = std::set_new_handler(nullptr);
    try {
        work();
    } catch (const std::bad_alloc&) {
    }
    std::set_new_handler(handler);
}
std::string SystemDir();
// LoadLibraryA(path) of Windows' own DLL `name`; recorded.
bool LoadDll(const std::string& path, const char* name);
// Handles remember the machine they were opened on: one left over from before
// a Reset must not change the counts of the fresh machine.
unsigned Generation();
void Record(const std::string& line);

}  // namespace fake::detail

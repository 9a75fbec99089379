// What one whole run of the uninstaller may and must do to the fake machine,
// judged from the machine before and after: shared by the property test and the
// fuzz target, so it reports violations as text and never stops the process.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"

namespace oracle {

// Code pages the checker reads text in: 1252, one byte a character, and 932
// (Shift-JIS), where a byte 0x81-0x9F or 0xE0-0xFC with a byte after it makes
// one character of the two. The second byte may be 0x5C (the backslash's),
// 0x7C or a letter's, and is then none of them. Read on the checker's own
// terms, apart from the program's path text and the fake's.
bool StartsTwoByteChar(unsigned char byte, unsigned codePage);

// A Windows path resolved the way Windows resolves it, names folded to lower
// case (single-byte letters only). Kept apart from the fake's own resolution
// so that the two check each other.
struct WinPath {
    bool valid = false;
    std::string root;                // "c:" or "\\server\share"
    std::vector<std::string> names;  // below the root
    bool IsRoot() const { return valid && names.empty(); }
    std::string Key() const;
};

WinPath Resolve(const std::string& path, const WinPath& currentDir, unsigned codePage);

// "X:\..." or "\\server\share...": not relative to the current directory or drive.
bool IsAbsoluteText(const std::string& path);

// What the harness set up that the fake cannot tell back.
struct MachineFacts {
    std::string currentDir = "C:\\";
    unsigned codePage = 1252;  // as given to fake::SetCodePage
    bool windows95 = false;
    std::vector<std::string> lockedPaths;    // open elsewhere without sharing
    std::vector<std::string> readOnlyPaths;
    std::vector<std::string> loadedPaths;    // running or loaded: renamed, never deleted
    std::vector<std::string> deniedPaths;    // refused for their permissions
    std::vector<std::string> deniedKeys;      // registry keys that refuse to open
    std::vector<std::string> printerNames;    // every printer set up
    std::vector<std::string> refusedPrinters;
    bool racing = false;  // a printer arrives during the enumeration
    fake::Printer racingPrinter;
    int racingTimes = 0;
};

// Taken before the run, after the machine is set up: the file list and the
// strings file read back as the program will read them, and the state it must
// leave alone. Clears the call record.
class RunCheck {
public:
    explicit RunCheck(MachineFacts facts);

    // After UninstallerMain returned `exitStatus` with the question answered
    // Yes (`answeredYes`) or otherwise. Empty when the run kept every promise.
    // `silent`: started with /S, which shows nothing at all.
    std::vector<std::string> Check(int exitStatus, bool answeredYes, bool silent = false) const;

    // The file list's values as read, for reports.
    std::string Describe() const;

private:
    struct Value {
        std::string text;
        bool whole = true;
        bool Usable() const { return whole && !text.empty(); }
    };

    Value Read(const std::string& section, const std::string& key, const std::string& def,
               const std::string& file) const;
    std::vector<Value> ReadList(const std::string& section, const std::string& prefix) const;
    void CheckFiles(std::vector<std::string>* out) const;
    void CheckRegistry(std::vector<std::string>* out) const;
    void CheckPrinters(std::vector<std::string>* out) const;
    void CheckScreen(bool restart, bool stayed, bool silent, std::vector<std::string>* out) const;
    bool Locked(const WinPath& path) const;
    bool Denied(const WinPath& path) const;
    bool Loaded(const WinPath& path) const;
    bool ReadOnly(const WinPath& path) const;
    // The paths the run had Windows delete at the next restart, as it gave them.
    std::vector<std::string> Scheduled() const;

    MachineFacts facts_;
    WinPath cwd_;

    Value installPath_, entry_, monitor_, root_;
    std::vector<Value> files_, paths_, stmPaths_;
    Value completeText_, completeCaption_, restartLine_, incompleteLine_;
    // Something the run was to remove stayed, refused by Windows: set by the checks.
    mutable bool stayed_ = false;
    bool monitorThereBefore_ = false;

    std::vector<std::string> pathsBefore_;
    std::set<std::string> fileKeysBefore_;  // keys of files (not directories) before
    std::set<std::string> regBefore_;       // folded key paths
    // Programs-list entries: folded name -> which of the three listing values it had.
    std::map<std::string, std::vector<bool>> entryValuesBefore_;
    std::map<std::string, fake::Printer> printersBefore_;  // by folded name
    std::vector<std::string> monitorPorts_;                // as the registry lists them
};

}  // namespace oracle

// A small Windows machine in memory, behind the functions of platform.h, for the
// tests: files and directories, profile files, a registry, a spooler, boxes with
// scripted answers, a progress bar and a clock. It records every request, in order.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

// Thrown by platform::ExitProcessWith in place of ending the test process.
struct ProcessExit {
    int code;
};

// One message box as it was shown.
struct ShownBox {
    std::string text;
    bool hasCaption = true;
    std::string caption;
    platform::BoxButtons buttons = platform::BoxButtons::Ok;
};

// The progress bar of the (single) progress dialog.
struct ProgressBar {
    bool exists = false;
    int position = 0;
    int step = 0;
    uint32_t rangeUpper = 0;
    bool range32 = false;      // last range set with PBM_SETRANGE32
    int rangeMessages = 0;     // PBM_SETRANGE / PBM_SETRANGE32 received
    int stepsTaken = 0;        // PBM_STEPIT received
    // Position as the control keeps it: a step past the upper bound starts over at 0.
    int visiblePosition = 0;
};

// Resets the whole machine to a fresh state: Windows directory C:\windows
// (which exists), current directory C:\, NT family, empty registry and spooler,
// no scripted answers.
void Reset();

// -------------------------------------------------------------------- files
// Paths are Windows paths; names compare case-insensitively. Relative paths are
// resolved against the current directory, as Windows does.
void SetCurrentDirectory(const std::string& path);
void AddDirectory(const std::string& path);  // with its missing parents
void AddFile(const std::string& path, const std::string& content = "");  // with parents
void SetFileLocked(const std::string& path, bool locked);  // open elsewhere, no sharing: deletion refused
void SetReadOnly(const std::string& path, bool readOnly);  // DeleteFileA refuses read-only files
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
std::vector<std::string> AllPaths();  // every file and directory, as first spelt, sorted
// Profile values longer than this cannot be read whole (0: no limit).
void SetProfileValueLimit(std::size_t limit);

// -------------------------------------------------------------------- registry
// Paths under HKEY_LOCAL_MACHINE.
void RegCreateKey(const std::string& path);  // with missing parents
void RegSetDword(const std::string& path, const std::string& name, uint32_t value);
void RegSetString(const std::string& path, const std::string& name, const std::string& value);
void RegSetRaw(const std::string& path, const std::string& name, uint32_t type, const std::string& data);
bool RegKeyExists(const std::string& path);
bool RegValueExists(const std::string& path, const std::string& name);
std::vector<std::string> RegSubkeys(const std::string& path);
// The key cannot be opened (access denied), though it is listed by its parent.
void RegDenyOpen(const std::string& path, bool deny);
int OpenRegistryKeys();  // keys opened and not yet closed
// The 95 family: GetVersion's high bit set, RegDeleteKeyA deletes whole trees.
void SetWindows95Family(bool on);

// -------------------------------------------------------------------- spooler
// Printers are kept as Windows keeps them: a key each under
// System\CurrentControlSet\Control\Print\Printers, with the values Name, Port,
// Printer Driver, Print Processor, Datatype, Attributes and the rest. Monitors are
// keys under System\CurrentControlSet\Control\Print\Monitors, their ports subkeys
// of the monitor's Ports key.
struct Printer {
    std::string name;
    std::string port;
    std::string shareName;
    std::string driverName = "Generic Driver";
    std::string comment;
    std::string location;
    std::string sepFile;
    std::string printProcessor = "winprint";
    std::string datatype = "RAW";
    std::string parameters;
    uint32_t attributes = 0;
    uint32_t priority = 1;
    uint32_t defaultPriority = 0;
    uint32_t startTime = 0;
    uint32_t untilTime = 0;
};
void AddPrinter(const Printer& printer);
bool GetPrinter(const std::string& name, Printer* printer);  // as the registry now holds it
void AddMonitorPort(const std::string& monitor, const std::string& port);  // creates the monitor
void SetPrinterOpenRefused(const std::string& name, bool refused);
// The next `times` EnumPrintersA calls find one more printer (this one) between
// the size query and the enumeration.
void AddPrinterDuringNextEnum(const Printer& printer, int times);
int OpenPrinters();  // printer handles open and not yet closed
int LivePrinterSnapshots();  // snapshots not yet released

// -------------------------------------------------------------------- user interface
// Answers for the next boxes, in order; a box with no scripted answer gets Yes
// (Yes/No) or Ok.
void ScriptBoxAnswer(platform::BoxAnswer answer);
const std::vector<ShownBox>& Boxes();
const ProgressBar& Bar();
bool DialogShown();  // the progress dialog was made visible
bool CommonControlsInitialised();

// -------------------------------------------------------------------- clock
unsigned long PausedMilliseconds();

// -------------------------------------------------------------------- record
// Every request made of the machine, in order, one line each, for example
// "DeleteFile C:\Prog\a.dll", "RemoveDirectory C:\Prog", "Sleep 500",
// "ReadProfile ZEVFList.ini [FILES] FILE00", "RegDeleteKey SOFTWARE\...",
// "SetPrinter P1 port=LPT1:", "DeletePort P", "DeleteMonitor Windows 4.0|M",
// "StepIt".
const std::vector<std::string>& Calls();
// The lines of Calls() that start with `prefix`, with the prefix and one blank removed.
std::vector<std::string> CallsOf(const std::string& prefix);
void ClearCalls();

}  // namespace fake

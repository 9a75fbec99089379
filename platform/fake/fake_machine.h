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
    uint32_t rangeUpper = 0;  // the range is 0..rangeUpper
    int position = 0;         // as the control keeps it: within its range
    int positionsSet = 0;     // PBM_SETPOS received
};
// A dialog's bar starts at 0 with the range of its step count; the first common
// controls keep a new control's 0..100 for a count above 65,535. Positions
// sent to the bar after its dialog has closed are recorded and change nothing.
// Its client area is 220 pixels wide unless set.

// Resets the whole machine to a fresh state: Windows directory C:\windows
// (which exists), current directory C:\, NT family, code page 1252, empty
// registry and spooler, no scripted answers.
void Reset();

// The system's ANSI code page: 1252 (single-byte) or 932 (Shift-JIS, whose lead
// bytes are 0x81-0x9F and 0xE0-0xFC). Paths, key names and port names are then
// read one character at a time, as Windows reads them.
void SetCodePage(unsigned codePage);

// -------------------------------------------------------------------- DLLs
// The system directory is C:\windows\system32. LoadLibraryA succeeds for
// comctl32.dll and winspool.drv named by their full path there (without regard
// to case), and for nothing else: not for a bare name, not from another
// directory. The file table does not list them. Until the spooler's DLL has
// been loaded every spooler call fails, as on the Win32 side.
void SetDllMissing(const std::string& name, bool missing);  // its LoadLibraryA fails

// -------------------------------------------------------------------- 64-bit Windows
// Windows is 64-bit, and the uninstaller a `programBits` program on it (32 or
// 64); Reset makes a 32-bit Windows without views. For a 32-bit program the
// file calls reach C:\windows\SysWOW64 for C:\windows\system32 (spool,
// drivers\etc, catroot, catroot2, logfiles and driverstore below it excepted)
// and, with `sysnative` (Vista on), system32 for C:\windows\Sysnative; in
// the native view nothing is redirected. The registry's SOFTWARE seen in the
// 32-bit view is SOFTWARE\Wow6432Node of the one below. Setup and checks
// here always name the machine as a 64-bit program sees it.
void Set64BitWindows(unsigned programBits, bool sysnative = true);

// -------------------------------------------------------------------- files
// Paths are Windows paths; names compare case-insensitively. Relative paths are
// resolved against the current directory, as Windows does: "\\server\share\..."
// and "X:\..." are absolute, "\foo" is on the current directory's root, "X:foo" is
// relative to the current directory when that is on X: (else to X:\). "/" is read
// as "\"; ".", "..", runs of backslashes and trailing dots and blanks of the last
// name are dropped. Roots always exist; drive letters are kept upper case.
// The setup functions throw std::invalid_argument when asked for the impossible
// (a file inside a file, a flag on a missing file).
void SetCurrentDirectory(const std::string& path);
void AddDirectory(const std::string& path);  // with its missing parents
void AddFile(const std::string& path, const std::string& content = "");  // with parents
// Open elsewhere, no sharing: deleting, removing and reading it as a profile fail.
void SetFileLocked(const std::string& path, bool locked);
// DeleteFileA refuses read-only files, RemoveDirectoryA read-only directories.
void SetReadOnly(const std::string& path, bool readOnly);
// A running program or a loaded DLL: DeleteFileA refuses it (5), MoveFileA renames it.
void SetFileLoaded(const std::string& path, bool loaded);
// Its permissions refuse the user: DeleteFileA and MoveFileA fail with 5.
void SetFileDenied(const std::string& path, bool denied);
// Paths on drive `letter` lie on another machine, as \\server\share paths do.
void SetRemoteDrive(char letter);
// Editing a file in place so that it grows fails before anything in it has changed.
void SetDiskFull(bool full);
bool FileExists(const std::string& path);       // a file, not a directory
bool DirectoryExists(const std::string& path);  // a directory or a root
// Every file and directory (roots not included), as first spelt, in plain
// std::string order.
std::vector<std::string> AllPaths();
// A file, or a directory with everything in it; nothing when missing. Not recorded.
void RemovePath(const std::string& path);
// A file's content; false for a missing file or a directory.
bool ReadFileContent(const std::string& path, std::string* content);
// Profile values longer than this cannot be read whole (0: no limit): they come
// back cut to `limit` with whole=false. This applies to a default as well.
void SetProfileValueLimit(std::size_t limit);

// A LogFile open on a file keeps it from being opened as a log again until it
// closes. Another process holds the program's named mutex of this name:
// TakeProgramLock answers HeldElsewhere.
void HoldProgramLockElsewhere(const std::string& name, bool held);
bool ProgramLockHeld(const std::string& name);  // by this process

// -------------------------------------------------------------------- registry
// Paths under HKEY_LOCAL_MACHINE.
// Key paths must not start with a backslash; runs of backslashes count as one.
// The setters create the key (with its parents) when it is missing.
void RegCreateKey(const std::string& path);  // with missing parents
void RegSetDword(const std::string& path, const std::string& name, uint32_t value);
void RegSetString(const std::string& path, const std::string& name, const std::string& value);
void RegSetRaw(const std::string& path, const std::string& name, uint32_t type, const std::string& data);
void RegDeleteTree(const std::string& path);  // the key and everything below it; not recorded
bool RegKeyExists(const std::string& path);
bool RegValueExists(const std::string& path, const std::string& name);
bool RegGetValue(const std::string& path, const std::string& name, platform::RegValue* value);
std::vector<std::string> RegSubkeys(const std::string& path);
// The key cannot be opened (access denied), though it is listed by its parent;
// RegDeleteKeyA fails on it too. Denying creates the key when it is missing.
void RegDenyOpen(const std::string& path, bool deny);
int OpenRegistryKeys();  // keys opened and not yet closed
// The 95 family: GetVersion's high bit set, RegDeleteKeyA deletes whole trees.
// The version is then 4.10.2222, else 5.1.2600; the local time is always
// 2026-01-02 03:04:05.
void SetWindows95Family(bool on);
// A compatibility mode: GetVersion reports the 95 family (4.10.2222) while the
// machine stays NT underneath (MoveFileExA, RegDeleteKeyA).
void SetReportsWindows95Family(bool on);

// -------------------------------------------------------------------- spooler
// Printers are kept as Windows keeps them: a key each under
// System\CurrentControlSet\Control\Print\Printers, with the values Name, Port,
// Printer Driver, Print Processor, Datatype, Attributes and the rest. Monitors are
// keys under System\CurrentControlSet\Control\Print\Monitors, their ports subkeys
// of the monitor's Ports key.
// DeletePortA deletes the port's key from the monitor that owns it; it fails when
// no monitor owns it or a printer still prints to it. DeleteMonitorA deletes the
// monitor's key with its ports; it fails for an unknown monitor or one with a port
// in use. Of the environments only "Windows 4.0", "Windows NT x86" and
// "Windows x64" are served (and no environment, the server's own); another
// gives ERROR_INVALID_ENVIRONMENT, as on Windows (Wine takes any). Printer
// names compare without case.
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
// The printer's security descriptor may not be written (the caller lacks
// WRITE_DAC): SetPrinterA level 2 with a record that still carries the
// descriptor fails and changes nothing. Every record listed carries it.
void SetPrinterSecurityRefused(const std::string& name, bool refused);
// The spooler knows no port of this name: SetPrinterA level 2 with a record on
// it fails and changes nothing (as the NT family refuses "LPT1" for "LPT1:").
void SetPortRefused(const std::string& port, bool refused);
// The next `times` EnumPrintersA calls find one more printer (this one) between
// the size query and the enumeration. The printer is added at the first of them.
// EnumLocalPrinters asks up to 5 times: with `times` of 5 or more it gives an
// empty list, and the attempts left over fail the next EnumLocalPrinters.
void AddPrinterDuringNextEnum(const Printer& printer, int times);
// The print server does not serve this environment, as Windows from Vista on
// may refuse "Windows 4.0": DeleteMonitorA with it gives ERROR_INVALID_ENVIRONMENT.
void SetEnvironmentRefused(const std::string& environment, bool refused);
// The monitor's Xcv interface (none unless given: opening it fails with 3000);
// "DeletePort" deletes as DeletePortA does, or is unknown to it (87).
enum class XcvSupport { None, DeletePort, OtherCommandsOnly };
void SetMonitorXcv(const std::string& monitor, XcvSupport support);
// Every spooler call but EnumPrintersA (as Wine's) answers 1722; the Service
// Control Manager says the service is stopped, or not.
void SetSpoolerNotRunning(bool serviceStopped);
int OpenPrinters();  // printer handles open and not yet closed
int LivePrinterSnapshots();  // snapshots not yet released

// -------------------------------------------------------------------- user interface
// Answers for the next boxes, in order; a box with no scripted answer gets Yes
// (Yes/No) or Ok. A scripted answer is returned as it is, whatever the buttons.
void ScriptBoxAnswer(platform::BoxAnswer answer);
const std::vector<ShownBox>& Boxes();
// The progress dialog cannot be made (DialogBoxParamA fails before it exists,
// as when one of its controls cannot be): its work never runs. Nor does it for
// a template other than the program's one dialog, 102; the dialog's bar is
// control 1000, and there is no other control.
void SetDialogRefused(bool refused);
// How often the program has looked at its window messages (AnswerWindowMessages,
// Pause): the fake's windows answer whenever it does.
unsigned long MessageChecks();
// Called as each box is shown, before the fake takes any note of it (null: nothing).
// A test that takes the heap away gives it back here: MessageBox draws on
// memory of Windows' own.
void SetBeforeBoxHook(void (*hook)());
const ProgressBar& Bar();
void SetProgressBarWidth(int pixels);
// The first common controls (version 4.00): PBM_SETRANGE32 is unknown to them
// and changes nothing, so a bar of more than 65,535 steps keeps 0..100. (They
// answer PBM_GETPOS with 0; the platform has no call for it.)
void SetFirstCommonControls(bool first);
bool DialogShown();  // the progress dialog was made visible
bool CommonControlsInitialised();

// -------------------------------------------------------------------- window station and event log
// The process's window station is not visible (a service's): NoOneCanSee says
// so, except on the 95 family, which cannot tell.
void SetWindowStationHidden(bool hidden);
struct LoggedEvent {
    std::string source;
    platform::EventType type;
    uint16_t id;
    std::vector<std::string> strings;
};
// The events written to the Application log, oldest first. A source is
// registered (its key made with EventMessageFile and TypesSupported) where the
// system directory holds EventCreate.exe.
const std::vector<LoggedEvent>& Events();

// -------------------------------------------------------------------- clock
// platform::Milliseconds is the time paused (0 after Reset) plus this much for
// each time it has been read: 0 unless set, so that only Pause moves it.
unsigned long PausedMilliseconds();
void SetMillisecondsPerClockRead(unsigned milliseconds);

// -------------------------------------------------------------------- record
// Every request made of the machine, in order, one line each, for example
// "DeleteFile C:\Prog\a.dll", "RemoveDirectory C:\Prog", "Sleep 500",
// "ReadProfile ZEVFList.ini [FILES] FILE00", "RegDeleteKey SOFTWARE\...",
// "SetPrinter P1 port=LPT1:", "DeletePort P", "DeleteMonitor Windows 4.0|M",
// "SetPos 3". Names and paths are written as the caller gave them. All of them:
//   ReadProfile <file> [<section>] <key>      GetWindowsDirectory
//   GetSystemDirectory                        LoadLibrary <path>
//   DeleteFile <path>                         RemoveDirectory <path>
//   Sleep <ms>                                ExitProcess <code>
//   RegOpenKey <path>                         RegCloseKey <path as opened>
//   RegEnumKey <path> <index>                 RegQueryValue <path> <value name>
//   RegDeleteValue <path> <value name>        RegDeleteKey <path>
//     (the handle's path as opened; empty for a handle that is not open)
//   EnumPrinters (once per EnumLocalPrinters, however often it asks)
//   OpenPrinter <name>                        ClosePrinter <name as opened>
//   SetPrinter <name as opened> port=<port of the record written>
//   DeletePort <port>                         DeleteMonitor <environment or (null)>|<monitor>
//   XcvOpen <monitor>                         XcvData DeletePort <port>
//   QueryServiceStatus Spooler                RegSetValue <path> <value name>
//   MessageBox <caption>|<text>  (caption "(null)" for Windows' default caption)
//   InitCommonControls    ProgressDialog <template id> <steps>    CloseProgressDialog
//   SetPos <n>
//   SetFileAttributes <path> <attributes, decimal>   MoveFileEx <path>
//   MoveFile <from>|<to>   EditFile <path>
//   GetShortPathName <path>   FindFirstFile <directory>
//   ReadFile <path>   EditFile <path>   OpenLogFile <path>   WriteLog <path as opened>
//   CreateMutex <name>   ReleaseMutex   SetCurrentDirectory <path>
// A file call in the native view ends in " (native)", a registry call in a
// view of its own in " (32-bit view)" or " (64-bit view)".
// DeleteFileA and RemoveDirectoryA give Windows' codes: 2 or 3 when missing,
// 5 when read-only (or the wrong kind), 32 when locked, 145 for a directory
// that holds something. MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT adds the
// path, as "\??\<path>", to PendingFileRenameOperations (a REG_MULTI_SZ under
// System\CurrentControlSet\Control\Session Manager) on the NT family and fails
// with 120 on the 95 family. The fake keeps no 8.3 names: an existing path is its own short form.
// Only the handle owners record closing (on destruction or move-assignment);
// AnswerWindowMessages, ProgressBarWidth and IsWindows95Family record nothing. The setup functions
// of this header record nothing.
const std::vector<std::string>& Calls();
// The lines of Calls() that start with `prefix`, with the prefix and one blank removed.
// The prefix must end where a word does: "SetRange" does not match "SetRange32 9";
// a line that is just the prefix ("CloseProgressDialog") gives an empty string.
std::vector<std::string> CallsOf(const std::string& prefix);
void ClearCalls();

}  // namespace fake

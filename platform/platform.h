// What the uninstaller needs of Windows, and nothing more. Two implementations
// are chosen at link time: platform/win32 calls the real functions, platform/fake
// is an in-memory machine for tests.
//
// platform/: the bottom floor. It uses nothing of the program's; every other
// folder uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/function_ref.h"

namespace platform {

// ---------------------------------------------------------------- owners

// What a platform call opens or lists, as each implementation keeps it, and
// how each implementation lets one go: the handle closed, the memory freed.
struct LogFileState;
struct RegKeyState;
struct PrinterListState;
struct PrinterHandleState;
void Discard(LogFileState* state);
void Discard(RegKeyState* state);
void Discard(PrinterListState* state);
void Discard(PrinterHandleState* state);

// The one owner of what a platform call opens or lists (the log file, a
// registry key, a printer, a snapshot of the printers): moved, never copied;
// what it owns is let go (Discard) when the owner goes or takes another, on
// every path. Empty where the call failed, with Windows' error.
template <typename T>
class Owner {
public:
    Owner() = default;
    explicit Owner(std::unique_ptr<T> state) : state_(state.release()) {}
    // Not open, for Windows' error.
    explicit Owner(uint32_t error) : error_(error) {}

    bool IsOpen() const { return state_ != nullptr; }
    T* State() const { return state_.get(); }
    // Windows' error where the call that made it failed, else 0.
    uint32_t Error() const { return error_; }

private:
    struct Discarder {
        void operator()(T* state) const { Discard(state); }
    };
    std::unique_ptr<T, Discarder> state_;
    uint32_t error_ = 0;
};

// ---------------------------------------------------------------- profile files

// A value read from a profile file. `whole` is false when the value could not be
// read without cutting it; such a value names something other than what the file
// says and must never be acted on.
struct ProfileValue {
    std::string text;
    bool whole = true;
};

// GetPrivateProfileStringA: [section] key of `file`. A bare file name is looked up
// in the Windows directory. A missing file or key gives `defaultText`. Section and
// key names are case-insensitive; blanks around the value and one pair of
// surrounding quotes are dropped.
ProfileValue ReadProfileString(const std::string& section, const std::string& key,
                               const std::string& defaultText, const std::string& file);

// ---------------------------------------------------------------- text

// IsDBCSLeadByteEx(CP_ACP, byte): whether `byte` is the first of a two-byte
// character in the system's ANSI code page. False for every byte on a
// single-byte code page, and below 0x80 on any.
bool IsLeadByte(unsigned char byte);

// Whether two names in the system's ANSI code page are one name to NTFS and the
// registry: turned to Unicode (MultiByteToWideChar) and compared without case
// (CompareStringOrdinal from Vista on, else CharUpperBuffW on each; the 95
// family's CharUpperBuffA on the bytes). "\xC9" and "\xE9" (É, é) are one name
// on code page 1252, "\x82\x60" and "\x82\x81" (full-width Ａ, ａ) on 932.
bool SameTextIgnoringCase(const std::string& a, const std::string& b);

// ---------------------------------------------------------------- 64-bit Windows
// A 32-bit program on 64-bit Windows (WOW64) is shown views of its own: a name
// under the system directory reaches the 32-bit system directory (SysWOW64;
// spool, drivers\etc, catroot, catroot2, logfiles and driverstore excepted),
// and HKLM\SOFTWARE is the 32-bit view (Wow6432Node). A 64-bit program sees
// the native ones.

// The program's own bitness: 32 or 64.
unsigned ProgramBits();
// Whether Windows is 64-bit: a 64-bit build, or IsWow64Process, looked up by
// name (absent before XP SP2 and on the 95 family, where the answer is no).
bool Is64BitWindows();
// GetSystemWow64DirectoryA, looked up by name: the 32-bit system directory of
// 64-bit Windows (C:\Windows\SysWOW64), as Windows names it; empty elsewhere.
std::string GetSystemWow64Dir();

// How a file operation reads its path. Native reads it as a 64-bit program
// and the session manager at boot do: a path under GetSystemDir() then names
// the native system directory. For the 32-bit program on 64-bit Windows that
// goes through the Sysnative alias where Windows has it (Vista on), else with
// redirection turned off (Wow64DisableWow64FsRedirection) around that one
// operation; a deletion at the restart always keeps the path as given, the
// one the session manager will read. For a 64-bit program, and on 32-bit
// Windows, Native is Own.
enum class FileView { Own, Native };

// ---------------------------------------------------------------- files

// The Windows directory without a trailing backslash; empty when it cannot be had.
std::string GetWindowsDir();
// The system directory (GetSystemDirectoryA), likewise.
std::string GetSystemDir();
// `name` in the system directory; empty when that cannot be had. The program
// runs as administrator: it loads Windows' own DLLs by their full path only,
// as a bare name would be looked for beside the program (and, on older
// Windows, in the current directory) first.
std::string SystemDllPath(const char* name);
// DeleteFileA, with GetLastError's code when it fails (0 when the file was
// deleted): 2 and 3 for a file or directory that is not there, 5 for a
// read-only file (or a directory), 32 for a file another process holds open
// without sharing, 5 too for a program that is running on the NT family.
uint32_t DeleteFileWithError(const std::string& path, FileView view = FileView::Own);
// RemoveDirectoryA, with GetLastError's code when it fails (0 when removed):
// 3 (Wine) or 123 for a path that cannot name anything (\\\server\share).
// Read in `view`.
uint32_t RemoveDirectoryWithError(const std::string& path, FileView view = FileView::Own);

// Windows' error codes the run tells apart.
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorCallNotImplemented = 120;
constexpr uint32_t kErrorInvalidName = 123;  // a path that cannot name anything
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorDirNotEmpty = 145;

// Whether Windows' error says there is nothing of that name (a file, a key): 2 or 3.
inline bool IsNotFoundError(uint32_t error) {
    return error == kErrorFileNotFound || error == kErrorPathNotFound;
}

// What asking Windows to remove something came to.
enum class RemovalResult {
    Removed,   // gone (or, for a programs entry, no longer listed)
    NotThere,  // nothing of that name to begin with
    Failed,    // there, and Windows refused
};

// File attributes as Windows numbers them.
constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrNormal = 0x80;  // no other attribute set

// GetFileAttributesA: 0 with the path's attributes, else Windows' error (2 or
// 3 for a path with nothing of that name).
uint32_t GetFileAttributesWithError(const std::string& path, uint32_t* attributes, FileView view = FileView::Own);
// SetFileAttributesA: 0 when set, else Windows' error.
uint32_t SetFileAttributesWithError(const std::string& path, uint32_t attributes, FileView view = FileView::Own);
// MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT), with GetLastError's
// code when it fails (0 when done): the NT family deletes `path` (a file, or an
// empty directory) early in the next start, before any program can hold it.
// The 95 family does not implement it: kErrorCallNotImplemented. In the native
// view the path is written as the session manager, a native program, reads it.
uint32_t DeleteAtNextRestartWithError(const std::string& path, FileView view = FileView::Own);
// MoveFileA(from, to), with GetLastError's code when it fails (0 when moved):
// never over an existing file (183). Windows renames a running program or a
// loaded DLL; a file held open without delete sharing it refuses (32). Both
// paths are read in `view`.
uint32_t MoveFileWithError(const std::string& from, const std::string& to, FileView view = FileView::Own);
// Whether `path` lies on another machine: a share (\\server\share\...) or a
// drive that GetDriveTypeA calls remote. Windows carries out its restart list
// before the network is up.
bool IsOnNetwork(const std::string& path);
// FindFirstFileA and FindNextFileA over `dir`\*: 0 with the names the
// directory holds, "." and ".." left out, else Windows' error.
uint32_t ListDirectoryWithError(const std::string& dir, std::vector<std::string>* names,
                                FileView view = FileView::Own);
// GetShortPathNameA: the 8.3 form of an existing path; empty when it cannot be had.
std::string ShortPathOf(const std::string& path);
// The whole content of a file (CreateFileA, ReadFile); false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* content);
// SetCurrentDirectoryA: false when it cannot be made the current directory.
bool SetCurrentDir(const std::string& path);
// GetFullPathNameA: `path` made full against the current directory (a full
// path comes back as it is); empty when it cannot be had.
std::string FullPathOf(const std::string& path);
// What an edit makes of a file's content.
using FileEdit = FunctionRef<std::string(const std::string& content)>;
// Reads the file (an empty one where it is missing) and writes back what `edit`
// makes of it, through one handle that shares nothing meanwhile: the file
// takes its new length first (a full disk fails there, before a byte has
// changed), then the bytes from the first that differs are written and flushed
// to the disk. Never cut short before the new content is written. GetLastError's
// code when it fails, else 0.
uint32_t EditFileInPlace(const std::string& path, FileEdit edit);
// Sleep, handling the thread's window messages meanwhile (AnswerWindowMessages).
void Pause(unsigned milliseconds);
// A clock in milliseconds since some start (GetTickCount): it wraps after 49.7
// days, so only the difference of two readings means anything.
uint32_t Milliseconds();

// ---------------------------------------------------------------- the log file

// A file open for adding lines at its end, for the life of its owner. Others
// may read it meanwhile; nobody else may write it or open it for writing.
using LogFile = Owner<LogFileState>;

// CreateFileA(OPEN_ALWAYS, FILE_SHARE_READ): made where missing, added to where
// there. Not open when it cannot be: a missing directory, a directory of that
// name, a read-only file, access denied, a file another program writes.
LogFile OpenLogFile(const std::string& path);
// Adds `text` at the end of the file; false when it cannot be written whole.
bool WriteToLog(const LogFile& log, const std::string& text);
// Adds one line, the local time to the millisecond, a tab, `fields` and CR LF,
// with nothing taken from the heap: what a run that has run out of memory can
// still write. `fields` longer than 200 bytes is cut there.
bool WriteLogLineWithoutHeap(const LogFile& log, const char* fields);

// ---------------------------------------------------------------- one copy at a time

enum class ProgramLock {
    Taken,          // this process holds it until it ends
    HeldElsewhere,  // another process holds it
};

// A named mutex (CreateMutexA, then WaitForSingleObject without waiting),
// session-wide ("Global\<name>") on the NT family from Windows 2000 on, where
// terminal sessions exist. Never released: Windows releases it when the process
// ends, however it ends, and a mutex left by a process that ended without
// releasing it is taken as free. Where the mutex cannot be made at all the
// answer is Taken: one copy is guarded against, not the lack of one.
ProgramLock TakeProgramLock(const std::string& name);
// Lets go of the lock taken here (ReleaseMutex, CloseHandle), so that another
// copy may run while this one still waits on something; nothing when not taken.
void ReleaseProgramLock();

// ---------------------------------------------------------------- registry
// Every key lives under HKEY_LOCAL_MACHINE.

enum class RegAccess { Read, SetValue };

// Which view of the registry a key is opened in. Default is the program's own
// (no flag: what Windows without views has); Bits32 and Bits64 ask for one
// (KEY_WOW64_32KEY, KEY_WOW64_64KEY), to be used on 64-bit Windows only.
// HKLM\SYSTEM is one view for both.
enum class RegView { Default, Bits32, Bits64 };

// An open registry key; closed when its owner goes.
using RegKey = Owner<RegKeyState>;

// Registry value types, numbered as Windows numbers them.
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

struct RegValue {
    uint32_t type = 0;
    std::string data;  // the stored bytes, whole (text values keep their terminator)
};

// RegOpenKeyExA (KEY_READ or KEY_SET_VALUE) in `view`; not open on failure,
// with Windows' error (2 for a key that is not there, 5 for one that may not
// be opened).
RegKey OpenLocalMachineKey(const std::string& path, RegAccess access, RegView view = RegView::Default);
// RegEnumKeyA: the name of subkey `index`; false past the last subkey or on failure.
bool EnumSubkey(const RegKey& key, uint32_t index, std::string* name);
// RegQueryValueExA: type and whole data of a value; false when it cannot be read.
bool QueryValue(const RegKey& key, const std::string& name, RegValue* value);
// RegSetValueExA of a REG_SZ on a key opened for setting values: 0 when set,
// else Windows' error (6 for a key not open).
uint32_t SetTextValueWithError(const RegKey& key, const std::string& name, const std::string& text);
// RegDeleteValueA on a key opened for setting values: 0 when the value was
// deleted, else Windows' code: 2 for a value that is not there, 5 for a key
// not opened for setting values, 6 for one not open.
uint32_t DeleteValueWithError(const RegKey& key, const std::string& name);
// RegDeleteKeyA: the NT family refuses a key that has subkeys; the 95 family
// deletes it with its whole tree.
// In a view other than Default through RegDeleteKeyExA, looked up by name.
bool DeleteLocalMachineKey(const std::string& path, RegView view = RegView::Default);

// ---------------------------------------------------------------- print spooler

// A snapshot of the local printers (EnumPrintersA, PRINTER_ENUM_LOCAL, level 2).
// Changing a printer's port changes the snapshot only; SetPrinterLevel2 writes
// the whole record back. Records past the last (or in an empty snapshot) read
// as empty and take no change.
using PrinterList = Owner<PrinterListState>;

std::size_t PrinterCount(const PrinterList& list);
std::string PrinterNameAt(const PrinterList& list, std::size_t index);  // empty when the spooler gave none
std::string PortNameAt(const PrinterList& list, std::size_t index);     // empty when the spooler gave none
void SetPortNameAt(PrinterList& list, std::size_t index, const std::string& port);
// Takes the security descriptor out of record `index`: SetPrinterLevel2 then
// leaves the printer's security as it is, and needs no right to change it.
void ClearSecurityDescriptorAt(PrinterList& list, std::size_t index);

// An open printer; closed (ClosePrinter) when its owner goes.
using PrinterHandle = Owner<PrinterHandleState>;

// The snapshot is asked for again, a few times, when the spooler says it no
// longer fits (a printer added between the size query and the enumeration).
PrinterList EnumLocalPrinters();
// OpenPrinterA with PRINTER_ALL_ACCESS, no data type, no device mode; not
// open on failure, with Windows' error.
PrinterHandle OpenPrinterAllAccess(const std::string& printerName);
// SetPrinterA(printer, 2, record `index` of `list`, 0): 0 when written, else
// Windows' error.
uint32_t SetPrinterLevel2(const PrinterHandle& printer, const PrinterList& list, std::size_t index);
// LoadLibraryA(path) of WINSPOOL.DRV, kept loaded for the life of the process,
// and the spooler's functions from it; false when the DLL or one of them cannot
// be had. Until it has succeeded every spooler call here fails.
bool LoadSpooler(const std::string& path);
// DeletePortA(NULL, NULL, port): 0 when the port was deleted, else
// GetLastError's code. With no window given, a monitor whose UI DLL would ask
// must not; from Windows 2000 on the spooler loads that DLL into the caller.
uint32_t DeletePortWithError(const std::string& port);

// A monitor's configuration interface in the spooler (Xcv): OpenPrinterA of
// ",XcvMonitor <monitor>" for SERVER_ACCESS_ADMINISTER. Not open where the
// monitor has none or the spooler cannot be reached, with Windows' error;
// kErrorCallNotImplemented where this Windows has no XcvDataW (the 95 family,
// NT 4), without asking the spooler.
PrinterHandle OpenMonitorXcv(const std::string& monitor);
// XcvDataW(xcv, L"DeletePort", the port's name in UTF-16 with its terminator):
// the monitor's status for the port, 0 when deleted; where the call itself
// fails, its GetLastError. Nothing of the monitor is loaded into the caller.
uint32_t XcvDeletePort(const PrinterHandle& xcv, const std::string& port);
// What a monitor's Xcv answers for a command it does not know: Microsoft's and
// Wine's monitors ERROR_INVALID_PARAMETER, others ERROR_NOT_SUPPORTED or
// ERROR_INVALID_FUNCTION.
inline bool IsUnknownXcvCommand(uint32_t error) {
    return error == 1 || error == 50 || error == 87;
}
// RPC_S_SERVER_UNAVAILABLE: every spooler call while the spooler is not running.
constexpr uint32_t kErrorSpoolerUnreachable = 1722;
// Whether the Service Control Manager says the service "Spooler" is stopped
// (QueryServiceStatus; a disabled service is stopped too). False where it
// cannot be asked, as on the 95 family.
bool SpoolerServiceStopped();
// DeleteMonitorA(NULL, environment, monitor), a null environment being the
// caller's own: 0 when the monitor was deleted, else GetLastError's code
// (1 before the spooler is loaded). From Vista on a print server answers an
// environment it does not serve with ERROR_INVALID_ENVIRONMENT.
uint32_t DeleteMonitorWithError(const char* environment, const std::string& monitor);
constexpr uint32_t kErrorInvalidEnvironment = 1805;

// ---------------------------------------------------------------- version and time

// GetVersion's high bit: set on the Windows 95 family.
bool IsWindows95Family();
// GetVersion as text: "Windows 4.10.2222 (95 family)", "Windows 6.1.7601 (NT family)".
std::string WindowsVersionText();
// GetLocalTime as text, to the millisecond: "2026-12-08 17:52:03.125".
std::string LocalTimeText();

// ---------------------------------------------------------------- user interface

// A window (HWND on Windows) and a module's instance (HINSTANCE): types of
// their own, so that one is never passed for the other.
struct WindowTag;
struct InstanceTag;
using Window = WindowTag*;
using Instance = InstanceTag*;

enum class BoxButtons {
    YesNoQuestion,  // MB_YESNO | MB_ICONQUESTION
    Ok,             // MB_OK, no icon
};
enum class BoxAnswer { Yes, No, Ok, Other };

// MessageBoxA without an owner. A null caption leaves Windows' default caption.
// The text is handed over as it is, not copied: the box that reports a failed
// allocation must not need the heap.
BoxAnswer ShowBox(const char* text, const char* caption, BoxButtons buttons);

// LoadLibraryA(path) of COMCTL32.DLL, kept loaded, then its InitCommonControls:
// registers the progress bar class. False when the DLL or the function cannot be had.
bool InitProgressControls(const std::string& path);

// The work a progress dialog carries. `bar` is the dialog's progress bar.
using ProgressWork = FunctionRef<void(Window bar)>;

// Makes the dialog `templateId` of `instance` (DialogBoxParamA, no owner), sets
// its progress bar, control `barId`, to 0 of a range of `steps` (PBM_SETRANGE,
// or PBM_SETRANGE32 above 65,535, which the first common controls ignore),
// shows it, and calls `work` while it is on screen. The dialog closes when
// `work` returns, and nothing else closes it: Esc and Alt+F4 do nothing, and
// `work` is called once only. Its messages are handled whenever the work calls
// AnswerWindowMessages or Pause. False, and `work` not called, when the dialog
// cannot be made.
bool RunUnderProgressDialog(Instance instance, int templateId, int barId, int32_t steps, ProgressWork work);

// Handles the window messages waiting for this thread, as a message loop
// would (the dialog's keys through IsDialogMessage), so that its windows
// repaint and answer while the run holds the thread: from Vista on, a window
// that answers nothing for 5 seconds is marked "Not Responding" and the user
// is offered to end the program. Looks at the queue only when some 100 ms have
// passed since it last did: cheap enough to call at every step.
void AnswerWindowMessages();

// PBM_SETPOS. Nothing here asks the bar for its position: the first common
// controls (4.00: Windows 95 before OSR2, NT 4 without a later Internet
// Explorer) answer PBM_GETPOS with 0.
void ProgressSetPos(Window bar, int position);
// The width of the bar's client area in pixels (GetClientRect); 0 when unknown.
int ProgressBarWidth(Window bar);

// Whether no one can see or answer a window here: the process's window
// station is not visible (GetUserObjectInformationA(GetProcessWindowStation(),
// UOI_FLAGS) without WSF_VISIBLE), as for a service, the local system account
// of a deployment tool or a task run whether the user is logged on or not.
// False where Windows cannot tell (the 95 family has no window stations).
bool NoOneCanSee();

// ---------------------------------------------------------------- Application event log

enum class EventType { Information, Error };

// Writes one event to the Application log (ReportEventA) under `source`, with
// `strings` as its insertion strings, and nothing taken from the heap. Where
// Windows' own EventCreate.exe is in the system directory, `source` is first
// registered with it as its message file, as the eventcreate command registers
// its sources: it shows the events 1 to 1000 as their first string, and stays
// when the program has gone. Elsewhere the event is written from a source that
// is not registered. False when it cannot be written (the 95 family has no
// event log).
bool WriteApplicationEvent(const char* source, EventType type, uint16_t id, const char* const* strings,
                           uint16_t count);
constexpr const char* kEventSourcesKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";

// ---------------------------------------------------------------- process

// Ends the process at once with `code`.
[[noreturn]] void ExitProcessWith(int code);

// The exit status of a program whose memory ran out.
constexpr int kExitNoMemory = 1;

// Calls `work()` and returns what it returns; should memory run out while it
// runs, calls `onNoMemory()` instead, which must end the process. A failure
// inside `onNoMemory` itself ends the process at once. The Win32 program is
// built without exceptions: there a failed allocation calls the new-handler,
// which is set for the call; the fake catches std::bad_alloc.
int CallWithNoMemoryHandler(FunctionRef<int()> work, FunctionRef<void()> onNoMemory);

}  // namespace platform

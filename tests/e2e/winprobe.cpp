// The end-to-end cases' eyes inside Wine: run under the same prefix as the
// uninstaller, it reads the uninstaller's windows and starts the program itself
// so that its whole exit status can be seen (a Linux exit status keeps 8 bits).
//
//   winprobe box CAPTION   the dialog-class top-level window captioned CAPTION
//   winprobe progress      the visible top-level dialog that holds a progress bar
//   winprobe list          every visible top-level window
//   winprobe run PROGRAM [ARGUMENTS]   starts PROGRAM with ARGUMENTS (one text),
//                          waits for it, prints "exit N"
//   winprobe hold FILE S   opens FILE sharing nothing, prints "held", keeps it
//                          open for S seconds (or until ended)
//   winprobe load FILE S   loads FILE as a module, prints "held", keeps it S seconds
//   winprobe runline LINE  as run, with the whole command line as given
//   winprobe start HOW DIR LINE  as runline, started in directory DIR ("-": this
//                          one's), on a window station no one can see where HOW
//                          is "unseen" (as a service's), else on this one's
//   winprobe printers      each local printer the spooler lists, its port, and
//                          whether OpenPrinter with all access takes it
//   winprobe ping          sends the progress dialog WM_NULL as Windows asks a
//                          window whether it hangs (SendMessageTimeout,
//                          SMTO_ABORTIFHUNG, 1 s); prints "answered" or
//                          "unanswered", the milliseconds it took, and the
//                          dialog's X window ("xwindow N", 0 when unknown)
//   winprobe desktop       has Wine start the desktop, prints "ready" once it is
//                          up, and keeps it up until ended
//
// Reading a window sends it no message, except STM_GETICON to an icon control
// with a timeout: the progress dialog's thread is busy with the run and would
// not answer until the run ends.
// Exit status 0 when the window was found (or the program ran, the file was
// held, the printers listed, the dialog pinged), 3 when not.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string TextOf(HWND window) {
    std::vector<char> buffer(4096);
    for (;;) {
        int length = GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
        if (length < static_cast<int>(buffer.size()) - 1) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// One line per window: backslash, line breaks and other control bytes escaped,
// so a text that holds "\n" is told apart from one that breaks the line.
std::string Escaped(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c == 0x7f || c == '|') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else out += static_cast<char>(c);
    }
    return out;
}

void PrintRect(const char* what, HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    std::printf("%s %ld %ld %ld %ld\n", what, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

// "icon" when an SS_ICON static holds an icon, "noicon" when it holds none
// (Wine's message box keeps its icon control even for a box without one).
const char* IconState(HWND child) {
    if (_stricmp(ClassOf(child).c_str(), "Static") != 0) return "-";
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return "-";
    DWORD_PTR icon = 0;
    if (!SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon)) return "unknown";
    return icon != 0 ? "icon" : "noicon";
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
    std::printf("child|%s|%d|%s|%s|%s\n", ClassOf(child).c_str(), GetDlgCtrlID(child),
                IsWindowVisible(child) ? "visible" : "hidden", IconState(child),
                Escaped(TextOf(child)).c_str());
    return TRUE;
}

BOOL CALLBACK FindProgressBar(HWND child, LPARAM found) {
    if (_stricmp(ClassOf(child).c_str(), "msctls_progress32") == 0) {
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    return TRUE;
}

HWND ProgressBarOf(HWND dialog) {
    HWND bar = nullptr;
    EnumChildWindows(dialog, FindProgressBar, reinterpret_cast<LPARAM>(&bar));
    return bar;
}

struct Search {
    std::string caption;
    bool progress = false;
    std::vector<HWND> found;
};

BOOL CALLBACK Match(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    if (ClassOf(window) != "#32770") return TRUE;
    if (search->progress) {
        if (IsWindowVisible(window) && ProgressBarOf(window) != nullptr) search->found.push_back(window);
    } else if (TextOf(window) == search->caption) {
        search->found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK ListWindow(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) return TRUE;
    std::printf("top|%s|%s\n", ClassOf(window).c_str(), Escaped(TextOf(window)).c_str());
    return TRUE;
}

void PrintWindow(HWND window) {
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    std::printf("window|%s|%s|%s|%s\n", ClassOf(window).c_str(), IsWindowVisible(window) ? "visible" : "hidden",
                (style & WS_CAPTION) == WS_CAPTION ? "caption" : "nocaption", Escaped(TextOf(window)).c_str());
    PrintRect("rect", window);
}

int RunCommandLine(std::string commandLine, const char* directory = nullptr, bool unseen = false);

int RunProgram(const char* program, const char* arguments) {
    std::string commandLine = std::string("\"") + program + "\"";
    if (arguments != nullptr) commandLine += std::string(" ") + arguments;
    return RunCommandLine(commandLine);
}

// A window station of its own, not visible, with a desktop: what a service
// or a task run whether the user is logged on or not is given.
bool MakeUnseenStation() {
    const HWINSTA own = GetProcessWindowStation();
    const HWINSTA station = CreateWindowStationA("ZevUnseen", 0, WINSTA_ALL_ACCESS, nullptr);
    if (station == nullptr || !SetProcessWindowStation(station)) return false;
    const HDESK desktop = CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(own);
    return desktop != nullptr;
}

// The whole command line as given, the program's name written as the caller chose.
int RunCommandLine(std::string commandLine, const char* directory, bool unseen) {
    const char* const program = commandLine.c_str();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    char unseenDesktop[] = "ZevUnseen\\Default";
    if (unseen) {
        if (!MakeUnseenStation()) {
            std::fprintf(stderr, "winprobe: cannot make a window station (error %lu)\n", GetLastError());
            return 3;
        }
        startup.lpDesktop = unseenDesktop;
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, directory, &startup,
                        &process)) {
        std::fprintf(stderr, "winprobe: cannot start %s (error %lu)\n", program, GetLastError());
        return 3;
    }
    std::printf("pid %lu\n", process.dwProcessId);
    std::fflush(stdout);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::printf("exit %lu\n", code);
    return 0;
}

// Loaded as a module is (a copy of a program will do): until this process
// ends, DeleteFile refuses FILE with 5, while MoveFile renames it.
int LoadFile(const char* path, const char* seconds) {
    if (LoadLibraryExA(path, nullptr, DONT_RESOLVE_DLL_REFERENCES) == nullptr) {
        std::fprintf(stderr, "winprobe: cannot load %s (error %lu)\n", path, GetLastError());
        return 3;
    }
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::strtoul(seconds, nullptr, 10)) * 1000);
    return 0;
}

// Share mode 0: until this process lets go, no other open succeeds, so a
// DeleteFile of FILE fails with a sharing violation.
int HoldFile(const char* path, const char* seconds) {
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "winprobe: cannot open %s (error %lu)\n", path, GetLastError());
        return 3;
    }
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::strtoul(seconds, nullptr, 10)) * 1000);
    CloseHandle(file);
    return 0;
}

template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// winspool.drv is loaded by name at run time, as the program loads it, so the
// probe imports nothing beyond kernel32 and user32.
int ListPrinters() {
    HMODULE spooler = LoadLibraryA("winspool.drv");
    if (spooler == nullptr) return 3;
    using EnumFn = BOOL(WINAPI*)(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
    using OpenFn = BOOL(WINAPI*)(LPSTR, LPHANDLE, LPPRINTER_DEFAULTSA);
    using CloseFn = BOOL(WINAPI*)(HANDLE);
    auto enumPrinters = Export<EnumFn>(spooler, "EnumPrintersA");
    auto openPrinter = Export<OpenFn>(spooler, "OpenPrinterA");
    auto closePrinter = Export<CloseFn>(spooler, "ClosePrinter");
    if (!enumPrinters || !openPrinter || !closePrinter) return 3;
    DWORD needed = 0, count = 0;
    enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<unsigned long long> buffer(needed / 8 + 1);
    if (needed != 0 && !enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 2, reinterpret_cast<BYTE*>(buffer.data()),
                                     static_cast<DWORD>(buffer.size() * 8), &needed, &count))
        return 3;
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; needed != 0 && i < count; ++i) {
        std::string name = printers[i].pPrinterName ? printers[i].pPrinterName : "";
        PRINTER_DEFAULTSA defaults = {};
        defaults.DesiredAccess = PRINTER_ALL_ACCESS;
        HANDLE printer = nullptr;
        const BOOL opened = openPrinter(&name[0], &printer, &defaults);
        const DWORD error = opened ? 0 : GetLastError();
        if (opened) closePrinter(printer);
        std::printf("printer|%s|%s|%s|%lu\n", Escaped(name).c_str(),
                    Escaped(printers[i].pPortName ? printers[i].pPortName : "").c_str(),
                    opened ? "opened" : "refused", error);
    }
    return 0;
}

int Ping() {
    Search search;
    search.progress = true;
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    if (search.found.empty()) return 3;
    const HWND dialog = search.found.front();
    DWORD_PTR result = 0;
    const DWORD start = GetTickCount();
    const LRESULT answered = SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result);
    std::printf("%s %lu\n", answered ? "answered" : "unanswered", GetTickCount() - start);
    // Wine's X11 driver keeps each top-level window's X window in this property.
    std::printf("xwindow %lu\n",
                static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(GetPropA(dialog, "__wine_x11_whole_window"))));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "list") == 0) {
        EnumWindows(ListWindow, 0);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "run") == 0) return RunProgram(argv[2], nullptr);
    if (argc == 4 && std::strcmp(argv[1], "run") == 0) return RunProgram(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "hold") == 0) return HoldFile(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "load") == 0) return LoadFile(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "runline") == 0) return RunCommandLine(argv[2]);
    if (argc == 5 && std::strcmp(argv[1], "start") == 0)
        return RunCommandLine(argv[4], std::strcmp(argv[3], "-") == 0 ? nullptr : argv[3],
                              std::strcmp(argv[2], "unseen") == 0);
    if (argc == 2 && std::strcmp(argv[1], "printers") == 0) return ListPrinters();
    if (argc == 2 && std::strcmp(argv[1], "ping") == 0) return Ping();
    if (argc == 2 && std::strcmp(argv[1], "desktop") == 0) {
        // Wine closes a desktop soon after its last program ends, and sets the
        // display's devices up again in the registry for the next one.
        if (GetDesktopWindow() == nullptr) return 3;
        std::printf("ready\n");
        std::fflush(stdout);
        Sleep(INFINITE);
    }
    Search search;
    if (argc == 3 && std::strcmp(argv[1], "box") == 0) {
        search.caption = argv[2];
    } else if (argc == 2 && std::strcmp(argv[1], "progress") == 0) {
        search.progress = true;
    } else {
        std::fprintf(stderr, "usage: winprobe box CAPTION | progress | list | run PROGRAM [ARGUMENTS] | runline COMMANDLINE | start HOW DIR COMMANDLINE | hold FILE SECONDS | load FILE SECONDS"
                             " | printers | ping | desktop\n");
        return 2;
    }
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    if (search.found.empty()) return 3;
    std::printf("count %u\n", static_cast<unsigned>(search.found.size()));
    HWND window = search.found.front();
    PrintWindow(window);
    if (search.progress) PrintRect("bar", ProgressBarOf(window));
    EnumChildWindows(window, PrintChild, 0);
    return 0;
}

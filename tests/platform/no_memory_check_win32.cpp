// Running out of memory in the program as it is built for Windows: without
// exceptions, with the program's own operator new (app/runtime_win32.cpp).
// Inside platform::CallWithNoMemoryHandler a failed allocation reaches the
// handler; outside it, and inside the handler itself, the process ends at once
// with status 1, never through abort().
//
// Run without arguments it starts itself once per case and checks how each
// one ended; exit status 0 when every case ended as it should.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "platform/platform.h"

namespace {

constexpr int kHandled = 41;
constexpr int kReturned = 42;
constexpr int kEnded = 1;

void* volatile g_sink;

int AllocateTooMuch() {
    g_sink = ::operator new(static_cast<std::size_t>(PTRDIFF_MAX));
    return 0;
}

int GrowStringTooFar(const char* text) {
    std::string grown = text;
    grown.reserve(grown.max_size() + 1);
    g_sink = &grown[0];
    return 0;
}

int AllocateNothing(const char* text) {
    return static_cast<int>(std::strlen(text));
}

void Handled() {
    ExitProcess(kHandled);
}

void InnerHandled() {
    ExitProcess(kHandled + 2);
}

int AllocateAfterInnerCall() {
    platform::CallWithNoMemoryHandler([] { return AllocateNothing("x"); }, InnerHandled);
    return AllocateTooMuch();
}

void HandlerThatRunsOutToo() {
    AllocateTooMuch();
    ExitProcess(kHandled);
}

int RunCase(const char* name) {
    if (std::strcmp(name, "inside") == 0) {
        platform::CallWithNoMemoryHandler(AllocateTooMuch, Handled);
    } else if (std::strcmp(name, "string") == 0) {
        platform::CallWithNoMemoryHandler([] { return GrowStringTooFar("x"); }, Handled);
    } else if (std::strcmp(name, "result") == 0) {
        const int result = platform::CallWithNoMemoryHandler([] { return AllocateNothing("four"); }, Handled);
        return result == 4 ? kReturned : 1;
    } else if (std::strcmp(name, "after") == 0) {
        platform::CallWithNoMemoryHandler([] { return AllocateNothing("x"); }, Handled);
        AllocateTooMuch();
    } else if (std::strcmp(name, "nested") == 0) {
        platform::CallWithNoMemoryHandler(AllocateTooMuch, HandlerThatRunsOutToo);
    } else if (std::strcmp(name, "outer") == 0) {
        platform::CallWithNoMemoryHandler(AllocateAfterInnerCall, Handled);
    }
    return kReturned;
}

DWORD RunSelf(const char* self, const char* name) {
    std::string command = std::string("\"") + self + "\" " + name;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0xFFFFFFFF;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD status = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) return RunCase(argv[1]);

    // Windows shows no dialog for abort() here: the children inherit this.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    const struct {
        const char* name;
        DWORD expected;
        const char* meaning;
    } cases[] = {
        {"inside", kHandled, "a failed allocation inside the call reaches the handler"},
        {"string", kHandled, "a string too long for the address space is a failed allocation"},
        {"result", kReturned, "without a failure the call hands back what the work returned"},
        {"after", kEnded, "after the call the handler is gone: the process ends at once"},
        {"nested", kEnded, "a failure inside the handler ends the process instead of coming back"},
        {"outer", kHandled, "after an inner call has returned, a failure reaches the outer handler"},
    };
    int failed = 0;
    for (const auto& c : cases) {
        const DWORD status = RunSelf(argv[0], c.name);
        const bool ok = status == c.expected;
        std::printf("%s %-7s %s (status %lu)\n", ok ? "ok  " : "FAIL", c.name, c.meaning,
                    static_cast<unsigned long>(status));
        if (!ok) ++failed;
    }
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}

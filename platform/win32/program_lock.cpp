// One copy of the program at a time, for the Win32 side: a named mutex.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

namespace {
HANDLE g_heldLock = nullptr;  // the mutex this process holds
}  // namespace

ProgramLock TakeProgramLock(const std::string& name) {
    // "Global\" names one mutex for every session (terminal services, fast user
    // switching); Windows NT 4 and the 95 family have no such namespace and
    // would take the backslash for part of the name, or refuse it.
    const DWORD version = GetVersion();
    const bool sessions = (version & 0x80000000u) == 0 && LOBYTE(LOWORD(version)) >= 5;
    const std::string full = sessions ? "Global\\" + name : name;
    // Unless released, the handle is never closed: Windows closes it when the process ends.
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, full.c_str());
    if (mutex == nullptr) {
        // Another user's copy made it, with a security that lets only its own
        // session's user open it.
        return GetLastError() == ERROR_ACCESS_DENIED ? ProgramLock::HeldElsewhere : ProgramLock::Taken;
    }
    // WAIT_ABANDONED: the copy that held it ended without releasing it; the
    // mutex is this process's now.
    const DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_TIMEOUT) return ProgramLock::HeldElsewhere;
    g_heldLock = mutex;
    return ProgramLock::Taken;
}

void ReleaseProgramLock() {
    if (g_heldLock == nullptr) return;
    ReleaseMutex(g_heldLock);
    CloseHandle(g_heldLock);
    g_heldLock = nullptr;
}

}  // namespace platform

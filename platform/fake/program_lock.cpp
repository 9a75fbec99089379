// The fake machine's one-copy-at-a-time lock: a set of names held here, and
// those a test says another process holds.
#include "platform/fake/machine_state.h"

namespace platform {

void ReleaseProgramLock() {
    fake::detail::Record("ReleaseMutex");
    fake::detail::M().locksHeld.clear();
}

ProgramLock TakeProgramLock(const std::string& name) {
    fake::detail::Record("CreateMutex " + name);
    if (fake::detail::M().locksHeldElsewhere.count(name) != 0) return ProgramLock::HeldElsewhere;
    fake::detail::M().locksHeld.insert(name);
    return ProgramLock::Taken;
}

}  // namespace platform

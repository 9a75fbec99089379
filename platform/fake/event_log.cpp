// The fake machine's Application event log: each event kept as written, and
// the source registered as Windows' EventCreate.exe registers its own.
#include "platform/fake/machine_state.h"

namespace platform {

using fake::detail::M;

bool WriteApplicationEvent(const char* source, EventType type, uint16_t id, const char* const* strings,
                           uint16_t count) {
    if (M().windows95) return false;
    // Not recorded. What Windows does here takes its own memory, which a
    // test's shortage of the program's does not reach.
    fake::detail::WithWindowsMemory([=] {
        const std::string key = std::string(kEventSourcesKey) + "\\" + source;
        if (fake::FileExists(fake::detail::SystemDir() + "\\EventCreate.exe") && !fake::RegKeyExists(key)) {
            fake::RegSetRaw(key, "EventMessageFile", kRegExpandSz, std::string("%SystemRoot%\\System32\\EventCreate.exe") + '\0');
            fake::RegSetDword(key, "TypesSupported", 7);
        }
        M().events.push_back({source, type, id, std::vector<std::string>(strings, strings + count)});
    });
    return true;
}

}  // namespace platform

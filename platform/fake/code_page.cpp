// The fake machine's code page: which bytes lead a double-byte character, and
// names compared as Windows compares them.
#include "platform/fake/machine_state.h"

namespace platform {

bool IsLeadByte(unsigned char byte) {
    return fake::detail::IsLead(byte);
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return fake::detail::SameName(a, b);
}

}  // namespace platform

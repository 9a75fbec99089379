// Runtime support for the program's static link.
#include <cstdlib>

// The C++ runtime's default terminate handler prints the demangled name of the
// exception, which links in the demangler and the C library's formatted printing
// (about a third of the program). The program never lets an exception escape;
// should one ever do so, ending at once is all that can be done.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

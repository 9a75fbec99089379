// Runtime support for the program's static link: small stand-ins for the parts
// of the C++ runtime that would otherwise bring in far more than they do here.
#include <cstdlib>
#include <new>

// The default terminate handler prints the demangled name of the exception,
// which links in the demangler and the C library's formatted printing (about a
// third of the program). The program never lets an exception escape; should one
// ever do so, ending at once is all that can be done.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

// The library's own versions of these build std::logic_error objects, which
// brings in a second, reference-counted string implementation and the rest of
// <stdexcept> (some 60 KB). A string too long for the address space is a
// failure to allocate, and is reported as one; a string made from a null
// pointer, or an index out of range, is a fault in the program.
namespace std {
void __throw_bad_alloc() {
    throw std::bad_alloc();
}
void __throw_bad_array_new_length() {
    throw std::bad_array_new_length();
}
void __throw_length_error(const char*) {
    throw std::bad_alloc();
}
void __throw_logic_error(const char*) {
    std::abort();
}
void __throw_out_of_range(const char*) {
    std::abort();
}
void __throw_out_of_range_fmt(const char*, ...) {
    std::abort();
}
}  // namespace std

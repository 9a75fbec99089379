// Runtime support for the program's static link: small stand-ins for the parts
// of the C++ runtime that would otherwise bring in far more than they do here.
// The program is built without exceptions (-fno-exceptions), so none of it ever
// throws, and the library's exception machinery and unwinder stay out.
#include <cstdlib>
#include <new>
#include <string>

#include "platform/platform.h"

namespace {

// What a failed allocation does: the new-handler when one is set (see
// platform::CallWithNoMemoryHandler), else the end with status 1, never
// abort(), whose "abnormal program termination" box would hold up an
// unattended run. A handler that returns is not retried for a size no heap can give.
[[noreturn]] void OutOfMemory() {
    if (const std::new_handler handler = std::get_new_handler()) handler();
    platform::ExitProcessWith(platform::kExitNoMemory);
}

}  // namespace

// The library's operator new throws std::bad_alloc. This one keeps its loop:
// the handler may free memory and ask for another try.
void* operator new(std::size_t size) {
    if (size == 0) size = 1;
    for (;;) {
        if (void* block = std::malloc(size)) return block;
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) platform::ExitProcessWith(platform::kExitNoMemory);
        handler();
    }
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

// The library's std::string members are prebuilt with exceptions and would bring
// in the unwinder (some 60 KB with them). Instantiated here, built as the rest of
// the program is, they take their place in the link.
template class std::basic_string<char>;

// The default terminate handler prints the demangled name of the exception,
// which links in the demangler and the C library's formatted printing (about a
// third of the program). Nothing here throws; should anything ever end up in
// std::terminate, ending at once is all that can be done.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

// The library's own versions of these build exception objects; the logic_error
// ones bring in a second, reference-counted string implementation and the rest of
// <stdexcept> (some 60 KB). A size too large for the address space is a failure
// to allocate, and is reported as one; a string made from a null pointer, or an
// index out of range, is a fault in the program.
namespace std {
void __throw_bad_alloc() {
    OutOfMemory();
}
void __throw_bad_array_new_length() {
    OutOfMemory();
}
void __throw_length_error(const char*) {
    OutOfMemory();
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

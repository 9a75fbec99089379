// Owners for the handles the Win32 side opens: each closes its handle when it
// goes, on every path. Private to platform/win32 (and the suite's Win32 setup).
#pragma once

#include <windows.h>
#include <winspool.h>

#include "platform/win32/late_dlls.h"

namespace platform::win32 {

// One owner for every kind of handle; Traits says what "no handle" is and how
// to close one. Handles whose failure value is null (keys, printers) and those
// whose failure value is INVALID_HANDLE_VALUE (files) get different traits, so
// a failed CreateFileA is never mistaken for an open file or closed by accident.
template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle Get() const { return h_; }
    bool Valid() const { return h_ != Traits::Invalid(); }
    // For functions that hand a new handle back through a pointer.
    Handle* Put() {
        Reset();
        return &h_;
    }
    Handle Release() {
        Handle h = h_;
        h_ = Traits::Invalid();
        return h;
    }
    void Reset(Handle h = Traits::Invalid()) {
        if (Valid()) Traits::Close(h_);
        h_ = h;
    }

private:
    Handle h_ = Traits::Invalid();
};

struct KeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};

struct PrinterTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    // Only a printer opened through the spooler's functions is ever closed.
    static void Close(Handle h) { Spooler()->closePrinter(h); }
};

struct FileTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};

using UniqueKey = UniqueHandle<KeyTraits>;
using UniquePrinter = UniqueHandle<PrinterTraits>;
using UniqueFile = UniqueHandle<FileTraits>;

}  // namespace platform::win32

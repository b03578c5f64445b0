// Roots of the framework's types: _struct and _class give them heap operators
// on the C runtime heap (so buffers can be handed between objects and freed
// with free()), _class makes them non-copyable, HandleType holds one handle.
#pragma once
#include <cstddef>

namespace zo {

class _struct {
public:
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* p) noexcept;
    static void* operator new(size_t, void* p) noexcept { return p; }
    static void operator delete(void*, void*) noexcept {}
    // Debug forms: the file and line are accepted and ignored.
    static void* operator new(size_t size, const char* file, int line) noexcept;
    static void operator delete(void* p, const char* file, int line) noexcept;
    _struct& operator=(const _struct&) { return *this; }
};

class _class {
public:
    _class() {}
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* p) noexcept;
    static void* operator new(size_t, void* p) noexcept { return p; }
    static void operator delete(void*, void*) noexcept {}
    static void* operator new(size_t size, const char* file, int line) noexcept;
    static void operator delete(void* p, const char* file, int line) noexcept;

private:
    _class(const _class&);
    _class& operator=(const _class&);
};

// Holds one handle value (a pointer or a system handle), 0 at the start. It
// frees nothing: the derived class decides what the handle owns.
template <class T>
class HandleType {
public:
    T Handle() const { return handle; }
    operator T() const { return handle; }
    bool IsNull() const { return handle == 0; }
    T Attach(T h) {
        T old = handle;
        handle = h;
        return old;
    }
    T Detach() {
        T old = handle;
        handle = 0;
        return old;
    }

protected:
    T handle = 0;
};

} // namespace zo

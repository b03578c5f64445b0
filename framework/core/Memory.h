// Memory<T>: a raw growable array on the C runtime heap, the storage of every
// list in the framework. Elements are moved as bytes, so T must be a plain
// type (numbers, pointers, plain records). An external array is borrowed: it
// is never grown, shrunk or freed.
#pragma once
#include <cstdlib>
#include <cstring>

namespace zo {

template <class T>
class Memory {
public:
    T* data = nullptr;
    unsigned length = 0;    // capacity in elements
    bool external = false;

    Memory() {}
    ~Memory() {
        if (!external) free(data);
    }
    Memory(const Memory&) = delete;
    Memory& operator=(const Memory&) = delete;

    unsigned Length() const { return length; }

    // Borrows an array this object will never resize or free.
    void AttachExternal(T* array, unsigned n) {
        if (!external) free(data);
        data = array;
        length = n;
        external = true;
    }

    bool SetLength(unsigned n) {
        if (external) return false;
        if (n == length) return true;
        if (n == 0) {
            free(data);
            data = nullptr;
            length = 0;
            return true;
        }
        if (!Reallocate(n)) return false;
        length = n;
        return true;
    }

    // Doubles the capacity, or makes it 32 when there is none.
    bool Double() {
        if (external) return false;
        if (length > 0x7FFFFFFFu) return false;
        unsigned n = length ? length * 2 : 32;
        if (!Reallocate(n)) return false;
        length = n;
        return true;
    }

    // delta > 0 opens a gap of delta elements at `at` (at the end when at is
    // past the capacity); delta < 0 closes |delta| elements before `at`.
    bool Expand(int delta, unsigned at) {
        if (external) return false;
        if (delta == 0) return true;
        if (delta > 0) {
            unsigned d = static_cast<unsigned>(delta);
            unsigned old = length;
            if (old + d < old) return false;
            if (!Reallocate(old + d)) return false;
            if (at < old) memmove(data + at + d, data + at, (old - at) * sizeof(T));
            length = old + d;
            return true;
        }
        unsigned d = 0u - static_cast<unsigned>(delta);
        if (d > length) return false;
        if (at < length) {
            if (at < d) return false;   // there are not |delta| elements before at
            memmove(data + at - d, data + at, (length - at) * sizeof(T));
        }
        return SetLength(length - d);
    }

    // Copies n elements from src to dst (overlap allowed); n < 0 means all
    // from src on. The array grows when the destination runs past its end.
    unsigned Move(unsigned dst, unsigned src, int n) {
        if (src > length) return 0;
        unsigned k = n < 0 ? length - src : static_cast<unsigned>(n);
        if (k > length - src) return 0;
        if (dst + k < dst) return 0;
        if (dst + k > length) {
            if (external) return 0;
            if (!SetLength(dst + k)) return 0;
        }
        if (k) memmove(data + dst, data + src, k * sizeof(T));
        return k;
    }

    // Copies n elements to the start, growing when needed.
    unsigned CopyIn(const void* elements, unsigned n) {
        if (length < n) {
            if (external) return 0;
            if (!SetLength(n)) return 0;
        }
        if (n) memcpy(data, elements, n * sizeof(T));
        return n;
    }

private:
    bool Reallocate(unsigned n) {
        if (static_cast<size_t>(n) > static_cast<size_t>(-1) / sizeof(T)) return false;
        T* p = static_cast<T*>(realloc(data, static_cast<size_t>(n) * sizeof(T)));
        if (!p) return false;
        data = p;
        return true;
    }
};

} // namespace zo

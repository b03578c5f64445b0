// Lists over Memory<T>: List counts its elements and grows by a step (or by
// doubling), IntegerList adds search by value, Diction and IntegerDiction
// keep each value once, in insertion order. Indices are unsigned; NPOS
// (0xFFFFFFFF) is the end of the list as a position and "none" as a result.
#pragma once
#include "core/Memory.h"

namespace zo {

const unsigned NPOS = 0xFFFFFFFFu;

template <class T>
class List {
public:
    unsigned count = 0;
    unsigned step = 0;      // growth increment in elements; 0 doubles
    Memory<T> memory;

    List() {}
    List(const List&) = delete;
    List& operator=(const List&) = delete;

    unsigned Count() const { return count; }
    T& operator[](unsigned i) { return memory.data[i]; }
    const T& operator[](unsigned i) const { return memory.data[i]; }
    T& RevElement(unsigned i) { return memory.data[count - 1 - i]; }
    const T* GetHandle() const { return memory.data; }

    // Inserts v at pos (the end when pos >= count); NPOS when growth fails.
    unsigned Add(const T& v, unsigned pos = NPOS) {
        T value = v;   // v may live in the array that is about to move
        if (count == memory.length) {
            bool grown = step ? memory.Expand(static_cast<int>(step), NPOS) : memory.Double();
            if (!grown) return NPOS;
        }
        unsigned idx = pos < count ? pos : count;
        memory.Move(idx + 1, idx, static_cast<int>(count - idx));
        memory.data[idx] = value;
        ++count;
        return idx;
    }

    // Opens n uninitialised slots at `at` for the caller to fill; returns the
    // first slot's index, or NPOS when n is 0 or the room cannot be made.
    unsigned Expand(unsigned n, unsigned at = NPOS) {
        if (n == 0 || count + n < count) return NPOS;
        unsigned need = count + n;
        if (need > memory.length) {
            unsigned long long target;
            if (step) {
                unsigned long long shortfall = need - memory.length;
                target = memory.length + (shortfall + step - 1) / step * step;
            } else {
                target = memory.length ? memory.length : 8;
                while (target < need) target *= 2;
            }
            unsigned long long growth = target - memory.length;
            if (growth > 0x7FFFFFFFull) return NPOS;
            if (!memory.Expand(static_cast<int>(growth), NPOS)) return NPOS;
        }
        if (at > count) at = count;
        memory.Move(at + n, at, static_cast<int>(count - at));
        count += n;
        return at;
    }

    // Removes up to n elements from start; returns how many went.
    unsigned Delete(unsigned start, unsigned n = 1) {
        if (start >= count) return 0;
        unsigned k = n < count - start ? n : count - start;
        if (k == 0) return 0;
        memory.Move(start, start + k, static_cast<int>(count - start - k));
        count -= k;
        return k;
    }

    void Clear() { count = 0; }
};

template <class T>
class IntegerList : public List<T> {
public:
    unsigned IndexOf(T v, unsigned from = 0) const {
        for (unsigned i = from; i < this->count; ++i)
            if (this->memory.data[i] == v) return i;
        return NPOS;
    }
    bool DeleteValue(T v, unsigned from = 0) {
        unsigned i = IndexOf(v, from);
        if (i == NPOS) return false;
        this->Delete(i, 1);
        return true;
    }
    T GetElement(unsigned i) const { return i < this->count ? this->memory.data[i] : T(0); }
};

// Adds v unless an equal value is present; returns the index either way.
template <class Base, class T>
unsigned AddUnique(Base& list, const T& v, unsigned pos, bool* exists) {
    for (unsigned i = 0; i < list.count; ++i) {
        if (list.memory.data[i] == v) {
            if (exists) *exists = true;
            return i;
        }
    }
    if (exists) *exists = false;
    return list.List<T>::Add(v, pos);
}

template <class T>
class Diction : public List<T> {
public:
    unsigned Add(const T& v, unsigned pos = NPOS, bool* exists = nullptr) {
        return AddUnique(*this, v, pos, exists);
    }
    unsigned IndexOf(const T& v) const {
        for (unsigned i = 0; i < this->count; ++i)
            if (this->memory.data[i] == v) return i;
        return NPOS;
    }
};

template <class T>
class IntegerDiction : public IntegerList<T> {
public:
    unsigned Add(T v, unsigned pos = NPOS, bool* exists = nullptr) {
        return AddUnique(*this, v, pos, exists);
    }
};

} // namespace zo

// ObjectList<T> owns heap objects through an array of pointers: objects never
// move when the array grows, and Delete, Clear and the destructor destroy
// them. TPTree<T> is a node with a parent link (borrowed) and an owned list
// of children; T derives from TPTree<T>, so destroying a node destroys its
// whole subtree.
#pragma once
#include <new>
#include <type_traits>

#include "core/Base.h"
#include "core/List.h"

namespace zo {

// Framework types allocate with their own (noexcept, malloc-based) operator
// new; plain records use the global one without throwing.
template <class T>
T* NewObject() {
    if constexpr (std::is_base_of<_class, T>::value || std::is_base_of<_struct, T>::value)
        return new T();
    else
        return new (std::nothrow) T();
}

template <class T>
class ObjectList : protected IntegerList<T*> {
    typedef IntegerList<T*> Base;

public:
    ObjectList() {}
    ~ObjectList() { DestroyRange(0, this->count); }

    using Base::Count;
    using Base::GetElement;
    using Base::GetHandle;
    using Base::IndexOf;
    using Base::RevElement;
    using Base::operator[];
    T* Element(unsigned i) const { return this->memory.data[i]; }
    using Base::step;   // owners may set a fixed growth step

    // Creates a default T at pos (the end when pos >= count) and returns it;
    // null (and nothing added) when the room or the object cannot be had.
    T* Add(unsigned pos = NPOS) {
        T* obj = NewObject<T>();
        if (!obj) return nullptr;
        if (Base::Add(obj, pos) == NPOS) {
            delete obj;
            return nullptr;
        }
        return obj;
    }

    // Takes ownership of obj at pos; NPOS (obj not taken) when growth fails.
    unsigned AddIn(T* obj, unsigned pos = NPOS) {
        unsigned idx = pos < this->count ? pos : this->count;
        if (Base::Expand(1, idx) == NPOS) return NPOS;
        this->memory.data[idx] = obj;
        return idx;
    }

    unsigned Delete(unsigned start, unsigned n) {
        if (start >= this->count) return 0;
        unsigned k = n < this->count - start ? n : this->count - start;
        DestroyRange(start, k);
        return Base::Delete(start, k);
    }

    bool Delete(T* obj) {
        bool present = Base::DeleteValue(obj, 0);
        if (present) delete obj;
        return present;
    }

    // Releases up to n objects without destroying them; the caller owns them.
    unsigned RemoveOut(unsigned start, unsigned n) { return Base::Delete(start, n); }

    void Clear() {
        DestroyRange(0, this->count);
        this->count = 0;
    }

private:
    void DestroyRange(unsigned start, unsigned n) {
        for (unsigned i = start; i < start + n; ++i) {
            T* obj = this->memory.data[i];
            this->memory.data[i] = nullptr;
            delete obj;
        }
    }
};

template <class T>
class TPTree {
public:
    TPTree() {}
    TPTree(const TPTree&) = delete;
    TPTree& operator=(const TPTree&) = delete;

    T* GetParent() const { return parent; }
    unsigned Count() const { return children.Count(); }
    T* Element(unsigned i) const { return children.Element(i); }
    T* GetElement(unsigned i) const { return children.GetElement(i); }
    unsigned IndexOf(T* child) const { return children.IndexOf(child, 0); }

    T* Add(unsigned pos = NPOS) {
        T* child = children.Add(pos);
        if (child) child->parent = static_cast<T*>(this);
        return child;
    }

    unsigned AddIn(T* child, unsigned pos = NPOS) {
        unsigned idx = children.AddIn(child, pos);
        if (idx != NPOS) child->parent = static_cast<T*>(this);
        return idx;
    }

    T* RemoveOut(unsigned i) {
        T* child = children.GetElement(i);
        if (!child) return nullptr;
        child->parent = nullptr;
        children.RemoveOut(i, 1);
        return child;
    }

    bool RemoveOut(T* child) {
        unsigned i = children.IndexOf(child, 0);
        if (i == NPOS) return false;
        if (child) child->parent = nullptr;
        children.RemoveOut(i, 1);
        return true;
    }

    bool Delete(T* child) { return children.Delete(child); }
    unsigned Delete(unsigned start, unsigned n) { return children.Delete(start, n); }
    void Clear() { children.Clear(); }

protected:
    T* parent = nullptr;            // borrowed; null for a root
    ObjectList<T> children;         // owned
};

} // namespace zo

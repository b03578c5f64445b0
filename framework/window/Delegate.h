// Delegate: an ordered list of callbacks (the framework's events), each entry
// a thunk owned by the delegate; Call runs them in order. The list may change
// while Call runs: entries added behind the running one are reached in the
// same Call, and removing entries never makes Call skip or repeat one.
#pragma once
#include "core/List.h"
#include "window/Function.h"

namespace zo {

class _delegate : protected List<void*> {
public:
    _delegate() {}
    ~_delegate();

    unsigned Count() const { return count; }
    // False when index >= count; otherwise the entry goes, its thunk with it.
    bool Delete(unsigned index);
    bool Delete(int index) { return Delete(static_cast<unsigned>(index)); }
    void Clear();

protected:
    // One running Call: the index of the entry it runs next, kGone once its
    // delegate was destroyed under it. Calls may nest, so they form a chain.
    struct Walk {
        unsigned next;
        Walk* outer;
    };
    static const unsigned kGone = NPOS;

    // Takes the thunk in at min(index, count); NPOS (thunk given back) when
    // there is no thunk or no room.
    unsigned Insert(void* thunk, unsigned index);
    // First entry with this target (and this object when byObject), or NPOS.
    unsigned Find(const void* object, const void* target, bool byObject) const;
    void AssignFrom(const _delegate& other);

    // Returns the walk around this one (null for the usual Call), kept by
    // the caller for Leave.
    Walk* Enter(Walk* walk) {
        Walk* outer = walks;
        *walk = Walk{0, outer};
        walks = walk;
        return outer;
    }
    // The usual Call has no Call around it, and Leave then stores a constant:
    // writing back the pointer Enter loaded would make every Call wait on the
    // store the Call before it made. The volatile store keeps the compiler
    // from folding both branches back into that one copy.
    void Leave(Walk* outer) {
        if (__builtin_expect(outer != nullptr, 0))
            walks = outer;
        else
            *static_cast<Walk* volatile*>(&walks) = nullptr;
    }
    void* Entry(unsigned i) const { return memory.data[i]; }

private:
    void FreeAll();
    Walk* walks = nullptr;
};

template <class List>
class DelegateOf;

template <class... A>
class DelegateOf<TypeList<A...>> : public _delegate {
public:
    typedef void(ZO_STDCALL* Proc)(A...);
    typedef FunctionOf<void, TypeList<A...>> Callback;

    DelegateOf() {}
    DelegateOf(const DelegateOf& other) : _delegate() { AssignFrom(other); }
    DelegateOf& operator=(const DelegateOf& other) {
        AssignFrom(other);
        return *this;
    }

    // Always appended; NPOS for a null object.
    template <class T, class M>
    unsigned Add(T* object, void (M::*member)(A...)) {
        if (!object) return NPOS;
        const void* self;
        const void* code;
        ResolveMember<M>(object, member, &self, &code);
        return Insert(NewThunk(self, code, ShapeOf<A...>(true)), NPOS);
    }
    unsigned Add(Proc fn, unsigned index = NPOS) {
        return Insert(NewThunk(nullptr, reinterpret_cast<const void*>(fn), ShapeOf<A...>(false)),
                      index);
    }
    // NPOS, and nothing added, for an unbound Function.
    unsigned Add(const Callback& function, unsigned index = NPOS) {
        return function.IsNull() ? NPOS : Insert(CopyThunk(function.Thunk()), index);
    }

    template <class T, class M>
    unsigned IndexOf(T* object, void (M::*member)(A...)) const {
        if (!object) return NPOS;
        const void* self;
        const void* code;
        ResolveMember<M>(object, member, &self, &code);
        return Find(self, code, true);
    }
    // Plain functions are found by target alone.
    unsigned IndexOf(Proc fn) const {
        return Find(nullptr, reinterpret_cast<const void*>(fn), false);
    }
    unsigned IndexOf(const Callback& function) const {
        return function.IsNull() ? NPOS : Find(function.Object(), function.Target(), true);
    }

    using _delegate::Delete;
    bool Delete(Proc fn) { return Delete(IndexOf(fn)); }
    bool Delete(const Callback& function) { return Delete(IndexOf(function)); }

    void Call(A... args) {
        Walk walk;
        Walk* outer = Enter(&walk);
        for (unsigned i = 0; i < Count(); ) {
            walk.next = i + 1;
            reinterpret_cast<Proc>(Entry(i))(args...);
            i = walk.next;
            if (i == kGone) return;   // a callback destroyed this delegate
        }
        Leave(outer);
    }
};

template <class... A>
class Delegate : public DelegateOf<typename StripNull<TypeList<>, A...>::type> {};

} // namespace zo

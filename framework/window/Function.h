// Function: one callback (a plain function, or a member bound to an object)
// turned into a call thunk that any caller can run as a plain function.
// Each Function owns its own thunk; the bound object is borrowed and must
// outlive it. _StdClassProc is the same holder without the types.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "window/Thunk.h"

namespace zo {

// Fills the template parameters a kind does not use: Function<void, NullType>
// and Delegate<NullType> take no arguments.
struct NullType {};

template <class... A>
struct TypeList {};

// The argument list with every NullType left out.
template <class Done, class... Rest>
struct StripNull;
template <class... D>
struct StripNull<TypeList<D...>> {
    typedef TypeList<D...> type;
};
template <class... D, class... Rest>
struct StripNull<TypeList<D...>, NullType, Rest...> : StripNull<TypeList<D...>, Rest...> {};
template <class... D, class H, class... Rest>
struct StripNull<TypeList<D...>, H, Rest...> : StripNull<TypeList<D..., H>, Rest...> {};

// What the thunk needs to know of an argument list. Arguments must travel
// in integer registers on x86_64 (the thunk moves no floating-point ones).
template <class... A>
ThunkShape ShapeOf(bool member) {
    static_assert(sizeof...(A) <= 10, "a callback takes at most ten arguments");
    static_assert(!(std::is_floating_point<A>::value || ...),
                  "callbacks take integer, pointer or small record arguments");
    unsigned bytes = 0;
    // i686 stack slots: 4-byte units; references and records that cannot be
    // copied as bytes travel as a pointer.
    ((bytes += std::is_reference<A>::value || !std::is_trivially_copyable<A>::value
                   ? unsigned(sizeof(void*))
                   : unsigned((sizeof(A) + 3) & ~size_t(3))),
     ...);
    return ThunkShape{member, unsigned(sizeof...(A)), bytes};
}

// The code address and the object a member must run on. A member pointer
// holds {ptr, adj}: adj moves the object to the subobject the member belongs
// to (non-zero for members of a non-primary base), and an odd ptr is 1 + the
// offset of a virtual member in that subobject's table, which is read now,
// once, at bind time.
template <class M, class P>
void ResolveMember(const M* object, P member, const void** self, const void** code) {
    struct Raw {
        uintptr_t ptr;
        ptrdiff_t adj;
    } raw;
    static_assert(sizeof(P) == sizeof(Raw), "member pointers of this compiler are {ptr, adj}");
    memcpy(&raw, &member, sizeof(raw));
    const char* adjusted = reinterpret_cast<const char*>(object) + raw.adj;
    *self = adjusted;
    *code = reinterpret_cast<const void*>(raw.ptr);
    // Only a class with a table can have virtual members.
    if constexpr (std::is_polymorphic<M>::value) {
        if (raw.ptr & 1) *code = VirtualMemberCode(adjusted, raw.ptr - 1);
    }
}

class _StdClassProc {
public:
    _StdClassProc() {}
    _StdClassProc(const _StdClassProc& source) { Assign(source); }
    _StdClassProc& operator=(const _StdClassProc& source) {
        Assign(source);
        return *this;
    }
    ~_StdClassProc() { FreeThunk(thunk); }

    bool IsNull() const { return thunk == nullptr; }
    void* Thunk() const { return thunk; }
    const void* Object() const { return thunk ? ThunkObject(thunk) : nullptr; }
    const void* Target() const { return thunk ? ThunkTarget(thunk) : nullptr; }

    // An independent thunk doing what source's does (unbound when it is).
    void Assign(const _StdClassProc& source) {
        if (&source == this) return;
        if (!source.thunk) {
            Unbind();
        } else if (thunk) {
            CopyThunk(thunk, source.thunk);
        } else {
            thunk = CopyThunk(source.thunk);
        }
    }

    // Rewrites the thunk in place (made on first use); false, and unbound,
    // when the pool has none.
    bool BindCode(const void* object, const void* code, ThunkShape shape) {
        if (thunk) {
            WriteThunk(thunk, object, code, shape);
        } else {
            thunk = NewThunk(object, code, shape);
        }
        return thunk != nullptr;
    }

    void Unbind() {
        FreeThunk(thunk);
        thunk = nullptr;
    }

private:
    void* thunk = nullptr;   // owned, from the executable pool
};

template <class R, class List>
class FunctionOf;

template <class R, class... A>
class FunctionOf<R, TypeList<A...>> : public _StdClassProc {
    // Records come back through a hidden pointer whose place differs between
    // member and plain calls; everything else comes back in a register.
    static_assert(!std::is_class<R>::value && !std::is_union<R>::value,
                  "callbacks return nothing, a number, a pointer or a reference");

public:
    typedef R(ZO_STDCALL* Proc)(A...);

    // The thunk as a plain function; null when unbound.
    Proc Procedure() const { return reinterpret_cast<Proc>(Thunk()); }
    operator Proc() const { return Procedure(); }

    // The object is converted to the member's class first, so any base of
    // it may name the member.
    template <class T, class M>
    bool Bind(T* object, R (M::*member)(A...)) {
        return BindMember<M>(object, member);
    }
    template <class T, class M>
    bool Bind(const T* object, R (M::*member)(A...) const) {
        return BindMember<M>(object, member);
    }
    bool Bind(Proc fn) {
        return BindCode(nullptr, reinterpret_cast<const void*>(fn), ShapeOf<A...>(false));
    }

private:
    template <class M, class P>
    bool BindMember(const M* object, P member) {
        if (!object) return false;
        const void* self;
        const void* code;
        ResolveMember(object, member, &self, &code);
        return BindCode(self, code, ShapeOf<A...>(true));
    }
};

template <class R, class... A>
class Function : public FunctionOf<R, typename StripNull<TypeList<>, A...>::type> {};

} // namespace zo

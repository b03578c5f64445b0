// Call thunks: a few bytes of machine code in the executable pool that act as
// a plain function and run a callback, loading the bound object first when
// the callback is a member. This pair is the only code that knows the byte
// format; whoever creates a thunk owns it and gives it back with FreeThunk.
#pragma once
#include <cstdint>

namespace zo {

// The calling convention of thunks and of the plain functions they stand
// for: __stdcall on i686; x86_64 has a single convention.
#if defined(__i386__)
#define ZO_STDCALL __stdcall
#else
#define ZO_STDCALL
#endif

// What a thunk must know about its callback besides the two addresses.
struct ThunkShape {
    bool member;         // the target wants the object as its `this`
    unsigned args;       // argument count, 0..10
    unsigned argBytes;   // bytes of arguments on the i686 stack (callee pops)
};

// A new thunk for object and target, or null when the pool has none. A null
// target makes a do-nothing entry (on x86_64 it also returns 0).
void* NewThunk(const void* object, const void* target, ThunkShape shape);
// Rewrites an existing thunk in place.
void WriteThunk(void* thunk, const void* object, const void* target, ThunkShape shape);
// A new thunk doing what src does (src must be a thunk); null when none.
void* CopyThunk(const void* src);
// Makes dst (an existing thunk) do what src does.
void CopyThunk(void* dst, const void* src);
void FreeThunk(void* thunk);

// The bound object and target as written (both null for a do-nothing entry).
const void* ThunkObject(const void* thunk);
const void* ThunkTarget(const void* thunk);

// The code a virtual member runs for this object: the entry at offset in
// the object's table (offset = odd member-pointer value - 1).
const void* VirtualMemberCode(const void* object, uintptr_t offset);

// The 10-byte i686 form, as plain arithmetic so it can be checked on any
// build: B9 <object> E9 <target - (address + 10)>, all little-endian. For a
// null target: C3, or C2 <argBytes> when the callee must pop arguments.
const unsigned kThunk32Size = 10;
void EncodeThunk32(uint8_t out[kThunk32Size], uint32_t object, uint32_t target, uint32_t address,
                   unsigned argBytes);
// Object and target of an encoded i686 thunk written at address.
uint32_t Thunk32Object(const uint8_t bytes[kThunk32Size]);
uint32_t Thunk32Target(const uint8_t bytes[kThunk32Size], uint32_t address);

} // namespace zo

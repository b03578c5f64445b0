// The bytes of a call thunk on each CPU, and the pool they live in. A thunk
// is written, then the instruction cache is flushed for it, before anyone
// may call it; it is owned by whoever asked for it.
#include "window/Thunk.h"

#include <cstring>

#include "core/ExecMemory.h"
#include "core/Win.h"

namespace zo {

static void Put32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

static uint32_t Get32(const uint8_t* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

void EncodeThunk32(uint8_t out[kThunk32Size], uint32_t object, uint32_t target, uint32_t address,
                   unsigned argBytes) {
    if (!target) {
        // A __stdcall callee removes its arguments, so the do-nothing entry
        // of a kind with arguments must remove them too.
        out[0] = argBytes ? 0xC2 : 0xC3;
        if (argBytes) {
            out[1] = static_cast<uint8_t>(argBytes);
            out[2] = static_cast<uint8_t>(argBytes >> 8);
        }
        return;
    }
    out[0] = 0xB9;   // mov ecx, object
    Put32(out + 1, object);
    out[5] = 0xE9;   // jmp rel32, relative to the end of the thunk
    Put32(out + 6, target - (address + kThunk32Size));
}

uint32_t Thunk32Object(const uint8_t bytes[kThunk32Size]) {
    return bytes[0] == 0xB9 ? Get32(bytes + 1) : 0;
}

uint32_t Thunk32Target(const uint8_t bytes[kThunk32Size], uint32_t address) {
    return bytes[0] == 0xB9 ? address + kThunk32Size + Get32(bytes + 6) : 0;
}

#if defined(__x86_64__)

// x86_64 forms, at most 34 bytes. A direct jump is taken whenever the target
// lies within 2 GiB of the thunk (the pool is placed near the program for
// that); the absolute forms serve everything else.
//   plain function, near:   E9 <rel32>                      jmp target
//   member 0..3 args, near: <moves>  48 B9 <object>  E9 <rel32>
//                           mov rcx, object; jmp target
//   <moves> shifts only the arguments the member has, each one register on:
//     0 args: none   1: 48 89 CA (rcx->rdx)   2: 49 89 D0 48 89 CA (rdx->r8, rcx->rdx)
//     3 args: 4D 89 C1 49 89 D0 48 89 CA (r8->r9, rdx->r8, rcx->rdx)
//   absolute forms:
//    0: 49 BA <object>   mov r10, object
//   10: 48 B8 <target>   mov rax, target
//   20: plain function:       FF E0                jmp rax
//       member 0..3 args:     <moves> 4C 89 D1 FF E0   r10->rcx; jmp rax
//       member 4..10 args:    E9 <rel32> or 49 BB <stub> 41 FF E3: jmp zoThunkFrame
//   do-nothing entry: 31 C0 C3  (xor eax, eax; ret)
// A plain function gets its arguments untouched. A member with up to three
// arguments is a pure tail call: the caller's shadow space and stack
// alignment serve it unchanged. A move for an argument the member does not
// take would be wasted work on every call, and on some processors it shows
// (a one-argument member's thunk is then exactly the least code that can do
// the job). r10, r11 and rax carry nothing into a call under the Win64
// convention, so the thunk may use them freely.
const unsigned kThunkSize = 34;

extern "C" void zoThunkFrame();

// A member with 4..10 arguments gets `this` in rcx, which pushes every
// argument one place on: the caller's 4th (r9) becomes the 5th, the first
// stack slot, and its stack arguments 5..10 (entry rsp+0x28..+0x50) move one
// slot up. That needs a new outgoing area: 0x20 of shadow space plus 7 slots
// (the member's arguments 5..11) is 0x58 bytes. On entry rsp is 8 modulo 16
// (the return address), so after sub 0x58 it is 0 modulo 16 as a call needs.
// All six stack slots are copied whatever the count; slots the caller did not
// pass lie in its own frame and are only read, never used by the member.
// Object and target come in r10 and rax from the absolute thunk prefix.
asm(R"(
    .text
    .p2align 4
    .globl zoThunkFrame
    .def zoThunkFrame; .scl 2; .type 32; .endef
    .seh_proc zoThunkFrame
zoThunkFrame:
    subq $0x58, %rsp
    .seh_stackalloc 0x58
    .seh_endprologue
    movq %r9, 0x20(%rsp)
    movq 0x80(%rsp), %r11
    movq %r11, 0x28(%rsp)
    movq 0x88(%rsp), %r11
    movq %r11, 0x30(%rsp)
    movq 0x90(%rsp), %r11
    movq %r11, 0x38(%rsp)
    movq 0x98(%rsp), %r11
    movq %r11, 0x40(%rsp)
    movq 0xA0(%rsp), %r11
    movq %r11, 0x48(%rsp)
    movq 0xA8(%rsp), %r11
    movq %r11, 0x50(%rsp)
    movq %r8, %r9
    movq %rdx, %r8
    movq %rcx, %rdx
    movq %r10, %rcx
    call *%rax
    nop
    addq $0x58, %rsp
    ret
    .seh_endproc
)");

static const uint8_t kShift[] = {0x4D, 0x89, 0xC1, 0x49, 0x89, 0xD0, 0x48, 0x89, 0xCA};
static const uint8_t kNothing[] = {0x31, 0xC0, 0xC3};

// The moves for a member of `args` (0..3) arguments: the last 3 * args bytes
// of kShift. Returns the byte after them.
static uint8_t* PutMoves(uint8_t* t, unsigned args) {
    memcpy(t, kShift + sizeof(kShift) - 3 * args, 3 * args);
    return t + 3 * args;
}

// How many argument moves t starts with (0..3).
static unsigned Moves(const uint8_t* t) {
    for (unsigned args = 3; args > 0; --args)
        if (memcmp(t, kShift + sizeof(kShift) - 3 * args, 3 * args) == 0) return args;
    return 0;
}

// A jump from `end` (the address after the jump) to target, when in reach.
static bool Near(const uint8_t* end, const void* target, int32_t* rel) {
    intptr_t distance = reinterpret_cast<intptr_t>(target) - reinterpret_cast<intptr_t>(end);
    *rel = static_cast<int32_t>(distance);
    return *rel == distance;
}

static void Write(uint8_t* t, const void* object, const void* target, ThunkShape shape) {
    if (!target) {
        memcpy(t, kNothing, sizeof(kNothing));
        return;
    }
    int32_t rel;
    if (!shape.member && Near(t + 5, target, &rel)) {
        t[0] = 0xE9;
        memcpy(t + 1, &rel, 4);
        return;
    }
    if (shape.member && shape.args <= 3 && Near(t + 3 * shape.args + 15, target, &rel)) {
        uint8_t* p = PutMoves(t, shape.args);
        p[0] = 0x48;   // mov rcx, object
        p[1] = 0xB9;
        memcpy(p + 2, &object, 8);
        p[10] = 0xE9;
        memcpy(p + 11, &rel, 4);
        return;
    }
    t[0] = 0x49;
    t[1] = 0xBA;
    memcpy(t + 2, &object, 8);
    t[10] = 0x48;
    t[11] = 0xB8;
    memcpy(t + 12, &target, 8);
    uint8_t* tail = t + 20;
    if (!shape.member) {
        tail[0] = 0xFF;   // jmp rax
        tail[1] = 0xE0;
    } else if (shape.args <= 3) {
        static const uint8_t rest[] = {0x4C, 0x89, 0xD1, 0xFF, 0xE0};   // mov rcx, r10; jmp rax
        memcpy(PutMoves(tail, shape.args), rest, sizeof(rest));
    } else {
        void* stub = reinterpret_cast<void*>(&zoThunkFrame);
        if (Near(tail + 5, stub, &rel)) {
            tail[0] = 0xE9;
            memcpy(tail + 1, &rel, 4);
        } else {
            tail[0] = 0x49;   // mov r11, stub; jmp r11
            tail[1] = 0xBB;
            memcpy(tail + 2, &stub, 8);
            tail[10] = 0x41;
            tail[11] = 0xFF;
            tail[12] = 0xE3;
        }
    }
}

// Reads a thunk back: false for a do-nothing entry. The shape is one that
// writes the same form again (its argument count tells 0..3 apart, and only
// tells more than three from those).
static bool Decode(const uint8_t* t, const void** object, const void** target, ThunkShape* shape) {
    int32_t rel;
    *object = nullptr;
    *target = nullptr;
    if (t[0] == 0xE9) {
        memcpy(&rel, t + 1, 4);
        *target = t + 5 + rel;
        *shape = ThunkShape{false, 0, 0};
        return true;
    }
    if (t[0] == 0x49 && t[1] == 0xBA) {
        memcpy(object, t + 2, 8);
        memcpy(target, t + 12, 8);
        const uint8_t* tail = t + 20;
        if (tail[0] == 0xFF)
            *shape = ThunkShape{false, 0, 0};
        else if (tail[0] == 0xE9 || (tail[0] == 0x49 && tail[1] == 0xBB))
            *shape = ThunkShape{true, 4, 0};
        else
            *shape = ThunkShape{true, Moves(tail), 0};
        return true;
    }
    const unsigned args = Moves(t);
    const uint8_t* p = t + 3 * args;
    if (p[0] == 0x48 && p[1] == 0xB9) {
        memcpy(object, p + 2, 8);
        memcpy(&rel, p + 11, 4);
        *target = p + 15 + rel;
        *shape = ThunkShape{true, args, 0};
        return true;
    }
    return false;
}

static void Copy(uint8_t* dst, const uint8_t* src) {
    const void* object;
    const void* target;
    ThunkShape shape;
    if (Decode(src, &object, &target, &shape))
        Write(dst, object, target, shape);   // relative jumps are worked out for dst
    else
        memcpy(dst, kNothing, sizeof(kNothing));
}

const void* ThunkObject(const void* thunk) {
    const void* object;
    const void* target;
    ThunkShape shape;
    Decode(static_cast<const uint8_t*>(thunk), &object, &target, &shape);
    return object;
}

const void* ThunkTarget(const void* thunk) {
    const void* object;
    const void* target;
    ThunkShape shape;
    Decode(static_cast<const uint8_t*>(thunk), &object, &target, &shape);
    return target;
}

#elif defined(__i386__)

// i686: exactly the 10-byte form above. A member runs with the object in ecx
// and its arguments on the stack, which it removes itself (thiscall), just as
// the __stdcall caller of the thunk expects.
const unsigned kThunkSize = kThunk32Size;

static uint32_t Address(const void* p) { return reinterpret_cast<uintptr_t>(p); }

static void Write(uint8_t* t, const void* object, const void* target, ThunkShape shape) {
    EncodeThunk32(t, Address(object), Address(target), Address(t), shape.argBytes);
}

static void Copy(uint8_t* dst, const uint8_t* src) {
    if (src[0] != 0xB9) {
        memcpy(dst, src, kThunkSize);   // a do-nothing entry holds no address
        return;
    }
    // The jump is relative: the displacement is worked out again for dst.
    EncodeThunk32(dst, Thunk32Object(src), Thunk32Target(src, Address(src)), Address(dst), 0);
}

const void* ThunkObject(const void* thunk) {
    return reinterpret_cast<const void*>(Thunk32Object(static_cast<const uint8_t*>(thunk)));
}

const void* ThunkTarget(const void* thunk) {
    return reinterpret_cast<const void*>(
        Thunk32Target(static_cast<const uint8_t*>(thunk), Address(thunk)));
}

#else
#error "call thunks are written for i686 and x86_64 only"
#endif

const void* VirtualMemberCode(const void* object, uintptr_t offset) {
    const char* table;
    memcpy(&table, object, sizeof(table));
    const void* code;
    memcpy(&code, table + offset, sizeof(code));
    return code;
}

// The pool is looked up once; every thunk of this module comes from it.
static ExecMemory* Pool() {
    static ExecMemory* pool = GetExecMemory();
    return pool;
}

static void Flush(void* thunk) {
    FlushInstructionCache(GetCurrentProcess(), thunk, kThunkSize);
}

void* NewThunk(const void* object, const void* target, ThunkShape shape) {
    void* thunk = Pool()->Allocate(kThunkSize);
    if (thunk) WriteThunk(thunk, object, target, shape);
    return thunk;
}

void WriteThunk(void* thunk, const void* object, const void* target, ThunkShape shape) {
    Write(static_cast<uint8_t*>(thunk), object, target, shape);
    Flush(thunk);
}

void* CopyThunk(const void* src) {
    void* thunk = Pool()->Allocate(kThunkSize);
    if (thunk) CopyThunk(thunk, src);
    return thunk;
}

void CopyThunk(void* dst, const void* src) {
    if (dst == src) return;
    Copy(static_cast<uint8_t*>(dst), static_cast<const uint8_t*>(src));
    Flush(dst);
}

void FreeThunk(void* thunk) {
    if (thunk) Pool()->Free(thunk);
}

} // namespace zo

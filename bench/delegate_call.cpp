// What one call through a Delegate entry (its thunk) and through
// Delegate::Call costs. Each is judged against the least code that does the
// same job, made and timed in the same run:
// - the thunk against a minimal thunk made at run time for the same member
//   (its argument moved on, the object loaded into the first-argument
//   register, one jump), in the same pool;
// - Delegate::Call against a bare walk over the same entries (count read
//   again before every step, each entry called), which keeps no account of
//   a running Call. What Call adds on top is that account: the entry it runs
//   next, moved when a callback deletes entries, and word of a callback that
//   destroyed the delegate.
// A plain function pointer, the direct call and std::function are shown as
// figures: the pointer call takes only a few cycles, so one jump or one store
// more is a large share of it that depends on the processor.
// The kinds take turns round by round and each keeps its best round, so a
// busy machine does not decide. Rounds are short (about a millisecond) and
// many: on a machine whose other core is busy most of the time, a long round
// is seldom left alone from start to end, a short one often is.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "BenchClock.h"
#include "core/Win.h"
#include "core/ExecMemory.h"
#include "window/Delegate.h"
#include "window/Thunk.h"

namespace {

// The member only stores: a running sum would chain every call to the one
// before through memory, and that latency, not the call, would be measured.
struct Counter {
    int seen[64] = {};
    __attribute__((noinline)) void Add(int x) { seen[x & 63] = x; }
};

// The same work as a plain function: called through a pointer it is the
// least any callback bound at run time can cost.
__attribute__((noinline)) void Store(Counter* c, int x) { c->seen[x & 63] = x; }

// Reads the optimiser cannot see through: it must make every call.
Counter* volatile hidden;
volatile int sink;

typedef zo::Delegate<int> IntDelegate;

// Exposes an entry's thunk, the thing application code ends up calling.
struct EntryDelegate : IntDelegate {
    Proc EntryProc(unsigned i) const { return reinterpret_cast<Proc>(Entry(i)); }
    // Call without the account of the running walk.
    void BareWalk(int x) {
        for (unsigned i = 0; i < Count(); ++i) reinterpret_cast<Proc>(Entry(i))(x);
    }
};

// The floor, at the start of a 32-byte line (a jump across such a line runs
// slower on some processors). x86_64: mov rdx, rcx; mov rcx, object; jmp
// target. i686 (the argument stays on the stack): mov ecx, object; jmp
// target. Null when the pool has no room or the target is out of a direct
// jump's reach.
IntDelegate::Proc MinimalThunk(const void* object, const void* target) {
#if defined(__x86_64__)
    const uint8_t head[] = {0x48, 0x89, 0xCA, 0x48, 0xB9};
#else
    const uint8_t head[] = {0xB9};
#endif
    const unsigned size = sizeof(head) + sizeof(object) + 5;
    uintptr_t block = reinterpret_cast<uintptr_t>(zo::GetExecMemory()->Allocate(size + 31));
    if (!block) return nullptr;
    uint8_t* t = reinterpret_cast<uint8_t*>((block + 31) & ~uintptr_t(31));
    long long distance = static_cast<long long>(reinterpret_cast<intptr_t>(target)) -
                         static_cast<long long>(reinterpret_cast<intptr_t>(t + size));
    int32_t rel = static_cast<int32_t>(distance);
    if (rel != distance) return nullptr;
    memcpy(t, head, sizeof(head));
    memcpy(t + sizeof(head), &object, sizeof(object));
    t[size - 5] = 0xE9;
    memcpy(t + size - 4, &rel, 4);
    FlushInstructionCache(GetCurrentProcess(), t, size);
    return reinterpret_cast<IntDelegate::Proc>(t);
}

const int kCalls = 250000;
const int kRounds = 600;

// Nanoseconds per call of one round; negative when the round's last call did
// not reach the member (a kind that skipped the work would look fast).
template <class Body>
double Round(Body body) {
    const int last = kCalls - 1;
    hidden->seen[last & 63] = -1;
    double start = BenchNow();
    body();
    double ns = (BenchNow() - start) * 1e9 / kCalls;
    sink = hidden->seen[last & 63];
    return sink == last ? ns : -1;
}

__attribute__((noinline)) void Direct(Counter* c) {
    for (int i = 0; i < kCalls; ++i) c->Add(i);
}

__attribute__((noinline)) void Indirect(void (*fn)(Counter*, int), Counter* c) {
    for (int i = 0; i < kCalls; ++i) fn(c, i);
}

// One copy of the loop, and so one call instruction, per thunk kind. Some
// processors predict an indirect call that always goes to the same place
// faster than one whose target has changed: sharing a call site, the first
// thunk it ran ran at 1.6 ns per call and the second at 2.2, with the same
// bytes at either address. Each kind keeps its call site to itself, as a
// callback's caller in a program mostly does.
template <int Kind>
__attribute__((noinline, no_icf)) void Thunk(IntDelegate::Proc proc) {
    for (int i = 0; i < kCalls; ++i) proc(i);
}

__attribute__((noinline)) void StdFunction(const std::function<void(int)>& f) {
    for (int i = 0; i < kCalls; ++i) f(i);
}

__attribute__((noinline)) void DelegateCall(IntDelegate& d) {
    for (int i = 0; i < kCalls; ++i) d.Call(i);
}

__attribute__((noinline)) void BareWalk(EntryDelegate& d) {
    for (int i = 0; i < kCalls; ++i) d.BareWalk(i);
}

} // namespace

int main() {
    Counter counter;
    hidden = &counter;
    Counter* c = hidden;

    EntryDelegate events;
    events.Add(c, &Counter::Add);
    IntDelegate::Proc proc = events.EntryProc(0);
    // The floor binds the same object to the member's own code, found here
    // from the member pointer (a plain member: its first word is the code),
    // not read back from the entry: an entry that went through some other
    // code first would otherwise hand that detour to the floor as well.
    void (Counter::*member)(int) = &Counter::Add;
    const void* code;
    memcpy(&code, &member, sizeof(code));
    if (zo::ThunkTarget(reinterpret_cast<const void*>(proc)) != code ||
        zo::ThunkObject(reinterpret_cast<const void*>(proc)) != c) {
        printf("the entry does not jump to the member's own code with its object: no figures\n");
        return 1;
    }
    IntDelegate::Proc floor = MinimalThunk(c, code);
    if (!floor) {
        printf("the minimal thunk could not be made beside the entry: no figures\n");
        return 1;
    }
    // Both must do the work: a thunk that skipped the call would be fast.
    for (int x : {5, 6}) {
        counter.seen[x] = 0;
        (x == 5 ? proc : floor)(x + 64);
        if (counter.seen[x] != x + 64) {
            printf("a call through the %s did not reach the member: no figures\n", x == 5 ? "entry" : "floor");
            return 1;
        }
    }
    std::function<void(int)> wrapped = [c](int x) { c->Add(x); };

    void (*volatile store)(Counter*, int) = &Store;

    enum { kDirect, kPointer, kFloor, kThunk, kFunction, kWalk, kCall, kKinds };
    const char* const names[kKinds] = {"direct member call", "function pointer", "minimal thunk",
                                       "Delegate entry", "std::function", "bare walk",
                                       "Delegate::Call"};
    double best[kKinds];
    for (double& b : best) b = 1e30;
    for (int r = 0; r < kRounds; ++r) {
        // Each kind in turn, starting one further on every round, so that no
        // kind always follows the same one.
        double ns[kKinds] = {};
        for (int step = 0; step < kKinds; ++step) {
            const int k = (r + step) % kKinds;
            switch (k) {
            case kDirect: ns[k] = Round([&] { Direct(hidden); }); break;
            case kPointer: ns[k] = Round([&] { Indirect(store, hidden); }); break;
            case kFloor: ns[k] = Round([&] { Thunk<kFloor>(floor); }); break;
            case kThunk: ns[k] = Round([&] { Thunk<kThunk>(proc); }); break;
            case kFunction: ns[k] = Round([&] { StdFunction(wrapped); }); break;
            case kWalk: ns[k] = Round([&] { BareWalk(events); }); break;
            default: ns[k] = Round([&] { DelegateCall(events); }); break;
            }
        }
        for (int k = 0; k < kKinds; ++k) {
            if (ns[k] < 0) {
                printf("a round of the %s did not reach the member: no figures\n", names[k]);
                return 1;
            }
            best[k] = std::min(best[k], ns[k]);
        }
    }
    const double pointer = best[kPointer];
    const double thunk = best[kThunk] / best[kFloor], call = best[kCall] / best[kWalk];

    printf("calls per round %d, best of %d rounds\n", kCalls, kRounds);
    printf("entry at byte %u of its 64-byte line, floor at byte %u\n",
           unsigned(reinterpret_cast<uintptr_t>(proc) & 63), unsigned(reinterpret_cast<uintptr_t>(floor) & 63));
    printf("plain function pointer    %6.3f ns/call\n", pointer);
    printf("direct member call        %6.3f ns/call  %.2fx function pointer\n", best[kDirect], best[kDirect] / pointer);
    printf("minimal thunk (floor)     %6.3f ns/call  %.2fx function pointer\n", best[kFloor], best[kFloor] / pointer);
    printf("Delegate entry (thunk)    %6.3f ns/call  %.2fx function pointer, %.2fx the floor\n", best[kThunk],
           best[kThunk] / pointer, thunk);
    printf("std::function             %6.3f ns/call  %.2fx function pointer\n", best[kFunction],
           best[kFunction] / pointer);
    printf("bare walk, 1 entry        %6.3f ns/call  %.2fx function pointer\n", best[kWalk], best[kWalk] / pointer);
    printf("Delegate::Call, 1 entry   %6.3f ns/call  %.2fx function pointer, %.2fx the bare walk\n", best[kCall],
           best[kCall] / pointer, call);
    const bool thunkMet = thunk <= 1.1, callMet = call <= 1.35;
    printf("goal thunk <= 1.1x the minimal thunk:           %s\n", thunkMet ? "met" : "NOT met");
    printf("goal Delegate::Call <= 1.35x the bare walk:     %s\n", callMet ? "met" : "NOT met");
    return thunkMet && callMet ? 0 : 1;
}

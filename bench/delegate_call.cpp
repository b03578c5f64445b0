// What one call through a Delegate entry (its thunk) and through
// Delegate::Call costs, judged against a plain function pointer doing the
// same work in the same run: a callback bound at run time cannot beat one
// indirect call. The direct call and std::function are shown as figures.
// The kinds take turns round by round and each keeps its best round, so a
// busy machine does not decide.
#include <algorithm>
#include <cstdio>
#include <functional>

#include "core/Win.h"
#include "window/Delegate.h"

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
};

const int kCalls = 4000000;
const int kRounds = 40;

double Seconds() {
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

// Nanoseconds per call of one round.
template <class Body>
double Round(Body body) {
    double start = Seconds();
    body();
    double ns = (Seconds() - start) * 1e9 / kCalls;
    sink = hidden->seen[kCalls & 63];
    return ns;
}

__attribute__((noinline)) void Direct(Counter* c) {
    for (int i = 0; i < kCalls; ++i) c->Add(i);
}

__attribute__((noinline)) void Indirect(void (*fn)(Counter*, int), Counter* c) {
    for (int i = 0; i < kCalls; ++i) fn(c, i);
}

__attribute__((noinline)) void Thunk(IntDelegate::Proc proc) {
    for (int i = 0; i < kCalls; ++i) proc(i);
}

__attribute__((noinline)) void StdFunction(const std::function<void(int)>& f) {
    for (int i = 0; i < kCalls; ++i) f(i);
}

__attribute__((noinline)) void DelegateCall(IntDelegate& d) {
    for (int i = 0; i < kCalls; ++i) d.Call(i);
}

} // namespace

int main() {
    Counter counter;
    hidden = &counter;
    Counter* c = hidden;

    EntryDelegate events;
    events.Add(c, &Counter::Add);
    IntDelegate::Proc proc = events.EntryProc(0);
    std::function<void(int)> wrapped = [c](int x) { c->Add(x); };

    void (*volatile store)(Counter*, int) = &Store;

    enum { kDirect, kPointer, kThunk, kFunction, kCall, kKinds };
    double best[kKinds];
    for (double& b : best) b = 1e30;
    for (int r = 0; r < kRounds; ++r) {
        best[kDirect] = std::min(best[kDirect], Round([&] { Direct(hidden); }));
        best[kPointer] = std::min(best[kPointer], Round([&] { Indirect(store, hidden); }));
        best[kThunk] = std::min(best[kThunk], Round([&] { Thunk(proc); }));
        best[kFunction] = std::min(best[kFunction], Round([&] { StdFunction(wrapped); }));
        best[kCall] = std::min(best[kCall], Round([&] { DelegateCall(events); }));
    }
    const double pointer = best[kPointer];
    const double thunk = best[kThunk] / pointer, call = best[kCall] / pointer;

    printf("calls per round %d, best of %d rounds\n", kCalls, kRounds);
    printf("plain function pointer    %6.3f ns/call\n", pointer);
    printf("direct member call        %6.3f ns/call  %.2fx function pointer\n", best[kDirect], best[kDirect] / pointer);
    printf("Delegate entry (thunk)    %6.3f ns/call  %.2fx function pointer\n", best[kThunk], thunk);
    printf("std::function             %6.3f ns/call  %.2fx function pointer\n", best[kFunction],
           best[kFunction] / pointer);
    printf("Delegate::Call, 1 entry   %6.3f ns/call  %.2fx function pointer\n", best[kCall], call);
    const bool thunkMet = thunk <= 1.1, callMet = call <= 1.5;
    printf("goal thunk <= 1.1x function pointer:            %s\n", thunkMet ? "met" : "NOT met");
    printf("goal Delegate::Call <= 1.5x function pointer:   %s\n", callMet ? "met" : "NOT met");
    return thunkMet && callMet ? 0 : 1;
}

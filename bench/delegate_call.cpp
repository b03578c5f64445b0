// What one call through a Delegate entry (its thunk) costs, against a direct
// call of the same out-of-line member and against std::function wrapping it,
// all in one run. Best of several rounds, so a busy machine does not decide.
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

// Nanoseconds per call, best round.
template <class Body>
double Measure(Body body) {
    double best = 1e30;
    for (int r = 0; r < kRounds; ++r) {
        double start = Seconds();
        body();
        double ns = (Seconds() - start) * 1e9 / kCalls;
        if (ns < best) best = ns;
        sink = hidden->seen[kCalls & 63];
    }
    return best;
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

    double direct = Measure([&] { Direct(hidden); });
    double indirect = Measure([&] { Indirect(store, hidden); });
    double thunk = Measure([&] { Thunk(proc); });
    double function = Measure([&] { StdFunction(wrapped); });
    double call = Measure([&] { DelegateCall(events); });

    printf("calls per round %d, best of %d rounds\n", kCalls, kRounds);
    printf("direct member call        %6.3f ns/call\n", direct);
    printf("plain function pointer    %6.3f ns/call  %.2fx direct\n", indirect, indirect / direct);
    printf("Delegate entry (thunk)    %6.3f ns/call  %.2fx direct\n", thunk, thunk / direct);
    printf("std::function             %6.3f ns/call  %.2fx direct\n", function, function / direct);
    printf("Delegate::Call, 1 entry   %6.3f ns/call  %.2fx direct\n", call, call / direct);
    printf("thunk / std::function     %.2f\n", thunk / function);
    printf("thunk / function pointer  %.2f\n", thunk / indirect);
    printf("goal thunk <= 1.5x direct:        %s\n", thunk <= 1.5 * direct ? "met" : "NOT met");
    printf("goal thunk <= std::function:      %s\n", thunk <= function ? "met" : "NOT met");
    return 0;
}

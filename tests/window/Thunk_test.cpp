// Call thunks through Function: every argument count, members and plain
// functions, near the code and far from it, copies and rebinding, members
// that need their object adjusted or looked up in a table, other threads.
// The i686 bytes are checked as plain arithmetic.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <type_traits>

#include "core/Win.h"
#include "window/Function.h"

using zo::Function;

namespace {

template <class T>
uint64_t Bits(T v) {
    if constexpr (std::is_pointer<T>::value)
        return reinterpret_cast<uintptr_t>(v);
    else
        return static_cast<uint64_t>(v);
}

// Records what a call brought, and whether the stack was aligned: a 16-byte
// aligned local lands on a 16-byte address only when it was.
struct Recorder {
    explicit Recorder(long long tag) : id(tag) {}
    long long id;
    unsigned count = 0;
    uint64_t seen[10] = {};
    bool aligned = false;

    template <class... T>
    long long Take(T... a) {
        alignas(16) char probe[16];
        volatile uintptr_t at = reinterpret_cast<uintptr_t>(probe);
        aligned = (at & 15) == 0;
        uint64_t values[] = {Bits(a)..., 0};
        count = sizeof...(T);
        for (unsigned i = 0; i < count; ++i) seen[i] = values[i];
        return id * 100 + count;
    }
};

Recorder plainRecorder(9);

template <class... T>
long long ZO_STDCALL PlainTake(T... a) {
    return plainRecorder.Take(a...);
}

// Executable memory more than 2 GiB from this program's code: thunks there
// cannot jump to it directly and take the absolute forms.
uint8_t* FarMemory() {
    static uint8_t* distant = nullptr;
    uintptr_t code = reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
    for (DWORD topDown : {DWORD(0), DWORD(MEM_TOP_DOWN)}) {
        if (distant) break;
        void* p = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT | topDown, PAGE_EXECUTE_READWRITE);
        uintptr_t at = reinterpret_cast<uintptr_t>(p);
        if (p && (at > code ? at - code : code - at) > 0xC0000000ull)
            distant = static_cast<uint8_t*>(p);
        else if (p)
            VirtualFree(p, 0, MEM_RELEASE);
    }
    return distant;
}

// Calls the thunk, a copy of it far from the code and a copy of that back
// in the pool; each must bring every argument and the result.
template <class... T>
void Check(void* thunk, Recorder& r, T... args) {
    typedef long long(ZO_STDCALL * Proc)(T...);
    uint8_t* distant = FarMemory();
    ASSERT_NE(nullptr, distant);
    zo::CopyThunk(distant, thunk);
    EXPECT_EQ(zo::ThunkObject(thunk), zo::ThunkObject(distant));
    EXPECT_EQ(zo::ThunkTarget(thunk), zo::ThunkTarget(distant));
    void* back = zo::CopyThunk(distant);
    uint64_t want[] = {Bits(args)..., 0};
    for (void* t : {thunk, static_cast<void*>(distant), back}) {
        r.count = 99;
        EXPECT_EQ(r.id * 100 + long(sizeof...(T)), reinterpret_cast<Proc>(t)(args...));
        ASSERT_EQ(sizeof...(T), r.count);
        for (unsigned i = 0; i < sizeof...(T); ++i) EXPECT_EQ(want[i], r.seen[i]) << "argument " << i + 1;
        EXPECT_TRUE(r.aligned) << "stack misaligned with " << sizeof...(T) << " arguments";
    }
    zo::FreeThunk(back);
}

template <class... T>
void CallBoth(T... args) {
    Recorder r(7);
    Function<long long, T...> member, plain;
    ASSERT_TRUE(member.Bind(&r, &Recorder::Take<T...>));
    ASSERT_TRUE(plain.Bind(&PlainTake<T...>));
    EXPECT_EQ(&r, member.Object());
    EXPECT_EQ(nullptr, plain.Object());
    Check(member.Thunk(), r, args...);
    Check(plain.Thunk(), plainRecorder, args...);
}

// Distinct values of mixed widths; the high ones are full 64-bit pointers,
// so a lost or shifted slot cannot go unnoticed.
char c1 = 'a';
short s2 = -2;
int i3 = 0x33333333;
unsigned u4 = 0xC4444444u;
long long l5 = -0x5555555555LL;
void* p6 = reinterpret_cast<void*>(uintptr_t(0x0000666666666666ull));
unsigned char b7 = 0xF7;
uint64_t q8 = 0x8888888888888888ull;
const char* t9 = reinterpret_cast<const char*>(uintptr_t(0x9999999999999999ull));
void* p10 = reinterpret_cast<void*>(uintptr_t(0xFEDCBA9876543210ull));

TEST(ThunkCalls, EveryArgumentArrivesInItsPlace) {
    CallBoth();
    CallBoth(c1);
    CallBoth(c1, s2);
    CallBoth(c1, s2, i3);
    CallBoth(c1, s2, i3, u4);
    CallBoth(c1, s2, i3, u4, l5);
    CallBoth(c1, s2, i3, u4, l5, p6);
    CallBoth(c1, s2, i3, u4, l5, p6, b7);
    CallBoth(c1, s2, i3, u4, l5, p6, b7, q8);
    CallBoth(c1, s2, i3, u4, l5, p6, b7, q8, t9);
    CallBoth(c1, s2, i3, u4, l5, p6, b7, q8, t9, p10);
}

TEST(ThunkCalls, AnUnboundFunctionIsNullAndANullTargetDoesNothing) {
    Function<long long, int, int> f;
    EXPECT_EQ(nullptr, f.Procedure());
    ASSERT_TRUE(f.Bind(nullptr));
    ASSERT_NE(nullptr, f.Procedure());
    EXPECT_EQ(0, f.Procedure()(1, 2));
    Recorder* none = nullptr;
    EXPECT_FALSE(f.Bind(none, &Recorder::Take<int, int>));
}

TEST(ThunkOwnership, ACopyIsAnIndependentThunkAndRebindingKeepsTheThunk) {
    Recorder a(3), b(4);
    Function<long long, int> original;
    ASSERT_TRUE(original.Bind(&a, &Recorder::Take<int>));
    {
        Function<long long, int> copy(original);
        EXPECT_NE(original.Procedure(), copy.Procedure());
        EXPECT_EQ(original.Object(), copy.Object());
        EXPECT_EQ(original.Target(), copy.Target());
    }
    EXPECT_EQ(301, original.Procedure()(6));
    EXPECT_EQ(6u, a.seen[0]);

    auto thunk = original.Procedure();
    ASSERT_TRUE(original.Bind(&b, &Recorder::Take<int>));
    EXPECT_EQ(thunk, original.Procedure());
    EXPECT_EQ(401, thunk(7));

    Function<long long, int> assigned;
    assigned = original;
    original = Function<long long, int>();
    EXPECT_EQ(nullptr, original.Procedure());
    EXPECT_EQ(401, assigned.Procedure()(8));
}

struct Left {
    virtual ~Left() {}
    int left = 1;
    virtual int Who(int x) { return x + left; }
};

struct Right {
    virtual ~Right() {}
    int right = 100;
    int Get(int x) const { return x + right; }
    virtual int Scale(int x) { return x * right; }
};

struct Both : Left, Right {
    int Who(int x) override { return x + 1000; }
    int Scale(int x) override { return x - right; }
};

TEST(ThunkBinding, MembersRunOnTheirOwnSubobjectAndVirtualsRunTheOverride) {
    Both both;
    int (Both::*get)(int) const = &Right::Get;   // carries the offset of Right
    int (Both::*scale)(int) = &Right::Scale;     // a table slot of Right in Both
    Function<int, int> f;
    ASSERT_TRUE(f.Bind(&both, get));
    EXPECT_EQ(static_cast<Right*>(&both), f.Object());
    EXPECT_EQ(105, f.Procedure()(5));
    ASSERT_TRUE(f.Bind(&both, &Left::Who));
    EXPECT_EQ(1005, f.Procedure()(5));
    ASSERT_TRUE(f.Bind(&both, scale));
    EXPECT_EQ(-95, f.Procedure()(5));
    Right plain;
    ASSERT_TRUE(f.Bind(&plain, &Right::Scale));
    EXPECT_EQ(500, f.Procedure()(5));
}

TEST(ThunkThreads, ThunksAreMadeAndCalledOnOtherThreads) {
    bool ok[2] = {false, false};
    auto work = [&ok](int t) {
        Recorder mine(t + 1);
        Function<long long, int, int, int, int, int> fs[200];
        bool good = true;
        for (auto& f : fs) good = good && f.Bind(&mine, &Recorder::Take<int, int, int, int, int>);
        for (auto& f : fs) good = good && f.Procedure()(1, 2, 3, 4, t) == (t + 1) * 100 + 5;
        ok[t] = good && mine.seen[4] == uint64_t(t);
    };
    std::thread a(work, 0), b(work, 1);
    a.join();
    b.join();
    EXPECT_TRUE(ok[0]);
    EXPECT_TRUE(ok[1]);
}

#if defined(__x86_64__)
// A member near its code: the thunk moves only the arguments the member
// takes, then loads the object and jumps; nothing more runs on each call.
TEST(ThunkBytes, AMemberNearItsCodeMovesOnlyItsOwnArguments) {
    Recorder r(1);
    Function<long long> f0;
    Function<long long, int> f1;
    Function<long long, int, int> f2;
    Function<long long, int, int, int> f3;
    ASSERT_TRUE(f0.Bind(&r, &Recorder::Take<>));
    ASSERT_TRUE(f1.Bind(&r, &Recorder::Take<int>));
    ASSERT_TRUE(f2.Bind(&r, &Recorder::Take<int, int>));
    ASSERT_TRUE(f3.Bind(&r, &Recorder::Take<int, int, int>));
    const uint8_t shift[] = {0x4D, 0x89, 0xC1, 0x49, 0x89, 0xD0, 0x48, 0x89, 0xCA};
    const void* thunks[] = {f0.Thunk(), f1.Thunk(), f2.Thunk(), f3.Thunk()};
    for (unsigned args = 0; args < 4; ++args) {
        const uint8_t* t = static_cast<const uint8_t*>(thunks[args]);
        const unsigned moves = 3 * args;
        for (unsigned i = 0; i < moves; ++i)
            EXPECT_EQ(shift[9 - moves + i], t[i]) << "byte " << i << " with " << args << " arguments";
        EXPECT_EQ(0x48, t[moves]) << args << " arguments";
        EXPECT_EQ(0xB9, t[moves + 1]) << args << " arguments";
        EXPECT_EQ(0xE9, t[moves + 10]) << args << " arguments";
    }
}
#endif

TEST(Thunk32Bytes, MoveTheObjectIntoEcxAndJumpRelativeToTheEnd) {
    struct Encoded {
        uint32_t object, target, address;
        unsigned argBytes;
        uint8_t bytes[10];
        unsigned length;
    } const cases[] = {
        {0x11223344, 0x00402000, 0x00401000, 0, {0xB9, 0x44, 0x33, 0x22, 0x11, 0xE9, 0xF6, 0x0F, 0x00, 0x00}, 10},
        {0x00000000, 0x00400000, 0x00401000, 8, {0xB9, 0x00, 0x00, 0x00, 0x00, 0xE9, 0xF6, 0xEF, 0xFF, 0xFF}, 10},
        {0xCAFEF00D, 0x00000010, 0xFFFFFFF0, 0, {0xB9, 0x0D, 0xF0, 0xFE, 0xCA, 0xE9, 0x16, 0x00, 0x00, 0x00}, 10},
        {0x11223344, 0, 0x00401000, 0, {0xC3}, 1},
        {0x11223344, 0, 0x00401000, 8, {0xC2, 0x08, 0x00}, 3},   // pops the arguments
    };
    for (const Encoded& c : cases) {
        uint8_t out[10];
        zo::EncodeThunk32(out, c.object, c.target, c.address, c.argBytes);
        for (unsigned i = 0; i < c.length; ++i)
            EXPECT_EQ(c.bytes[i], out[i]) << "byte " << i << " of target " << std::hex << c.target;
        EXPECT_EQ(c.target ? c.object : 0, zo::Thunk32Object(out));
        EXPECT_EQ(c.target, zo::Thunk32Target(out, c.address));
    }
}

} // namespace

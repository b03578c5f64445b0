// Call thunks through Function: every argument count a callback may have,
// members and plain functions, results, copies and rebinding, members that
// need their object adjusted or looked up in a table, and other threads.
// The i686 bytes are checked as plain arithmetic.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <type_traits>
#include <vector>

#include "window/Function.h"

using zo::Function;
using zo::NullType;

namespace {

template <class T>
uint64_t Bits(T v) {
    if constexpr (std::is_pointer<T>::value)
        return reinterpret_cast<uintptr_t>(v);
    else
        return static_cast<uint64_t>(v);
}

// Records what a call brought; the member forms must see `this` as well.
struct Recorder {
    explicit Recorder(long long tag) : id(tag) {}
    long long id;
    unsigned count = 0;
    uint64_t seen[10] = {};
    bool aligned = false;

    template <class... T>
    long long Take(T... a) {
        // A 16-byte aligned local lands on a 16-byte address only when the
        // stack was aligned at the call, which the compiler takes for granted.
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

template <class... T>
void ExpectSeen(const Recorder& r, T... args) {
    uint64_t want[] = {Bits(args)..., 0};
    ASSERT_EQ(sizeof...(T), r.count);
    for (unsigned i = 0; i < sizeof...(T); ++i) EXPECT_EQ(want[i], r.seen[i]) << "argument " << i + 1;
    EXPECT_TRUE(r.aligned) << "stack misaligned with " << sizeof...(T) << " arguments";
}

template <class... T>
void CallMember(T... args) {
    Recorder r(7);
    Function<long long, T...> f;
    ASSERT_TRUE(f.Bind(&r, &Recorder::Take<T...>));
    EXPECT_EQ(&r, f.Object());
    EXPECT_EQ(700 + static_cast<long long>(sizeof...(T)), f.Procedure()(args...));
    ExpectSeen(r, args...);
}

template <class... T>
void CallPlain(T... args) {
    Function<long long, T...> f;
    ASSERT_TRUE(f.Bind(&PlainTake<T...>));
    EXPECT_EQ(nullptr, f.Object());
    plainRecorder.count = 99;
    EXPECT_EQ(900 + static_cast<long long>(sizeof...(T)), f.Procedure()(args...));
    ExpectSeen(plainRecorder, args...);
}

// Distinct values of mixed widths; the high arguments carry full 64-bit
// pointer values, so a lost or shifted slot cannot go unnoticed.
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

TEST(ThunkCalls, MembersGetEveryArgumentInItsPlace) {
    CallMember();
    CallMember(c1);
    CallMember(c1, s2);
    CallMember(c1, s2, i3);
    CallMember(c1, s2, i3, u4);
    CallMember(c1, s2, i3, u4, l5);
    CallMember(c1, s2, i3, u4, l5, p6);
    CallMember(c1, s2, i3, u4, l5, p6, b7);
    CallMember(c1, s2, i3, u4, l5, p6, b7, q8);
    CallMember(c1, s2, i3, u4, l5, p6, b7, q8, t9);
    CallMember(c1, s2, i3, u4, l5, p6, b7, q8, t9, p10);
}

TEST(ThunkCalls, PlainFunctionsGetTheirArgumentsUnchanged) {
    CallPlain();
    CallPlain(c1, s2, i3);
    CallPlain(c1, s2, i3, u4);
    CallPlain(c1, s2, i3, u4, l5);
    CallPlain(c1, s2, i3, u4, l5, p6, b7, q8, t9, p10);
}

struct Answers {
    int base = 40;
    bool Even(int x) { return x % 2 == 0; }
    const int* Where() { return &base; }
    int& Ref() { return base; }
    long Sum(int a, int b) const { return base + a + b; }
};

TEST(ThunkCalls, ResultsComeBack) {
    Answers a;
    Function<bool, int> even;
    Function<const int*, NullType> where;
    Function<int&> ref;
    Function<long, int, int> sum;
    ASSERT_TRUE(even.Bind(&a, &Answers::Even));
    ASSERT_TRUE(where.Bind(&a, &Answers::Where));
    ASSERT_TRUE(ref.Bind(&a, &Answers::Ref));
    ASSERT_TRUE(sum.Bind(&a, &Answers::Sum));
    EXPECT_TRUE(even.Procedure()(4));
    EXPECT_FALSE(even.Procedure()(5));
    EXPECT_EQ(&a.base, where.Procedure()());
    ref.Procedure()() = 7;
    EXPECT_EQ(7, a.base);
    EXPECT_EQ(10, sum.Procedure()(1, 2));
}

TEST(ThunkCalls, AnUnboundFunctionIsNullAndANullTargetDoesNothing) {
    Function<int, int, int> f;
    EXPECT_TRUE(f.IsNull());
    EXPECT_EQ(nullptr, f.Procedure());
    ASSERT_TRUE(f.Bind(nullptr));
    ASSERT_NE(nullptr, f.Procedure());
    EXPECT_EQ(nullptr, f.Target());
    EXPECT_EQ(0, f.Procedure()(1, 2));
    Answers* none = nullptr;
    Function<bool, int> g;
    EXPECT_FALSE(g.Bind(none, &Answers::Even));
    EXPECT_TRUE(g.IsNull());
}

TEST(ThunkOwnership, ACopyIsAnIndependentThunkToTheSameTarget) {
    Recorder r(3);
    Function<long long, int> original;
    ASSERT_TRUE(original.Bind(&r, &Recorder::Take<int>));
    {
        Function<long long, int> copy(original);
        EXPECT_NE(original.Procedure(), copy.Procedure());
        EXPECT_EQ(original.Object(), copy.Object());
        EXPECT_EQ(original.Target(), copy.Target());
        EXPECT_EQ(301, copy.Procedure()(5));
    }
    EXPECT_EQ(301, original.Procedure()(6));
    EXPECT_EQ(6u, r.seen[0]);

    Function<long long, int> assigned;
    assigned = original;
    original = Function<long long, int>();   // unbound over bound: unbound
    EXPECT_TRUE(original.IsNull());
    EXPECT_EQ(301, assigned.Procedure()(8));
    EXPECT_EQ(8u, r.seen[0]);
}

TEST(ThunkOwnership, RebindingRewritesTheSameThunk) {
    Recorder a(1), b(2);
    Function<long long, int, int, int, int, int> f;
    ASSERT_TRUE(f.Bind(&a, &Recorder::Take<int, int, int, int, int>));
    auto first = f.Procedure();
    ASSERT_TRUE(f.Bind(&b, &Recorder::Take<int, int, int, int, int>));
    EXPECT_EQ(first, f.Procedure());
    EXPECT_EQ(205, first(1, 2, 3, 4, 5));
    EXPECT_EQ(0u, a.count);
    ExpectSeen(b, 1, 2, 3, 4, 5);
    ASSERT_TRUE(f.Bind(&PlainTake<int, int, int, int, int>));
    EXPECT_EQ(first, f.Procedure());
    EXPECT_EQ(905, first(1, 2, 3, 4, 5));
}

struct Left {
    virtual ~Left() {}
    int left = 1;
    virtual int Who(int x) { return x + left; }
};

struct Right {
    virtual ~Right() {}
    int right = 100;
    int Get(int x) { return x + right; }
    virtual int Scale(int x) { return x * right; }
};

struct Both : Left, Right {
    int Who(int x) override { return x + 1000; }
    int Scale(int x) override { return x - right; }
};

TEST(ThunkBinding, MembersOfANonPrimaryBaseRunOnThatBase) {
    Both both;
    int (Both::*get)(int) = &Right::Get;   // carries the offset of Right
    Function<int, int> f;
    ASSERT_TRUE(f.Bind(&both, get));
    EXPECT_EQ(static_cast<Right*>(&both), f.Object());
    EXPECT_EQ(105, f.Procedure()(5));
    ASSERT_TRUE(f.Bind(&both, &Right::Get));   // named through the base
    EXPECT_EQ(106, f.Procedure()(6));
}

TEST(ThunkBinding, VirtualMembersRunTheOverride) {
    Both both;
    Function<int, int> who, scale;
    ASSERT_TRUE(who.Bind(&both, &Left::Who));
    EXPECT_EQ(1005, who.Procedure()(5));
    int (Both::*viaBoth)(int) = &Right::Scale;
    ASSERT_TRUE(scale.Bind(&both, viaBoth));
    EXPECT_EQ(-95, scale.Procedure()(5));
    Right plain;
    ASSERT_TRUE(scale.Bind(&plain, &Right::Scale));
    EXPECT_EQ(500, scale.Procedure()(5));
}

TEST(ThunkThreads, ThunksAreMadeAndCalledOnOtherThreads) {
    Recorder r(4);
    Function<long long, int, int, int, int, int, int> f;
    ASSERT_TRUE(f.Bind(&r, &Recorder::Take<int, int, int, int, int, int>));
    long long got = 0;
    std::thread([&] { got = f.Procedure()(1, 2, 3, 4, 5, 6); }).join();
    EXPECT_EQ(406, got);
    ExpectSeen(r, 1, 2, 3, 4, 5, 6);

    // Two threads taking thunks from the pool at once each get their own.
    bool ok[2] = {false, false};
    auto make = [&ok](int t) {
        Recorder mine(t + 1);
        std::vector<Function<long long, int>> fs(300);
        bool good = true;
        for (auto& g : fs) good = good && g.Bind(&mine, &Recorder::Take<int>);
        for (auto& g : fs) good = good && g.Procedure()(t) == (t + 1) * 100 + 1;
        ok[t] = good;
    };
    std::thread a(make, 0), b(make, 1);
    a.join();
    b.join();
    EXPECT_TRUE(ok[0]);
    EXPECT_TRUE(ok[1]);
}

struct Encoded {
    uint32_t object, target, address;
    unsigned argBytes;
    uint8_t bytes[10];
    unsigned length;
};

TEST(Thunk32Bytes, MoveTheObjectIntoEcxAndJumpRelativeToTheEnd) {
    const Encoded cases[] = {
        {0x11223344, 0x00402000, 0x00401000, 0, {0xB9, 0x44, 0x33, 0x22, 0x11, 0xE9, 0xF6, 0x0F, 0x00, 0x00}, 10},
        {0x00000000, 0x00400000, 0x00401000, 8, {0xB9, 0x00, 0x00, 0x00, 0x00, 0xE9, 0xF6, 0xEF, 0xFF, 0xFF}, 10},
        {0xCAFEF00D, 0x00000010, 0xFFFFFFF0, 0, {0xB9, 0x0D, 0xF0, 0xFE, 0xCA, 0xE9, 0x16, 0x00, 0x00, 0x00}, 10},
        {0x11223344, 0, 0x00401000, 0, {0xC3}, 1},
        {0x11223344, 0, 0x00401000, 8, {0xC2, 0x08, 0x00}, 3},
    };
    for (const Encoded& c : cases) {
        uint8_t out[10];
        memset(out, 0xAA, sizeof(out));
        zo::EncodeThunk32(out, c.object, c.target, c.address, c.argBytes);
        for (unsigned i = 0; i < c.length; ++i)
            EXPECT_EQ(c.bytes[i], out[i]) << "byte " << i << " of target " << std::hex << c.target;
        EXPECT_EQ(c.target ? c.object : 0, zo::Thunk32Object(out));
        EXPECT_EQ(c.target, zo::Thunk32Target(out, c.address));
    }
}

} // namespace

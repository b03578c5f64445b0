// JsonHeap: freed blocks serve later requests of their size, the cache keeps
// to its bound, whole trees are rebuilt from it, blocks move between
// threads, two threads at once never get the same block, and values freed
// while a thread ends go back too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "data/JsonHeap.h"
#include "data/JsonTestText.h"

using jsontest::HeapBusyBytes;
using jsontest::ParseA;
using zo::Json;
using zo::JsonHeap;

namespace {

const std::string kReport =
    "{\"mac\":\"AC:23:3F:A0:11:5C\",\"ip\":\"198.51.100.20\",\"list\":[1,\"two\",[3],{\"four\":4}],"
    "\"port\":6643,\"dhcp\":true,\"temp\":36.75,\"key\":'AAEC'}";

// Runs fn on a new thread; the handle is waited for (bounded) by Join.
template <class Fn>
HANDLE Start(Fn* fn) {
    struct Call {
        static DWORD WINAPI Run(void* f) {
            (*static_cast<Fn*>(f))();
            return 0;
        }
    };
    return CreateThread(nullptr, 0, &Call::Run, fn, 0, nullptr);
}

void Join(HANDLE h) {
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 30000));
    CloseHandle(h);
}

void DrainCache() {
    JsonHeap::Trim();
    ASSERT_EQ(0u, JsonHeap::CachedBytes());
}

// Takes and gives blocks of every cached size until the cache is full.
void FillCache() {
    std::vector<void*> blocks;
    for (size_t taken = 0; taken < 2 * JsonHeap::kMaxCached;) {
        size_t size = 1 + blocks.size() % JsonHeap::kLargestCached;
        blocks.push_back(JsonHeap::Take(size));
        memset(blocks.back(), 0xA5, size);
        taken += size;
    }
    for (size_t i = 0; i < blocks.size(); ++i) JsonHeap::Give(blocks[i], 1 + i % JsonHeap::kLargestCached);
}

TEST(JsonHeapCache, AFreedBlockServesTheNextRequestOfItsSize) {
    DrainCache();
    void* a = JsonHeap::Take(40);
    ASSERT_NE(nullptr, a);
    memset(a, 1, 40);
    JsonHeap::Give(a, 40);
    EXPECT_EQ(48u, JsonHeap::CachedBytes());
    void* b = JsonHeap::Take(33);   // 33 to 48 bytes share a list
    EXPECT_EQ(a, b);
    EXPECT_EQ(0u, JsonHeap::CachedBytes());
    JsonHeap::Give(b, 33);
    void* c = JsonHeap::Take(49);
    EXPECT_NE(a, c);
    memset(c, 2, 49);
    JsonHeap::Give(c, 49);
    EXPECT_EQ(48u + 64u, JsonHeap::CachedBytes());
}

TEST(JsonHeapCache, LargeAndSizedBlocksRoundTrip) {
    DrainCache();
    void* big = JsonHeap::Take(JsonHeap::kLargestCached + 1);
    ASSERT_NE(nullptr, big);
    memset(big, 3, JsonHeap::kLargestCached + 1);
    JsonHeap::Give(big, JsonHeap::kLargestCached + 1);
    EXPECT_EQ(0u, JsonHeap::CachedBytes());   // too large to keep
    for (size_t size : {size_t(0), size_t(5), size_t(200), size_t(5000)}) {
        char* p = static_cast<char*>(JsonHeap::TakeSized(size));
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(p) % 8) << size;
        memset(p, 4, size);
        JsonHeap::GiveSized(p);
    }
    // 0 and 5 shared one 16-byte block, 200 took 208, 5000 went back.
    EXPECT_EQ(16u + 208u, JsonHeap::CachedBytes());
    JsonHeap::GiveSized(nullptr);
    JsonHeap::Give(nullptr, 16);
}

TEST(JsonHeapCache, StaysWithinItsBoundAndTrimsToNothing) {
    DrainCache();
    const size_t before = HeapBusyBytes();
    FillCache();
    EXPECT_LE(JsonHeap::CachedBytes(), JsonHeap::kMaxCached);
    EXPECT_GE(JsonHeap::CachedBytes(), JsonHeap::kMaxCached - JsonHeap::kLargestCached);
    // Twice the bound was given; what did not fit went back to the heap.
    EXPECT_LT(HeapBusyBytes(), before + JsonHeap::kMaxCached + JsonHeap::kMaxCached / 2);
    JsonHeap::Trim();
    EXPECT_EQ(0u, JsonHeap::CachedBytes());
    EXPECT_LT(HeapBusyBytes(), before + 4096);
}

// A block the cache did not make (a list's array that realloc moved) serves
// the requests its size is sure to cover, and only those.
TEST(JsonHeapCache, AForeignBlockJoinsTheListItCanServe) {
    DrainCache();
    void* p = malloc(40);
    ASSERT_NE(nullptr, p);
    JsonHeap::Recycle(p, 40);
    EXPECT_EQ(32u, JsonHeap::CachedBytes());
    void* q = JsonHeap::Take(33);
    EXPECT_NE(p, q);
    JsonHeap::Give(q, 33);
    EXPECT_EQ(p, JsonHeap::Take(32));
    JsonHeap::Give(p, 32);
    JsonHeap::Recycle(malloc(8), 8);   // too small for any list: freed
    JsonHeap::Recycle(malloc(300), 300);   // too large to keep: freed
    JsonHeap::Recycle(nullptr, 0);
    EXPECT_EQ(32u + 48u, JsonHeap::CachedBytes());
}

// The trees of the costliest datagrams, built again after they went, take
// every value and every small list array from the cache; the heap gives
// only the top list's long array.
TEST(JsonHeapCache, TheLargestDatagramTreesAreRebuiltFromTheCache) {
    const std::string nested = std::string(510, '[') + std::string(510, ']') + ",";
    for (const std::string& piece : {std::string("[],"), nested}) {
        std::string text = "[";
        while (text.size() + piece.size() + 2 <= 65507) text += piece;
        text += "1]";
        DrainCache();
        {
            Json j;
            ASSERT_TRUE(ParseA(j, text));
        }
        EXPECT_GT(JsonHeap::CachedBytes(), 512u * 1024);
        const size_t busy = HeapBusyBytes();
        Json again;
        ASSERT_TRUE(ParseA(again, text));
        EXPECT_EQ(0u, JsonHeap::CachedBytes()) << piece.size();
        EXPECT_LE(HeapBusyBytes(), busy + again.Count() * sizeof(void*)) << piece.size();
    }
}

TEST(JsonHeapThreads, BlocksFreedOnOneThreadServeAnother) {
    DrainCache();
    std::vector<void*> blocks;
    for (unsigned i = 0; i < 100; ++i) blocks.push_back(JsonHeap::Take(24));
    auto give = [&] {
        for (void* p : blocks) JsonHeap::Give(p, 24);
    };
    Join(Start(&give));
    EXPECT_EQ(100u * 32u, JsonHeap::CachedBytes());
    std::vector<void*> back;
    for (unsigned i = 0; i < 100; ++i) back.push_back(JsonHeap::Take(20));
    EXPECT_TRUE(std::equal(back.begin(), back.end(), blocks.rbegin()));
    for (void* p : back) JsonHeap::Give(p, 20);
}

// Two threads take, mark, check and give blocks and parse trees at once: a
// block handed to both would show the other's mark, and a list broken by a
// race would crash or lose blocks.
TEST(JsonHeapThreads, TwoThreadsAtOnceNeverShareABlock) {
    const size_t before = jsontest::HeapInUse();
    for (int round = 0; round < 2; ++round) {
        volatile LONG faults = 0;
        auto work = [&faults](unsigned char mark) {
            std::vector<unsigned char*> held;
            for (unsigned i = 0; i < 20000; ++i) {
                size_t size = 1 + (i * 7919u + mark) % JsonHeap::kLargestCached;
                unsigned char* p = static_cast<unsigned char*>(JsonHeap::Take(size));
                memset(p, mark, size);
                held.push_back(p);
                if (held.size() == 16 || i % 97 == 0) {
                    for (size_t k = 0; k < held.size(); ++k) {
                        size_t n = 1 + ((i - held.size() + 1 + k) * 7919u + mark) % JsonHeap::kLargestCached;
                        for (size_t b = 0; b < n; ++b)
                            if (held[k][b] != mark) InterlockedIncrement(&faults);
                        JsonHeap::Give(held[k], n);
                    }
                    held.clear();
                    Json j;
                    if (!ParseA(j, kReport)) InterlockedIncrement(&faults);
                }
            }
            for (size_t k = 0; k < held.size(); ++k) free(held[k]);   // heap blocks; sizes not kept
        };
        auto a = [&] { work(0x11); };
        auto b = [&] { work(0x22); };
        HANDLE ha = Start(&a), hb = Start(&b);
        Join(ha);
        Join(hb);
        EXPECT_EQ(0, faults);
        EXPECT_LE(JsonHeap::CachedBytes(), JsonHeap::kMaxCached);
    }
    EXPECT_LT(jsontest::HeapInUse(), before + 4096);
}

TEST(JsonHeapThreads, ValuesFreedWhileAThreadEndsGoBack) {
    // The thread's scratch value still holds an object when the thread ends;
    // its destructor frees it after the thread's other exit-time work.
    auto leave = [] {
        Json::Nowhere().SetPropertyStr(L"late", L"freed as the thread ends");
        Json j;
        ParseA(j, kReport);
    };
    Join(Start(&leave));
    Join(Start(&leave));
    const size_t settled = jsontest::HeapInUse();
    for (int i = 0; i < 5; ++i) Join(Start(&leave));
    EXPECT_LE(jsontest::HeapInUse(), settled);
}

}   // namespace

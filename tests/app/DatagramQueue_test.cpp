// The hand-over from the receive thread: order, the single wake, the bound,
// and what a queued datagram really holds.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "app/DatagramQueue.h"
#include "app/module/ModuleProtocol.h"
#include "data/JsonHeap.h"
#include "support/HeapUse.h"

namespace {

Datagram* Make(int length) {
    Datagram* d = new Datagram;
    d->length = length;
    return d;
}

} // namespace

TEST(DatagramQueue, HandsEntriesOverInOrderAndAsksForOneWakeUntilItRunsDry) {
    DatagramQueue q;
    EXPECT_TRUE(q.Push(Make(1)));
    EXPECT_FALSE(q.Push(Make(2)));   // a wake is already outstanding
    Datagram* a = q.Pop();
    EXPECT_FALSE(q.Push(Make(3)));   // still: the consumer has not run dry
    Datagram* b = q.Pop();
    Datagram* c = q.Pop();
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->length, 1);
    EXPECT_EQ(b->length, 2);
    EXPECT_EQ(c->length, 3);
    EXPECT_EQ(q.Pop(), nullptr);     // running dry ends the wake...
    EXPECT_TRUE(q.Push(Make(4)));    // ...so the next entry asks again
    delete a;
    delete b;
    delete c;
    EXPECT_EQ(q.Count(), 1u);        // left for the queue's destructor
}

TEST(DatagramQueue, AFloodDropsTheOldestAndCountsThem) {
    const int length = 1000;
    Datagram probe;
    probe.length = length;
    const size_t cost = probe.Cost();
    DatagramQueue q(cost * 10);
    for (int i = 0; i < 25; ++i) {
        Datagram* d = Make(length);
        d->from.SetPortW(static_cast<unsigned short>(i));
        q.Push(d);
    }
    EXPECT_EQ(q.Count(), 10u);
    EXPECT_LE(q.PendingCost(), cost * 10);
    EXPECT_EQ(q.TakeDropped(), 15u);
    EXPECT_EQ(q.TakeDropped(), 0u);
    Datagram* oldest = q.Pop();
    EXPECT_EQ(oldest->from.GetPort(), 15);
    delete oldest;
    // One entry larger than the whole bound is still handed over.
    DatagramQueue tight(10);
    tight.Push(Make(100000));
    EXPECT_EQ(tight.Count(), 1u);
}

TEST(DatagramQueue, ProducerAndConsumerThreadsLoseNothingBelowTheBound) {
    DatagramQueue q;
    const int n = 20000;
    std::thread producer([&] {
        for (int i = 0; i < n; ++i) {
            Datagram* d = Make(100);
            d->from.SetPortW(static_cast<unsigned short>(i));
            q.Push(d);
        }
    });
    int expected = 0;
    bool inOrder = true;
    DWORD start = GetTickCount();
    while (expected < n && GetTickCount() - start < 30000) {
        if (Datagram* d = q.Pop()) {
            inOrder = inOrder && d->from.GetPort() == expected;
            ++expected;
            delete d;
        } else {
            std::this_thread::yield();
        }
    }
    producer.join();
    EXPECT_EQ(expected, n);
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(q.TakeDropped(), 0u);
}

// The worst a datagram can do to the bound: 65 507 bytes of "[[],[],...]"
// make a tree many times their size. What the queue holds in fact, measured
// on the heap, stays within the bound plus one datagram.
TEST(DatagramQueue, PendingMemoryUnderAFloodOfListsStaysWithinTheBoundPlusOneDatagram) {
    // 65 507 bytes of units in a list (or an object).
    auto dense = [](const char* open, const char* unit, const char* last) {
        std::string d = open;
        while (d.size() + strlen(unit) + strlen(last) <= 65507) d += unit;
        return d + last;
    };
    std::string bytes = dense("[", "[],", "[]]");
    auto make = [&] {
        Datagram* d = new Datagram;
        d->length = static_cast<int>(bytes.size());
        proto::DecodeDatagram(bytes.data(), d->length, d->text);
        d->parsed = proto::ParseReport(d->text, d->report);
        d->Seal();
        return d;
    };
    // The heap as the queue finds it; freed trees go to the JSON block
    // cache, which is not the queue's, so it is emptied before each look.
    auto inUse = [] {
        zo::JsonHeap::Trim();
        return zotest::HeapBytesInUse();
    };
    size_t base = inUse();
    Datagram* one = make();
    ASSERT_TRUE(one->parsed);
    const size_t oneReal = inUse() - base;
    EXPECT_GE(one->Cost(), oneReal) << "the charge must not be below what the entry holds";
    delete one;
    // Nor for the other dense shapes: members, strings, numbers.
    const std::string kept = bytes;
    for (const char* unit : {"\"a\":0,", "\"\",", "0,"}) {
        bool object = unit[1] == 'a';
        bytes = object ? dense("{", unit, "\"z\":0}") : dense("[", unit, "0]");
        base = inUse();
        Datagram* d = make();
        size_t real = inUse() - base;
        EXPECT_TRUE(d->parsed) << unit;
        EXPECT_GE(d->Cost(), real) << unit;
        delete d;
    }
    bytes = kept;

    const size_t limit = DatagramQueue::kDefaultLimit;
    DatagramQueue q(limit);
    base = inUse();
    for (int i = 0; i < 60; ++i) q.Push(make());
    const size_t pendingReal = inUse() - base;
    printf("one datagram: %zu bytes of text, %zu bytes held, %zu charged; 60 queued: %zu held, %zu charged, "
           "%zu kept, %u dropped\n",
           bytes.size(), oneReal, q.PendingCost() / q.Count(), pendingReal, q.PendingCost(), q.Count(),
           q.TakeDropped());
    EXPECT_LE(pendingReal, limit + oneReal);
    EXPECT_GT(q.Count(), 1u);
}

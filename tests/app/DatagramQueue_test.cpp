// The hand-over from the receive thread: order, the single wake, the bound.
#include <gtest/gtest.h>

#include <thread>

#include "app/DatagramQueue.h"

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

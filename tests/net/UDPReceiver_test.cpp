// UDPReceiver on loopback and simulated module addresses: tuning and its
// failures, what the handler is given, teardown with and without traffic,
// and a receive loop that ends on its own and is tuned again.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/Print.h"
#include "net/CriticalSection.h"
#include "net/UDPReceiver.h"
#include "support/TestNetwork.h"
#include "support/TraceSink.h"
#include "support/Wait.h"
#include "support/Winsock.h"

namespace {

struct Datagram {
    std::string bytes;
    std::string from;
    unsigned short port;
};

// Records every datagram; its handler runs on the receive thread.
struct Collector {
    zo::CriticalSection lock;
    std::vector<Datagram> seen;
    std::atomic<int> entered{0}, left{0};

    void OnDatagram(char* data, int length, zo::SOCKADDR& from) {
        ++entered;
        {
            zo::LocalCriticalSection hold(lock);
            seen.push_back({std::string(data, length), from.GetIp().ToString(), from.GetPort()});
        }
        ++left;
    }
    size_t Count() {
        zo::LocalCriticalSection hold(lock);
        return seen.size();
    }
    Datagram At(size_t i) {
        zo::LocalCriticalSection hold(lock);
        return seen[i];
    }
};

using zotest::PortOf;

// A socket bound to ip (port chosen by the system) that sends from there.
struct Sender {
    explicit Sender(const char* ip = "127.0.0.1") {
        s.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        zo::SOCKADDR at;
        at.SetIp(zo::IP(ip));
        bound = s.Bind(at) && s.GetSockAddr(at);
        port = at.GetPort();
    }
    ~Sender() { s.Close(); }
    int Send(const char* data, int length, unsigned short to, const char* ip = "127.0.0.1") {
        zo::SOCKADDR dest;
        dest.SetIp(zo::IP(ip));
        dest.SetPortW(to);
        return s.SendTo(data, length, 0, dest, 16);
    }
    zotest::Winsock ws;
    zo::Socket s;
    bool bound = false;
    unsigned short port = 0;
};

// A receiver on the stack handing datagrams to c.
class Receiving : public testing::Test {
protected:
    Receiving() { rx.datagramHandler.Bind(&c, &Collector::OnDatagram); }
    Collector c;
    zo::UDPReceiver rx;
};
using UDPReceiverTune = Receiving;
using UDPReceiverData = Receiving;

TEST_F(UDPReceiverTune, PortTakenFailsWithOneTraceThenAFreePortWorks) {
    zotest::TraceSink trace;
    ASSERT_NE(nullptr, trace.Window());
    zotest::Winsock ws;
    zo::Socket holder;
    ASSERT_TRUE(holder.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    zo::SOCKADDR any;
    any.SetIp(zo::IP(htonl(INADDR_ANY)));
    ASSERT_TRUE(holder.Bind(any));
    ASSERT_TRUE(holder.GetSockAddr(any));

    EXPECT_FALSE(rx.Tune(any.GetPort()));
    ASSERT_EQ(1u, trace.lines.size());
    EXPECT_EQ(L"绑定失败：UDPReceiver::Tune（ushort port）\r\n", trace.lines[0]);
    EXPECT_TRUE(rx.GetSocket()->IsNull());
    EXPECT_FALSE(rx.IsRunning());

    ASSERT_TRUE(rx.Tune(0));
    EXPECT_EQ(1u, trace.lines.size());
    Sender tx;
    tx.Send("after", 5, PortOf(rx));
    ASSERT_TRUE(zotest::WaitUntil([&] { return c.Count() == 1; }));
    EXPECT_EQ("after", c.At(0).bytes);
    holder.Close();
}

TEST_F(UDPReceiverTune, SecondTuneAnswersFalseAndChangesNothing) {
    zotest::TraceSink trace;
    ASSERT_TRUE(rx.Tune(0));
    SOCKET before = rx.GetSocket()->Handle();
    unsigned short port = PortOf(rx);
    EXPECT_FALSE(rx.Tune(0));
    EXPECT_FALSE(rx.Tune(port));
    EXPECT_TRUE(trace.lines.empty()) << "a second Tune traces nothing";
    EXPECT_EQ(before, rx.GetSocket()->Handle());
    EXPECT_EQ(port, PortOf(rx));
    EXPECT_TRUE(rx.IsRunning());
    Sender tx;
    tx.Send("still", 5, port);
    EXPECT_TRUE(zotest::WaitUntil([&] { return c.Count() == 1; }));
}

TEST_F(UDPReceiverTune, DatagramsBetweenBindAndStartWaitAndArriveInOrder) {
    EXPECT_FALSE(rx.Start()) << "nothing is bound yet";
    ASSERT_TRUE(rx.Bind(0));
    EXPECT_FALSE(rx.IsRunning());
    EXPECT_FALSE(rx.Bind(0)) << "already bound";
    unsigned short port = PortOf(rx);
    Sender tx;
    for (const char* text : {"one", "two", "three"}) tx.Send(text, static_cast<int>(strlen(text)), port);
    ASSERT_TRUE(rx.Start());
    EXPECT_FALSE(rx.Start()) << "already receiving";
    ASSERT_TRUE(zotest::WaitUntil([&] { return c.Count() == 3; }));
    EXPECT_EQ("one", c.At(0).bytes);
    EXPECT_EQ("two", c.At(1).bytes);
    EXPECT_EQ("three", c.At(2).bytes);
}

TEST_F(UDPReceiverData, EmptyAndLargestDatagramsArriveExactly) {
    ASSERT_TRUE(rx.Tune(0));
    Sender tx;
    ASSERT_TRUE(tx.bound);
    std::string big(65507, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 31 + i / 251);
    EXPECT_EQ(0, tx.Send("", 0, PortOf(rx)));
    EXPECT_EQ(65507, tx.Send(big.data(), 65507, PortOf(rx)));
    EXPECT_EQ(3, tx.Send("a\0b", 3, PortOf(rx)));
    ASSERT_TRUE(zotest::WaitUntil([&] { return c.Count() == 3; }));
    EXPECT_EQ(0u, c.At(0).bytes.size());
    EXPECT_TRUE(c.At(1).bytes == big) << "the largest datagram is not whole and exact";
    EXPECT_EQ(std::string("a\0b", 3), c.At(2).bytes) << "bytes after a 0 must reach the handler";
    EXPECT_EQ("127.0.0.1", c.At(0).from);
    EXPECT_EQ(tx.port, c.At(1).port);
}

// Destroys rx on another thread; true when that finished within ms.
bool DestroyWithin(zo::UDPReceiver* rx, DWORD ms, DWORD* took) {
    std::atomic<bool> done{false};
    DWORD start = GetTickCount();
    std::thread t([&] {
        delete rx;
        done = true;
    });
    bool finished = zotest::WaitUntil([&] { return done.load(); }, ms);
    *took = GetTickCount() - start;
    if (!finished) {
        t.detach();
        return false;
    }
    t.join();
    return true;
}

// A receiver on the heap, tuned to a free port, handing datagrams to c; the
// test destroys it.
class TunedOnTheHeap : public testing::Test {
protected:
    void SetUp() override {
        rx = new zo::UDPReceiver;
        rx->datagramHandler.Bind(&c, &Collector::OnDatagram);
        ASSERT_TRUE(rx->Tune(0));
    }
    Collector c;
    zo::UDPReceiver* rx = nullptr;
};
using UDPReceiverTeardown = TunedOnTheHeap;
using UDPReceiverLoop = TunedOnTheHeap;

TEST_F(UDPReceiverTeardown, ReturnsPromptlyWhileNothingArrives) {
    ASSERT_TRUE(zotest::WaitUntil([&] { return rx->IsRunning(); }));
    DWORD took = 0;
    ASSERT_TRUE(DestroyWithin(rx, 5000, &took)) << "closing the socket did not end the blocked receive";
    EXPECT_LT(took, 2000u);
}

TEST_F(UDPReceiverTeardown, WhileDatagramsStreamNoCallIsCutOrLate) {
    unsigned short port = PortOf(*rx);
    std::atomic<bool> stop{false};
    std::thread stream([&] {
        Sender tx;
        char payload[300] = "stream";
        while (!stop) tx.Send(payload, sizeof(payload), port);
    });
    if (!zotest::WaitUntil([&] { return c.Count() >= 200; })) {
        stop = true;
        stream.join();   // a joinable thread left behind would end the whole program
        FAIL() << "the stream did not arrive";
    }
    DWORD took = 0;
    bool destroyed = DestroyWithin(rx, 5000, &took);
    int enteredAtReturn = c.entered, leftAtReturn = c.left;
    // The stream goes on a little: nothing may reach the handler any more.
    bool late = zotest::WaitUntil([&] { return c.entered != enteredAtReturn; }, 300);
    stop = true;
    stream.join();
    ASSERT_TRUE(destroyed);
    EXPECT_EQ(enteredAtReturn, leftAtReturn) << "teardown returned during a handler call";
    EXPECT_FALSE(late) << "the handler ran after teardown returned";
}

TEST_F(UDPReceiverLoop, EndsOnAReceiveErrorAndCanBeTunedAgain) {
    unsigned short firstPort = PortOf(*rx);
    Sender tx;
    tx.Send("one", 3, firstPort);
    ASSERT_TRUE(zotest::WaitUntil([&] { return c.Count() == 1; }));

    // Pulling the socket away from under the blocked receive makes it fail
    // while the owner lives: the loop must end on its own and go idle.
    ASSERT_TRUE(rx->GetSocket()->Close());
    ASSERT_TRUE(zotest::WaitUntil([&] { return !rx->IsRunning(); })) << "the loop did not end";
    EXPECT_TRUE(rx->GetSocket()->IsNull());
    tx.Send("lost", 4, firstPort);

    ASSERT_TRUE(rx->Tune(0)) << "an idle receiver must tune again";
    EXPECT_TRUE(rx->IsRunning());
    tx.Send("two", 3, PortOf(*rx));
    ASSERT_TRUE(zotest::WaitUntil([&] { return c.Count() == 2; }));
    EXPECT_EQ("two", c.At(1).bytes);

    // Ended on its own once more: teardown must neither wait forever on the
    // finished thread nor release its handle twice.
    ASSERT_TRUE(rx->GetSocket()->Close());
    ASSERT_TRUE(zotest::WaitUntil([&] { return !rx->IsRunning(); }));
    DWORD took = 0;
    ASSERT_TRUE(DestroyWithin(rx, 5000, &took));
    EXPECT_EQ(2u, c.Count());
}

} // namespace

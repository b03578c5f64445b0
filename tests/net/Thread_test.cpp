// Thread: members started on bound objects with and without arguments, the
// answers of a Thread without handle, and a handle that is only a handle:
// releasing it never ends the thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "net/Thread.h"
#include "support/Wait.h"

namespace {

// An event the test owns; the started members wait on it where they must
// not run ahead of the test.
struct Gate {
    Gate() : event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Gate() { CloseHandle(event); }
    void Open() { SetEvent(event); }
    bool WaitOpen() { return WaitForSingleObject(event, 10000) == WAIT_OBJECT_0; }
    HANDLE event;
};

struct Worker {
    int base = 40;
    std::atomic<int> runs{0};
    std::atomic<DWORD> ranOn{0};
    std::atomic<bool> finished{false};
    std::string text;
    int length = -1;
    Gate gate;

    void Run() {
        ranOn = GetCurrentThreadId();
        runs += base;   // the bound object is this one, not a copy
    }
    void RunAfterGate() {
        gate.WaitOpen();
        finished = true;
    }
    void Block() { WaitForSingleObject(gate.event, INFINITE); }
    void Take(const char* bytes, int n) {
        gate.WaitOpen();
        text = bytes;
        length = n;
    }
};

TEST(Thread, WithoutHandleAnswersFalse) {
    zo::Thread t;
    EXPECT_FALSE(t.Close());
    EXPECT_FALSE(t.Stop(3));
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(0u, t.GetID());
    EXPECT_EQ(nullptr, t.Handle());
}

TEST(Thread, RunsTheBoundMemberOnANewThreadAndEndsWithCodeOne) {
    Worker w;
    zo::Thread t;
    ASSERT_TRUE(t.StartThread(&w, &Worker::Run));
    EXPECT_NE(0u, t.GetID());
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), t.Wait(10000));
    EXPECT_EQ(40, w.runs);
    EXPECT_EQ(t.GetID(), w.ranOn.load());
    EXPECT_NE(GetCurrentThreadId(), w.ranOn.load());
    EXPECT_FALSE(t.IsRunning());
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(t.Handle(), &code));
    EXPECT_EQ(1u, code);
    EXPECT_TRUE(t.Close());
    EXPECT_EQ(0u, t.GetID());
}

TEST(Thread, StartOnAThreadHoldingAHandleStartsNothing) {
    Worker w;
    zo::Thread t;
    ASSERT_TRUE(t.StartThread(&w, &Worker::RunAfterGate));
    DWORD first = t.GetID();
    EXPECT_TRUE(t.IsRunning());
    EXPECT_FALSE(t.StartThread(&w, &Worker::Run));
    EXPECT_EQ(first, t.GetID());
    w.gate.Open();
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), t.Wait(10000));
    // Even after the thread ended the handle is held until Close.
    EXPECT_FALSE(t.StartThread(&w, &Worker::Run));
    EXPECT_EQ(0, w.runs);
    EXPECT_TRUE(t.Close());
    ASSERT_TRUE(t.StartThread(&w, &Worker::Run));
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), t.Wait(10000));
    EXPECT_EQ(40, w.runs);
}

TEST(Thread, TextArgumentIsCopiedBeforeTheCallerReusesItsBuffer) {
    Worker w;
    char buffer[32];
    strcpy(buffer, "get_net_modle_param");
    zo::Thread t;
    ASSERT_TRUE(t.StartThread(&w, &Worker::Take, buffer, 0));
    memset(buffer, 'x', sizeof(buffer) - 1);   // the member has not read it yet
    w.gate.Open();
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), t.Wait(10000));
    EXPECT_EQ("get_net_modle_param", w.text);
    EXPECT_EQ(0, w.length) << "the length reaches the member as given";
}

TEST(Thread, TextWithLengthTakesExactlyThoseBytes) {
    Worker w;
    w.gate.Open();
    zo::Thread t;
    ASSERT_TRUE(t.StartThread(&w, &Worker::Take, "get_ap_list and more", 11));
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), t.Wait(10000));
    EXPECT_EQ("get_ap_list", w.text);
    EXPECT_EQ(11, w.length);
}

TEST(Thread, ReleasingTheHandleLeavesTheThreadRunning) {
    Worker w;
    {
        zo::Thread t;
        ASSERT_TRUE(t.StartThread(&w, &Worker::RunAfterGate));
    }
    EXPECT_FALSE(w.finished);
    w.gate.Open();
    EXPECT_TRUE(zotest::WaitUntil([&] { return w.finished.load(); }));

    Worker v;
    zo::Thread t;
    ASSERT_TRUE(t.StartThread(&v, &Worker::RunAfterGate));
    EXPECT_TRUE(t.Close());
    EXPECT_FALSE(t.IsRunning()) << "no handle, nothing to ask";
    v.gate.Open();
    EXPECT_TRUE(zotest::WaitUntil([&] { return v.finished.load(); }));
}

TEST(Thread, StopEndsTheThreadWithTheGivenCode) {
    Worker w;
    zo::Thread t;
    ASSERT_TRUE(t.StartThread(&w, &Worker::Block));
    HANDLE watch = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), t.Handle(), GetCurrentProcess(), &watch, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_TRUE(t.IsRunning());
    EXPECT_TRUE(t.Stop(7));
    EXPECT_EQ(nullptr, t.Handle());
    EXPECT_EQ(0u, t.GetID());
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(watch, 10000));
    DWORD code = 0;
    GetExitCodeThread(watch, &code);
    EXPECT_EQ(7u, code);
    CloseHandle(watch);
}

} // namespace

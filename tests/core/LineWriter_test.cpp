// The trace writer with a target that records lines and can be made to
// block, as a console write blocks while the user has a selection in it.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <thread>
#include <string>
#include <vector>

#include "core/LineWriter.h"
#include "support/Child.h"
#include "support/Wait.h"

namespace {

// Records what the writer's thread does, and on which threads; while `gate`
// is unsignalled every write blocks in it.
struct Recorder {
    std::mutex lock;
    std::vector<std::string> lines;
    DWORD openThread = 0;
    std::set<DWORD> threads;   // every thread that opened, wrote or closed
    int opens = 0, closes = 0, writing = 0;
    HANDLE gate = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ~Recorder() { CloseHandle(gate); }

    zo::LineTarget Target() {
        zo::LineTarget t;
        t.context = this;
        t.open = [](void* c) {
            auto* r = static_cast<Recorder*>(c);
            std::lock_guard<std::mutex> hold(r->lock);
            r->openThread = GetCurrentThreadId();
            r->threads.insert(GetCurrentThreadId());
            ++r->opens;
        };
        t.write = [](void* c, const zo::TraceLine& line) {
            auto* r = static_cast<Recorder*>(c);
            {
                std::lock_guard<std::mutex> hold(r->lock);
                ++r->writing;
            }
            WaitForSingleObject(r->gate, INFINITE);
            std::lock_guard<std::mutex> hold(r->lock);
            r->threads.insert(GetCurrentThreadId());
            r->lines.push_back(line.wide ? "w:" + std::string(line.bytes.size() / 2, '?') : line.bytes);
        };
        t.close = [](void* c) {
            auto* r = static_cast<Recorder*>(c);
            std::lock_guard<std::mutex> hold(r->lock);
            r->threads.insert(GetCurrentThreadId());
            ++r->closes;
        };
        return t;
    }
    int Writing() {
        std::lock_guard<std::mutex> hold(lock);
        return writing;
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> hold(lock);
        return lines;
    }
};

std::string Numbered(int i) { return "line " + std::to_string(i) + "\r\n"; }

} // namespace

TEST(LineWriter, LinesFromTwoThreadsArriveWholeAndEachThreadsInOrderFromTheWritersOwnThread) {
    Recorder r;
    DWORD otherThread = 0;
    {
        zo::LineWriter w(r.Target(), 16u << 20);   // room for every line: none is dropped
        EXPECT_EQ(r.opens, 0) << "no thread and no target before the first line";
        std::thread other([&] {
            otherThread = GetCurrentThreadId();
            for (int i = 0; i < 2000; ++i) w.Put(("other " + std::to_string(i) + "\r\n").c_str());
        });
        for (int i = 0; i < 2000; ++i) w.Put(Numbered(i).c_str());
        w.Put(L"wide\r\n");
        other.join();
        ASSERT_TRUE(w.Flush(10000));
        EXPECT_TRUE(w.Stop(10000));
    }
    std::vector<std::string> lines = r.Lines();
    ASSERT_EQ(lines.size(), 4001u);
    int mine = 0, others = 0;
    for (const std::string& l : lines) {
        if (l.rfind("other ", 0) == 0) {
            EXPECT_EQ(l, "other " + std::to_string(others++) + "\r\n");
        } else if (l.rfind("line ", 0) == 0) {
            EXPECT_EQ(l, Numbered(mine++));
        }
    }
    EXPECT_EQ(mine, 2000);
    EXPECT_EQ(others, 2000);
    // The wide line comes after every line this thread put before it.
    auto wide = std::find(lines.begin(), lines.end(), "w:??????");
    ASSERT_NE(wide, lines.end());
    EXPECT_GT(wide - lines.begin(), std::find(lines.begin(), lines.end(), Numbered(1999)) - lines.begin());
    EXPECT_EQ(r.opens, 1);
    EXPECT_EQ(r.closes, 1);
    // One thread of the writer's own did everything: neither caller wrote.
    EXPECT_EQ(r.threads, std::set<DWORD>{r.openThread});
    EXPECT_NE(r.openThread, GetCurrentThreadId());
    EXPECT_NE(r.openThread, otherThread);
}

TEST(LineWriter, WhileTheTargetBlocksPutsReturnTheBufferIsBoundedAndOneLineCountsTheLost) {
    Recorder r;
    ResetEvent(r.gate);
    zo::TraceLine probe;
    probe.bytes = Numbered(10);
    zo::LineWriter w(r.Target(), zo::LineWriter::Weight(probe) * 5);
    w.Put(Numbered(0).c_str());
    ASSERT_TRUE(zotest::WaitUntil([&] { return r.Writing() == 1; }));   // held in its first write
    for (int i = 1; i <= 20; ++i) w.Put(Numbered(i).c_str());           // none of these may wait
    EXPECT_FALSE(w.Flush(0));
    SetEvent(r.gate);
    ASSERT_TRUE(w.Flush(10000));
    zo::TraceLine note;
    zo::LineWriter::DroppedLine(15, note);
    EXPECT_EQ(note.bytes, "trace: 15 lines dropped, the console did not keep up\r\n");
    std::vector<std::string> expected;
    for (int i = 0; i <= 5; ++i) expected.push_back(Numbered(i));
    expected.push_back(note.bytes);
    EXPECT_EQ(r.Lines(), expected);
    // Room again: lines flow as before.
    w.Put(Numbered(21).c_str());
    ASSERT_TRUE(w.Flush(10000));
    EXPECT_EQ(r.Lines().back(), Numbered(21));
}

TEST(LineWriter, StopWhileAWriteBlocksReturnsInTimeAndTheThreadEndsCleanlyLater) {
    static Recorder r;   // outlives the writer: its thread still writes into it
    ResetEvent(r.gate);
    {
        zo::LineWriter w(r.Target());
        w.Put("held\r\n");
        w.Put("queued\r\n");
        ASSERT_TRUE(zotest::WaitUntil([&] { return r.Writing() == 1; }));
        // Stop and a later Put, on a thread of their own, must come back while
        // the write still blocks (the gate opens only after the bound, so
        // that a Stop that waits for the thread still ends).
        bool stopped = true;
        HANDLE returned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::thread caller([&] {
            stopped = w.Stop(50);
            w.Put("after the stop\r\n");   // dropped, and no wait
            SetEvent(returned);
        });
        bool inTime = WaitForSingleObject(returned, 10000) == WAIT_OBJECT_0;
        EXPECT_TRUE(inTime) << "Stop or Put waited for the blocked write";
        if (!inTime) SetEvent(r.gate);
        caller.join();
        CloseHandle(returned);
        EXPECT_FALSE(stopped) << "the thread cannot have ended while its write blocked";
    }   // the writer is gone; its thread holds the state it needs
    SetEvent(r.gate);
    ASSERT_TRUE(zotest::WaitUntil([&] {
        std::lock_guard<std::mutex> hold(r.lock);
        return r.closes == 1;
    }));
    EXPECT_EQ(r.Lines(), (std::vector<std::string>{"held\r\n", "queued\r\n"}));
}

// A process whose writer is stuck in a write still ends when main returns.
ZO_CHILD_ROLE(exit_while_writer_blocks) {
    static Recorder r;
    ResetEvent(r.gate);
    static zo::LineWriter* w = new zo::LineWriter(r.Target());
    w->Put("held\r\n");
    if (!zotest::WaitUntil([&] { return r.Writing() == 1; })) return 3;
    w->Stop(50);
    return 7;
}

TEST(LineWriter, AProcessEndsWhileItsWriterIsBlocked) {
    zotest::Child child;
    ASSERT_TRUE(child.Start("exit_while_writer_blocks"));
    EXPECT_EQ(child.Wait(20000), 7u);
}

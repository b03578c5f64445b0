// LineWriter: hands diagnostic lines from any thread to a target (the
// console) that a thread of the writer's own opens and writes to, in the
// order they came. A caller never waits for the target: lines go through a
// bounded buffer, and while it is full further lines are counted and later
// replaced by one line that says how many were lost. The thread starts with
// the first line. The writer shares its state with its thread, so a thread
// stuck in a write can be left behind at exit without touching freed memory.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/Win.h"

namespace zo {

struct TraceLine {
    bool wide = false;
    std::string bytes;   // the text without terminator; UTF-16 units when wide
};

// What the writer's thread does with lines; all three run on that thread.
struct LineTarget {
    void* context = nullptr;
    void (*open)(void* context) = nullptr;                       // before the first line
    void (*write)(void* context, const TraceLine& line) = nullptr;
    void (*close)(void* context) = nullptr;                      // after the last, on Stop
};

class LineWriter {
public:
    static const size_t kDefaultBytes = 256u << 10;

    explicit LineWriter(const LineTarget& target, size_t limitBytes = kDefaultBytes);
    // Stops with the default wait.
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // Queues a line (its CR LF included); starts the thread on the first.
    void Put(const wchar_t* line);
    void Put(const char* line);

    // Waits at most ms until every line queued before the call has been
    // written (or counted as dropped); false on time-out.
    bool Flush(DWORD ms);

    // Lets the thread write what is queued, close the target and end; waits
    // at most ms. False when it did not end in time (a write that blocks):
    // it is then left to the end of the process. Later lines are dropped.
    bool Stop(DWORD ms);

    // The line that stands for lines lost while the buffer was full.
    static void DroppedLine(unsigned count, TraceLine& out);

    // The bytes a queued line weighs against the bound.
    static size_t Weight(const TraceLine& line) { return line.bytes.size() + 64; }

private:
    struct State {
        std::mutex lock;
        std::condition_variable wake;
        std::condition_variable progress;   // lines written, or the thread ended
        unsigned long long queued = 0;      // lines put, dropped ones included
        unsigned long long done = 0;        // lines written or dropped
        std::vector<TraceLine> lines;
        size_t pending = 0;
        size_t limit = 0;
        unsigned dropped = 0;
        bool stopping = false;
        bool ended = false;
        HANDLE endedEvent = nullptr;   // set by the thread as its last act
        LineTarget target;
        ~State();
    };
    void Queue(TraceLine&& line);
    static DWORD WINAPI Run(void* state);

    std::shared_ptr<State> state;
    bool started = false;   // guarded by state->lock
};

} // namespace zo

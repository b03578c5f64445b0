// The writer's thread and its bounded buffer.
#include "core/LineWriter.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <utility>

namespace zo {

namespace {

// What the thread holds: its own reference to the shared state.
template <class S>
struct Start {
    std::shared_ptr<S> state;
};

} // namespace

LineWriter::State::~State() {
    if (endedEvent) CloseHandle(endedEvent);
}

LineWriter::LineWriter(const LineTarget& target, size_t limitBytes) : state(std::make_shared<State>()) {
    state->target = target;
    state->limit = limitBytes;
}

LineWriter::~LineWriter() { Stop(200); }

void LineWriter::Put(const wchar_t* line) {
    if (!line) return;
    TraceLine l;
    l.wide = true;
    l.bytes.assign(reinterpret_cast<const char*>(line), wcslen(line) * sizeof(wchar_t));
    Queue(std::move(l));
}

void LineWriter::Put(const char* line) {
    if (!line) return;
    TraceLine l;
    l.bytes.assign(line);
    Queue(std::move(l));
}

void LineWriter::DroppedLine(unsigned count, TraceLine& out) {
    char text[96];
    snprintf(text, sizeof(text), "trace: %u lines dropped, the console did not keep up\r\n", count);
    out.wide = false;
    out.bytes = text;
}

void LineWriter::Queue(TraceLine&& line) {
    State& s = *state;
    bool start = false;
    {
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.stopping) return;
        ++s.queued;
        size_t weight = Weight(line);
        if (s.dropped || (s.pending + weight > s.limit && !s.lines.empty())) {
            // Full: this line and every one until the thread takes the
            // buffer are lost; the thread says how many after the others.
            ++s.dropped;
        } else {
            s.pending += weight;
            s.lines.push_back(std::move(line));
        }
        start = !started;
        started = true;
        if (start) s.endedEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    if (start) {
        // The thread, not the caller, opens the target: opening a console
        // can take hundreds of milliseconds.
        auto* arg = new Start<State>{state};
        HANDLE t = s.endedEvent ? CreateThread(nullptr, 0, &LineWriter::Run, arg, 0, nullptr) : nullptr;
        if (t) {
            CloseHandle(t);
        } else {
            delete arg;
            std::lock_guard<std::mutex> hold(s.lock);
            s.stopping = true;   // no thread: lines go nowhere rather than pile up
            s.ended = true;
        }
        return;
    }
    s.wake.notify_one();
}

DWORD WINAPI LineWriter::Run(void* arg) {
    std::shared_ptr<State> keep = std::move(static_cast<Start<State>*>(arg)->state);
    delete static_cast<Start<State>*>(arg);
    State& s = *keep;
    if (s.target.open) s.target.open(s.target.context);
    std::vector<TraceLine> batch;
    for (;;) {
        unsigned dropped = 0;
        bool stop = false;
        {
            std::unique_lock<std::mutex> hold(s.lock);
            s.wake.wait(hold, [&] { return !s.lines.empty() || s.dropped || s.stopping; });
            batch.swap(s.lines);
            s.pending = 0;
            dropped = s.dropped;
            s.dropped = 0;
            stop = s.stopping && batch.empty() && !dropped;
        }
        if (stop) break;
        for (const TraceLine& line : batch)
            if (s.target.write) s.target.write(s.target.context, line);
        size_t written = batch.size();
        batch.clear();
        if (dropped) {
            TraceLine note;
            DroppedLine(dropped, note);
            if (s.target.write) s.target.write(s.target.context, note);
        }
        {
            std::lock_guard<std::mutex> hold(s.lock);
            s.done += written + dropped;
        }
        s.progress.notify_all();
    }
    if (s.target.close) s.target.close(s.target.context);
    {
        std::lock_guard<std::mutex> hold(s.lock);
        s.ended = true;
    }
    s.progress.notify_all();
    SetEvent(s.endedEvent);
    return 0;
}

bool LineWriter::Flush(DWORD ms) {
    State& s = *state;
    std::unique_lock<std::mutex> hold(s.lock);
    unsigned long long target = s.queued;
    return s.progress.wait_for(hold, std::chrono::milliseconds(ms), [&] { return s.done >= target || s.ended; }) &&
           s.done >= target;
}

bool LineWriter::Stop(DWORD ms) {
    State& s = *state;
    bool running;
    {
        std::lock_guard<std::mutex> hold(s.lock);
        s.stopping = true;
        running = started && !s.ended;
    }
    if (!running) return true;
    s.wake.notify_one();
    return WaitForSingleObject(s.endedEvent, ms) == WAIT_OBJECT_0;
}

} // namespace zo

// EngineThread: one job (a search, a verified save) run by the engine on a
// thread of its own, over an InboxTransport, for a window: the window hands
// it every datagram while it runs, and it posts a message when the job is
// done. Owns the thread, the transport and the job.
#pragma once
#include <atomic>
#include <memory>
#include <thread>

#include "app/module/Engine.h"
#include "app/module/InboxTransport.h"

namespace proto {

class EngineThread {
public:
    EngineThread() {}
    ~EngineThread() { Stop(); }
    EngineThread(const EngineThread&) = delete;
    EngineThread& operator=(const EngineThread&) = delete;

    // Runs job (now owned) on `lanes` lanes, interval ms apart; when it is
    // done, posts msg to window with wParam id. False (job deleted) when
    // the sockets or the thread cannot be had. A job still running is
    // stopped first.
    bool Start(Job* job, unsigned lanes, unsigned intervalMs, HWND window, UINT msg, WPARAM id);
    // Ends the job early and waits for its thread; nothing is posted then.
    void Stop();
    // Waits for a thread that has posted its message; the job stays owned.
    Job* Finish();

    bool Running() const { return running.load(); }
    // Requests sent so far by the running job.
    unsigned Sent() const { return sentNow.load(); }
    // A datagram that came to the window (any thread).
    void Deliver(const char* data, int length, zo::IP from);

private:
    void Run(HWND window, UINT msg, WPARAM id);
    static void OnEvent(void* self);

    std::unique_ptr<Job> job;
    std::unique_ptr<InboxTransport> inbox;
    std::unique_ptr<Engine> engine;
    std::atomic<InboxTransport*> open{nullptr};   // what Deliver may reach
    std::thread thread;
    std::atomic<bool> running{false}, stopped{false};
    std::atomic<unsigned> sentNow{0};
    std::mutex deliverLock;   // Deliver against the end of the transport
};

} // namespace proto

// A job on a thread of its own.
#include "app/module/EngineThread.h"

#include "app/module/Clock.h"

namespace proto {

bool EngineThread::Start(Job* newJob, unsigned lanes, unsigned intervalMs, HWND window, UINT msg, WPARAM id) {
    Stop();
    job.reset(newJob);
    inbox.reset(new InboxTransport);
    int error = 0;
    if (!job || !inbox->Open(error)) {
        job.reset();
        inbox.reset();
        return false;
    }
    static SystemClock clock;
    engine.reset(new Engine(*inbox, clock, intervalMs, lanes));
    stopped.store(false);
    sentNow.store(0);
    running.store(true);
    open.store(inbox.get());
    thread = std::thread(&EngineThread::Run, this, window, msg, id);
    return true;
}

void EngineThread::Run(HWND window, UINT msg, WPARAM id) {
    engine->Run({job.get()}, &EngineThread::OnEvent, this);
    running.store(false);
    if (!stopped.load()) PostMessageW(window, msg, id, 0);
}

void EngineThread::OnEvent(void* self) {
    EngineThread* t = static_cast<EngineThread*>(self);
    t->sentNow.store(t->engine->Sent());
}

void EngineThread::Stop() {
    if (!thread.joinable()) return;
    stopped.store(true);
    engine->Stop();
    {
        std::lock_guard<std::mutex> hold(deliverLock);
        open.store(nullptr);
        inbox->Wake();
    }
    thread.join();
    running.store(false);
}

Job* EngineThread::Finish() {
    if (thread.joinable()) thread.join();
    std::lock_guard<std::mutex> hold(deliverLock);
    open.store(nullptr);
    return job.get();
}

void EngineThread::Deliver(const char* data, int length, zo::IP from) {
    std::lock_guard<std::mutex> hold(deliverLock);
    if (InboxTransport* t = open.load()) t->Deliver(data, length, from);
}

} // namespace proto

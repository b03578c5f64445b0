// Walking each heap under its lock and resetting the inside of its large
// free blocks; the quiet timer that does it after a burst.
#include "data/HeapTrim.h"

#include <atomic>
#include <vector>

#include "data/JsonHeap.h"

namespace zo {

namespace {

// A heap's free block starts with its links and may end with a pointer back
// to its start; a page from each end covers both.
const size_t kKeep = 64;

size_t TrimHeap(HANDLE heap, size_t page) {
    size_t given = 0;
    if (!HeapLock(heap)) return 0;
    PROCESS_HEAP_ENTRY e = {};
    while (HeapWalk(heap, &e)) {
        if (e.wFlags & (PROCESS_HEAP_ENTRY_BUSY | PROCESS_HEAP_REGION | PROCESS_HEAP_UNCOMMITTED_RANGE)) continue;
        if (e.cbData < HeapTrim::kSmallestBlock) continue;
        size_t from = 0, to = 0;
        if (!HeapTrim::Inside(reinterpret_cast<size_t>(e.lpData), e.cbData, page, kKeep, &from, &to)) continue;
        if (VirtualAlloc(reinterpret_cast<void*>(from), to - from, MEM_RESET, PAGE_READWRITE)) given += to - from;
    }
    HeapUnlock(heap);
    return given;
}

// The quiet timer: the time of the last burst, whether a timer waits, and
// that timer (deleted when the next one is made, or by itself).
std::atomic<DWORD> lastBurst{0};
std::atomic<DWORD> quietFor{0};
std::atomic<bool> waiting{false};
std::atomic<HANDLE> timer{nullptr};

void CALLBACK OnQuietTimer(void*, BOOLEAN);

void Arm(DWORD ms) {
    HANDLE made = nullptr;
    if (!CreateTimerQueueTimer(&made, nullptr, OnQuietTimer, nullptr, ms, 0, WT_EXECUTEONLYONCE)) {
        waiting.store(false);
        return;
    }
    // Without a completion event the old timer is only marked for deletion,
    // which is allowed from inside its own callback.
    if (HANDLE old = timer.exchange(made)) DeleteTimerQueueTimer(nullptr, old, nullptr);
}

std::atomic<DWORD> lastTrim{0};

void Trim() {
    lastTrim.store(GetTickCount());
    JsonHeap::Trim();
    HeapTrim::AllHeaps();
}

void CALLBACK OnQuietTimer(void*, BOOLEAN) {
    DWORD now = GetTickCount();
    DWORD since = now - lastBurst.load();
    DWORD quiet = quietFor.load();
    if (since < quiet) {
        // Bursts go on: wait out their quiet, but trim every few quiet
        // periods meanwhile, so a flood that lasts keeps its peak too.
        if (now - lastTrim.load() >= 2 * quiet) Trim();
        Arm(quiet - since);
        return;
    }
    waiting.store(false);
    Trim();
}

} // namespace

void HeapTrim::AfterQuiet(DWORD quietMs) {
    lastBurst.store(GetTickCount());
    quietFor.store(quietMs);
    if (!waiting.exchange(true)) Arm(quietMs);
}

bool HeapTrim::Inside(size_t start, size_t size, size_t page, size_t keep, size_t* from, size_t* to) {
    if (!page || size < 2 * keep) return false;
    size_t first = (start + keep + page - 1) / page * page;
    size_t last = (start + size - keep) / page * page;
    if (last <= first) return false;
    *from = first;
    *to = last;
    return true;
}

size_t HeapTrim::AllHeaps() {
    if (IsDebuggerPresent()) return 0;
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    std::vector<HANDLE> heaps(16);
    DWORD n = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (n > heaps.size()) {
        heaps.resize(n);
        n = GetProcessHeaps(n, heaps.data());
    }
    size_t given = 0;
    for (DWORD i = 0; i < n && i < heaps.size(); ++i) given += TrimHeap(heaps[i], si.dwPageSize);
    return given;
}

} // namespace zo

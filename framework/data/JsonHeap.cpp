// The per-thread block cache behind JsonHeap. Blocks are kept in lists by
// size (16-byte steps up to kLargestCached) and each block is allocated at
// its list's full size, so any block of a list serves any request of it,
// whichever thread freed it. A thread finds its cache through a TLS slot
// (cheaper than a thread_local on this runtime); a thread_local owner frees
// the cache when the thread ends.
#include "data/JsonHeap.h"

#include <cstdlib>

#include "core/Win.h"

namespace zo {

namespace {

const size_t kGrain = 16;
const unsigned kLists = JsonHeap::kLargestCached / kGrain;
// In front of a TakeSized block; 8 keeps what follows aligned for doubles.
const size_t kPrefix = 8;
static_assert(sizeof(size_t) <= kPrefix, "the size must fit in front of the block");

struct FreeBlock {
    FreeBlock* next;
};

struct Cache {
    FreeBlock* head[kLists];
    size_t bytes;
};

// The slot holds null before the thread's first free, its cache after,
// and kGone once the cache has been freed at thread exit (blocks freed
// later, by other exit-time destructors, go straight to the heap).
void* const kGone = reinterpret_cast<void*>(1);

DWORD Slot() {
    static const DWORD slot = TlsAlloc();
    return slot;
}

// TlsGetValue clears the last error; callers of Json do not expect that.
void* SlotValue(DWORD slot) {
    DWORD error = GetLastError();
    void* value = TlsGetValue(slot);
    SetLastError(error);
    return value;
}

void SetSlotValue(DWORD slot, void* value) {
    DWORD error = GetLastError();
    TlsSetValue(slot, value);
    SetLastError(error);
}

class ThreadCache {
public:
    Cache cache = {};
    ~ThreadCache() {
        for (unsigned i = 0; i < kLists; ++i) {
            while (FreeBlock* b = cache.head[i]) {
                cache.head[i] = b->next;
                free(b);
            }
        }
        cache.bytes = 0;
        SetSlotValue(Slot(), kGone);
    }
};

// The calling thread's cache; null when there is none (yet, with create
// false) or no more, or when no TLS slot could be had.
Cache* Current(bool create) {
    DWORD slot = Slot();
    if (slot == TLS_OUT_OF_INDEXES) return nullptr;
    void* value = SlotValue(slot);
    if (!value && create) {
        static thread_local ThreadCache owner;
        value = &owner.cache;
        SetSlotValue(slot, value);
    }
    return value == kGone ? nullptr : static_cast<Cache*>(value);
}

unsigned ListOf(size_t size) { return size ? static_cast<unsigned>((size - 1) / kGrain) : 0; }

}   // namespace

void* JsonHeap::Take(size_t size) {
    if (size > kLargestCached) return malloc(size);
    unsigned list = ListOf(size);
    if (Cache* c = Current(false)) {
        if (FreeBlock* b = c->head[list]) {
            c->head[list] = b->next;
            c->bytes -= (list + 1) * kGrain;
            return b;
        }
    }
    return malloc((list + 1) * kGrain);
}

void JsonHeap::Give(void* block, size_t size) {
    if (!block) return;
    if (size <= kLargestCached) {
        unsigned list = ListOf(size);
        size_t bytes = (list + 1) * kGrain;
        Cache* c = Current(true);
        if (c && c->bytes + bytes <= kMaxCached) {
            FreeBlock* b = static_cast<FreeBlock*>(block);
            b->next = c->head[list];
            c->head[list] = b;
            c->bytes += bytes;
            return;
        }
    }
    free(block);
}

void* JsonHeap::TakeSized(size_t size) {
    if (size > static_cast<size_t>(-1) - kPrefix) return nullptr;
    char* block = static_cast<char*>(Take(size + kPrefix));
    if (!block) return nullptr;
    *reinterpret_cast<size_t*>(block) = size + kPrefix;
    return block + kPrefix;
}

void JsonHeap::GiveSized(void* block) {
    if (!block) return;
    char* start = static_cast<char*>(block) - kPrefix;
    Give(start, *reinterpret_cast<size_t*>(start));
}

size_t JsonHeap::CachedBytes() {
    Cache* c = Current(false);
    return c ? c->bytes : 0;
}

} // namespace zo

// The block cache behind JsonHeap. Blocks are kept in lists by size (16-byte
// steps up to kLargestCached) and each block is allocated at its list's full
// size, so any block of a list serves any request of it, whichever thread
// freed it. One cache serves the process: a thread that finds it in use by
// another goes straight to the heap instead of waiting, so the cache never
// blocks, and it needs no per-thread state that would have to be freed when
// a thread ends.
#include "data/JsonHeap.h"

#include <atomic>
#include <cstdlib>

namespace zo {

namespace {

const size_t kGrain = JsonHeap::kGrain;
const unsigned kLists = JsonHeap::kLargestCached / kGrain;
// In front of a TakeSized block; 8 keeps what follows aligned for doubles.
const size_t kPrefix = 8;
static_assert(sizeof(size_t) <= kPrefix, "the size must fit in front of the block");

struct FreeBlock {
    FreeBlock* next;
};

// Zero before any code runs, so blocks may come and go during start-up and
// shut-down in any order. The blocks it holds at exit go with the process.
struct Cache {
    FreeBlock* head[kLists];
    size_t bytes;
};
Cache cache;
std::atomic_flag busy = ATOMIC_FLAG_INIT;

// The cache for one operation, or nothing when another thread has it.
class Hold {
public:
    Hold() : held(!busy.test_and_set(std::memory_order_acquire)) {}
    ~Hold() {
        if (held) busy.clear(std::memory_order_release);
    }
    explicit operator bool() const { return held; }

private:
    bool held;
};

unsigned ListOf(size_t size) { return size ? static_cast<unsigned>((size - 1) / kGrain) : 0; }

}   // namespace

void* JsonHeap::Take(size_t size) {
    if (size > kLargestCached) return malloc(size);
    unsigned list = ListOf(size);
    Hold hold;
    if (hold) {
        if (FreeBlock* b = cache.head[list]) {
            cache.head[list] = b->next;
            cache.bytes -= (list + 1) * kGrain;
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
        Hold hold;
        if (hold && cache.bytes + bytes <= kMaxCached) {
            FreeBlock* b = static_cast<FreeBlock*>(block);
            b->next = cache.head[list];
            cache.head[list] = b;
            cache.bytes += bytes;
            return;
        }
    }
    free(block);
}

void JsonHeap::Recycle(void* block, size_t size) {
    if (size >= kGrain && size <= kLargestCached)
        Give(block, size / kGrain * kGrain);   // the list whose every request it can serve
    else
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
    Hold hold;
    return hold ? cache.bytes : 0;
}

void JsonHeap::Trim() {
    Hold hold;
    if (!hold) return;
    for (FreeBlock*& head : cache.head) {
        while (FreeBlock* b = head) {
            head = b->next;
            free(b);
        }
    }
    cache.bytes = 0;
}

} // namespace zo

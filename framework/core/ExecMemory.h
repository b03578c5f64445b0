// ExecMemory: the process's pool of memory that may be written and then run
// (call thunks live here). One pagefile-backed section carved into blocks by
// first fit from roving cursors; the section is never returned to the system.
// IMemory holds the lock types the pool (and its neighbours) use.
#pragma once
#include <cstdint>

#include "core/Base.h"
#include "core/Win.h"

namespace zo {

struct IMemory {
    // A critical section; not copyable, deleted with its owner.
    class CS {
    public:
        CS() { InitializeCriticalSection(&cs); }
        ~CS() { DeleteCriticalSection(&cs); }
        CS(const CS&) = delete;
        CS& operator=(const CS&) = delete;
        void Lock() { EnterCriticalSection(&cs); }
        void Unlock() { LeaveCriticalSection(&cs); }

    private:
        CRITICAL_SECTION cs;
    };

    // Holds a CS for the life of the scope.
    class LCS {
    public:
        explicit LCS(CS& c) : cs(c) { cs.Lock(); }
        ~LCS() { cs.Unlock(); }
        LCS(const LCS&) = delete;
        LCS& operator=(const LCS&) = delete;

    private:
        CS& cs;
    };
};

class ExecMemory : public _class {
public:
    // The 12-byte header in front of every block. Blocks lie in address
    // order, chained both ways. A link is a 32-bit offset from base on
    // x86_64 (so the header keeps its size there) and the real address on
    // i686; next 0 means "last block" in both, and the block at base has no
    // predecessor whatever its prev holds.
    struct Block {
        uint32_t prev;
        uint32_t next;
        uint32_t size;   // bytes including this header; 0 for the placeholder at base
    };
    static const unsigned kHeader = sizeof(Block);
    static const unsigned kCapacity = 65536;
    static const unsigned kLargeRequest = 102400;   // searched from the large cursor

    ExecMemory() {}
    ~ExecMemory() {}   // the region stays mapped: thunks in it may still be called

    bool IsNull() const { return base == nullptr; }
    // Maps the region (once); false when it cannot be had. Any capacity other
    // than the process pool's 64 KiB is for exercising the allocator.
    bool Setup(unsigned size = kCapacity);
    // A block of at least size bytes (2-byte granular). Null only when the
    // pool is not set up; exhaustion shows a message box and ends the process.
    void* Allocate(unsigned size);
    bool Free(void* p);

    Block* Base() const { return base; }
    unsigned Capacity() const { return capacity; }
    unsigned Count() const { return count; }
    unsigned Total() const { return total; }
    Block* Next(const Block* b) const { return b->next ? FromLink(b->next) : nullptr; }

private:
    uint32_t ToLink(const Block* b) const;
    Block* FromLink(uint32_t link) const;
    Block* Search(Block* from, unsigned size);

    Block* base = nullptr;
    unsigned capacity = 0;
    unsigned count = 0;    // allocations since the last return of the cursors to base
    unsigned total = 0;    // bytes handed out since creation; never decreased
    Block* largeCursor = nullptr;
    Block* smallCursor = nullptr;
    IMemory::CS lock;
    HANDLE mapping = nullptr;
};

// The pool every module of this process shares (created and set up on first
// use, registered in slot 2 of the process-global block).
ExecMemory* GetExecMemory();

} // namespace zo

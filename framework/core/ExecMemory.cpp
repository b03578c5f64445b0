// The executable pool's allocator and the lookup of the one pool a process
// shares. The pool object lives in the one-way area and its region stays
// mapped until the process ends.
#include "core/ExecMemory.h"

#include <atomic>
#include <new>

#include "core/GlobalMemory.h"

namespace zo {

// Every 100 allocations the cursors go back to base, so holes freed near the
// start are reused without a free list.
static const unsigned kResetEvery = 100;

uint32_t ExecMemory::ToLink(const Block* b) const {
#if defined(__x86_64__)
    return static_cast<uint32_t>(reinterpret_cast<const char*>(b) - reinterpret_cast<char*>(base));
#else
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(b));
#endif
}

ExecMemory::Block* ExecMemory::FromLink(uint32_t link) const {
#if defined(__x86_64__)
    return reinterpret_cast<Block*>(reinterpret_cast<char*>(base) + link);
#else
    return reinterpret_cast<Block*>(static_cast<uintptr_t>(link));
#endif
}

// A thunk reaches code within 2 GiB of it with a direct jump, which costs
// less than an indirect one. On x86_64 the region therefore goes just below
// this module (whose code then lies within reach) when there is room there;
// anywhere otherwise. i686 reaches everything.
static void* MapView(HANDLE section, unsigned size) {
    const DWORD access = FILE_MAP_ALL_ACCESS | FILE_MAP_EXECUTE;
#if defined(__x86_64__)
    HMODULE module = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&MapView), &module)) {
        const uintptr_t granule = 0x10000;      // views start on 64 KiB boundaries
        const uintptr_t reach = 0x40000000;     // leaves 1 GiB for the module itself
        uintptr_t code = reinterpret_cast<uintptr_t>(module);
        uintptr_t lowest = code > reach ? code - reach : granule;
        uintptr_t at = code > size ? (code - size) & ~(granule - 1) : 0;
        while (at >= lowest) {
            MEMORY_BASIC_INFORMATION info;
            if (!VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof(info))) break;
            uintptr_t start = reinterpret_cast<uintptr_t>(info.BaseAddress);
            if (info.State == MEM_FREE && start + info.RegionSize >= at + size) {
                void* view = MapViewOfFileEx(section, access, 0, 0, size, reinterpret_cast<void*>(at));
                if (view) return view;
            }
            if (start < size + granule) break;
            at = (start - size) & ~(granule - 1);   // the next candidate lies below this region
        }
    }
#endif
    return MapViewOfFile(section, access, 0, 0, size);
}

bool ExecMemory::Setup(unsigned size) {
    IMemory::LCS hold(lock);
    if (base) return true;
    if (size < kHeader) return false;
    HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr,
                                        PAGE_EXECUTE_READWRITE | SEC_COMMIT, 0, size, nullptr);
    if (!section) return false;
    void* view = MapView(section, size);
    if (!view) {
        CloseHandle(section);
        return false;
    }
    mapping = section;
    base = static_cast<Block*>(view);
    base->prev = base->next = base->size = 0;   // the placeholder: no block at base yet
    capacity = size;
    largeCursor = smallCursor = base;
    return true;
}

// First fit, forward from `from` to the last block; free space is only the
// gap behind a block. The new block's header goes right behind `from` (or
// whichever block has room) and is linked in both ways.
ExecMemory::Block* ExecMemory::Search(Block* from, unsigned size) {
    for (Block* c = from; c; c = Next(c)) {
        char* end = reinterpret_cast<char*>(c) + c->size;
        char* limit = c->next ? reinterpret_cast<char*>(FromLink(c->next))
                              : reinterpret_cast<char*>(base) + capacity;
        if (static_cast<ptrdiff_t>(size) > limit - end - static_cast<ptrdiff_t>(kHeader)) continue;
        Block* block = reinterpret_cast<Block*>(end);
        Block* after = Next(c);
        // When c is the empty placeholder, block and c are the same header.
        block->next = c->next;
        block->prev = block == base ? 0 : ToLink(c);
        block->size = size + kHeader;
        if (block != c) c->next = ToLink(block);
        if (after) after->prev = ToLink(block);
        return block;
    }
    return nullptr;
}

void* ExecMemory::Allocate(unsigned size) {
    lock.Lock();
    if (!base) {
        lock.Unlock();
        return nullptr;
    }
    Block* block = nullptr;
    // Checked before rounding, so a size near 4 GiB cannot wrap to a small one.
    if (size <= capacity - kHeader) {
        size = (size + 1) & ~1u;
        if (count >= kResetEvery) {
            largeCursor = smallCursor = base;
            count = 0;
        }
        Block*& cursor = size < kLargeRequest ? smallCursor : largeCursor;
        block = Search(cursor, size);
        if (!block && cursor != base) {
            largeCursor = smallCursor = base;
            block = Search(base, size);
        }
        if (block) {
            cursor = block;
            total += size;
            ++count;
        }
    }
    lock.Unlock();
    // Outside the lock: the box runs a message loop, and a window procedure
    // on this thread must not find the pool half changed.
    if (!block)
        ExitWithMessage(L"预分配内存已经用尽，可能存在内存泄露，应该尽快释放不使用的内存。", L"Error");
    return reinterpret_cast<char*>(block) + kHeader;
}

bool ExecMemory::Free(void* p) {
    if (!p) return false;
    IMemory::LCS hold(lock);
    if (!base) return false;
    char* at = static_cast<char*>(p);
    char* start = reinterpret_cast<char*>(base);
    if (at < start + kHeader || at > start + capacity) return false;

    Block* block = reinterpret_cast<Block*>(at - kHeader);
    Block* after = Next(block);
    unsigned size = block->size;
    Block* before;
    if (block == base) {
        // The header at base always exists: it becomes the placeholder.
        block->prev = 0;
        block->size = 0;
        before = base;
    } else {
        before = FromLink(block->prev);
        before->next = block->next;
    }
    if (after) after->prev = ToLink(before);

    if (size < kLargeRequest) {
        smallCursor = before;
    } else {
        largeCursor = before;
        if (before < smallCursor) smallCursor = before;
    }
    // A cursor left on a header that is gone would later walk through
    // whatever payload is written over it.
    if (largeCursor == block) largeCursor = before;
    if (smallCursor == block) smallCursor = before;
    return true;
}

ExecMemory* GetExecMemory() {
    static std::atomic<ExecMemory*> shared{nullptr};
    ExecMemory* pool = shared.load(std::memory_order_acquire);
    if (pool) return pool;

    // Threads of this module meet at the critical section, modules of the
    // process at the named mutex (which a failure to open must not skip).
    static IMemory::CS moduleLock;
    IMemory::LCS hold(moduleLock);
    pool = shared.load(std::memory_order_acquire);
    if (pool) return pool;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"{5210A89B-A05B-4c06-8911-CBFFC1FB32EF}");
    if (mutex) WaitForSingleObject(mutex, INFINITE);

    static ExecMemory* own = nullptr;
    if (!own) own = new (AllocGlobal(sizeof(ExecMemory))) ExecMemory();
    static void* block = nullptr;
    if (!block) block = OpenGlobalBlock();
    if (block) {
        ExecMemory** slot = reinterpret_cast<ExecMemory**>(static_cast<char*>(block) + 8);
        if (!*slot) {
            // Set up before it is published: a module that finds the slot
            // filled may allocate at once.
            own->Setup();
            *slot = own;
        }
        pool = *slot;
    } else {
        own->Setup();
        pool = own;
    }

    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    shared.store(pool, std::memory_order_release);
    return pool;
}

} // namespace zo

// HeapTrim: gives the system back the pages of free heap blocks. A heap
// keeps a block's pages after the block is freed, and under Wine it never
// returns pages in the middle of its regions: after a flood of large,
// short-lived blocks among small long-lived ones, tens of MB of free blocks
// stay in the working set. Trimming tells the system that the inside of
// each large free block holds nothing (MEM_RESET), so the pages leave the
// working set and come back zeroed when the heap uses them again. The heap's
// own records at the edges of a block are left alone.
#pragma once
#include <cstddef>

#include "core/Win.h"

namespace zo {

class HeapTrim {
public:
    // Free blocks smaller than this are left: their pages are shared with
    // busy blocks or not worth a system call.
    static const size_t kSmallestBlock = 12 * 1024;

    // Trims every heap of the process, each while it is locked; the bytes
    // handed back. Nothing under a debugger, whose heap checks would take
    // the zeroed pages of a free block for a write after free.
    static size_t AllHeaps();

    // Called on every burst of work (datagrams handled): once quietMs pass
    // without another call, the JSON block cache and every heap are trimmed
    // on a thread of the system's pool; while calls go on, every 2 quietMs. Cheap enough to call per burst: one
    // clock read, and a timer made only when none is waiting.
    static void AfterQuiet(DWORD quietMs);

    // The page-aligned inside of a free block at [start, start + size)
    // that may be handed back, leaving at least `keep` bytes at each end for
    // the heap's records; false when there is not a page of it.
    static bool Inside(size_t start, size_t size, size_t page, size_t keep, size_t* from, size_t* to);
};

} // namespace zo

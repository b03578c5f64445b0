#include "support/HeapUse.h"

#include <vector>

#include "core/Win.h"

namespace zotest {

size_t HeapBytesInUse() {
    std::vector<HANDLE> heaps(64);
    DWORD n = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (n > heaps.size()) {
        heaps.resize(n);
        n = GetProcessHeaps(n, heaps.data());
    }
    size_t bytes = 0;
    for (DWORD i = 0; i < n && i < heaps.size(); ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY e = {};
        while (HeapWalk(heaps[i], &e))
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += e.cbData + e.cbOverhead;
        HeapUnlock(heaps[i]);
    }
    return bytes;
}

} // namespace zotest

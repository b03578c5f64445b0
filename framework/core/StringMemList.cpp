// StringMemList grows its block to twice what is needed, so a run of Adds
// reallocates rarely; every index pointer follows the block when it moves.
#include "core/StringMemList.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace zo {

StringMemList::~StringMemList() { free(block); }

bool StringMemList::GrowBlock(unsigned needed) {
    if (needed <= cubage) return true;
    unsigned long long units = 2ull * needed;
    if (units * sizeof(wchar_t) > 0x7FFFFFFFull) return false;
    // The old address is kept as a number: the old block no longer exists.
    uintptr_t old = reinterpret_cast<uintptr_t>(block);
    size_t bytes = static_cast<size_t>(units) * sizeof(wchar_t);
    wchar_t* p = static_cast<wchar_t*>(realloc(block, bytes));
    if (!p) return false;
    block = p;
    cubage = static_cast<unsigned>(units);
    if (reinterpret_cast<uintptr_t>(p) != old) {
        uintptr_t delta = reinterpret_cast<uintptr_t>(p) - old;
        for (unsigned i = 0; i < index.count; ++i) {
            uintptr_t at = reinterpret_cast<uintptr_t>(index[i]);
            if (at) index[i] = reinterpret_cast<wchar_t*>(at + delta);
        }
    }
    return true;
}

bool StringMemList::Add(const wchar_t* text, unsigned pos) {
    if (!text) return false;
    size_t len = wcslen(text);
    if (len > UINT_MAX - 1 - length) return false;
    unsigned n = static_cast<unsigned>(len);
    unsigned needed = length + n + 1;

    // A text taken from this very block would move under the copy below.
    wchar_t* copy = nullptr;
    uintptr_t at = reinterpret_cast<uintptr_t>(text);
    uintptr_t first = reinterpret_cast<uintptr_t>(block);
    if (block && at >= first && at < first + cubage * sizeof(wchar_t)) {
        copy = static_cast<wchar_t*>(malloc((n + 1) * sizeof(wchar_t)));
        if (!copy) return false;
        memcpy(copy, text, (n + 1) * sizeof(wchar_t));
        text = copy;
    }

    // The index slot is taken first, so a failure leaves the block untouched.
    unsigned slot = index.Add(nullptr, pos);
    bool ok = slot != NPOS;
    if (ok && !GrowBlock(needed)) {
        index.Delete(slot, 1);
        ok = false;
    }
    if (ok) {
        wchar_t* dest = block + length;
        if (slot + 1 < index.count) {
            dest = index[slot + 1];
            memmove(dest + n + 1, dest, (block + length - dest) * sizeof(wchar_t));
            for (unsigned i = slot + 1; i < index.count; ++i) index[i] += n + 1;
        }
        memcpy(dest, text, (n + 1) * sizeof(wchar_t));
        index[slot] = dest;
        length = needed;
    }
    free(copy);
    return ok;
}

} // namespace zo

// JsonHeap: where the JSON tree's small records (values, members, list
// headers, short strings) live. Every block is an ordinary block of the C
// runtime heap; a freed block goes to a cache first, so a tree built after
// another reuses its blocks instead of paying the heap for each one. Under
// Wine that payment is mostly page faults: the heap decommits the pages a
// large tree gave back, and the next tree faults each of them in again,
// which costs more than reading the text. The cache is bounded and owned by
// the process.
#pragma once
#include <cstddef>

namespace zo {

class JsonHeap {
public:
    // Bytes the cache may hold at most: several of the largest trees a
    // datagram can make (under 1 MB each).
    static constexpr size_t kMaxCached = 8 * 1024 * 1024;
    // Blocks above this size bypass the cache; below it sizes go up in
    // steps of kGrain.
    static constexpr size_t kLargestCached = 256;
    static constexpr size_t kGrain = 16;

    // The bytes a block from Take(size) really has.
    static constexpr size_t Room(size_t size) {
        return size > kLargestCached ? size : size ? (size + kGrain - 1) / kGrain * kGrain : kGrain;
    }

    // A block of at least size bytes; null when memory runs out.
    static void* Take(size_t size);
    // Frees a block that Take(size) gave, on any thread.
    static void Give(void* block, size_t size);
    // Frees any C heap block of at least size bytes, wherever it came from
    // (a list's array that realloc moved, say): it joins the cache where
    // its size serves every request.
    static void Recycle(void* block, size_t size);

    // The same for records whose type does not tell their size: the size
    // is kept in front of the block.
    static void* TakeSized(size_t size);
    static void GiveSized(void* block);

    // Bytes the cache holds now (0 while another thread uses it).
    static size_t CachedBytes();
    // Gives every cached block back to the heap (none while another
    // thread uses the cache).
    static void Trim();
};

} // namespace zo

// The heap memory this process really holds: every busy block of every heap
// of the process, walked block by block. Tests use it to check what a
// structure costs, rather than trusting the structure's own estimate.
#pragma once
#include <cstddef>

namespace zotest {

// Bytes in busy blocks of all the process's heaps, their overhead included.
size_t HeapBytesInUse();

} // namespace zotest

// The datagrams of udp_burst: each carries its sequence number and its own
// length, then a pattern derived from both, so a receiver can check order,
// size and every byte. Shared by the sender, the burst tests and the bench.
#pragma once
#include <cstdint>
#include <cstring>

namespace burst {

const int HeaderSize = 8;

// Size of datagram seq in a burst of varied sizes: mostly small and
// report-sized, some near the Ethernet payload, now and then a large one.
inline int VariedSize(uint32_t seq) {
    uint32_t h = seq * 2654435761u;
    if (seq % 97 == 0) return 8000 + int(h % 24000);
    return HeaderSize + int(h % 1465);   // up to 1472, a full Ethernet frame
}

inline uint8_t PatternByte(uint32_t seq, int i) { return uint8_t(seq * 13 + uint32_t(i) * 7); }

// Fills out[0..size) (size >= HeaderSize) for datagram seq.
inline void Fill(char* out, uint32_t seq, int size) {
    uint32_t n = uint32_t(size);
    memcpy(out, &seq, 4);
    memcpy(out + 4, &n, 4);
    for (int i = HeaderSize; i < size; ++i) out[i] = char(PatternByte(seq, i));
}

// The sequence number of a well-formed datagram of this size, or -1.
inline long long Check(const char* data, int size) {
    if (size < HeaderSize) return -1;
    uint32_t seq, n;
    memcpy(&seq, data, 4);
    memcpy(&n, data + 4, 4);
    if (n != uint32_t(size)) return -1;
    for (int i = HeaderSize; i < size; ++i)
        if (uint8_t(data[i]) != PatternByte(seq, i)) return -1;
    return seq;
}

} // namespace burst

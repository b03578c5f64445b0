// Layout arithmetic. Integer sums wrap at 32 bits like the window values they
// feed; float steps are rounded to single precision one by one.
#include "window/LayoutSplit.h"

#include <cmath>
#include <cstdint>

namespace zo {

namespace {

// The x87 unit of the 32-bit build keeps floats in wider registers; a store
// forces the single-precision rounding that the 64-bit build gets from SSE,
// so both builds place the same edges.
inline float Single(float v) {
#if defined(__i386__) && !defined(__SSE2_MATH__)
    volatile float stored = v;
    return stored;
#else
    return v;
#endif
}

inline int Wrap(long long v) {
    return static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

} // namespace

LayoutScale LayoutScale::ForDpi(int dpi) {
    if (dpi <= 0) dpi = 96;
    int a = 96, b = dpi;
    while (b) {
        int r = a % b;
        a = b;
        b = r;
    }
    return LayoutScale{96 / a, dpi / a};
}

int LayoutScale::Pixels(int units) const {
    long long twice = 2LL * units + pixel, step = 2LL * pixel;
    long long q = twice / step;
    if (twice % step != 0 && twice < 0) --q;   // floor, also left of the origin
    return static_cast<int>(q);
}

int TruncateEdge(float edge) {
    if (std::isnan(edge)) return 0;
    if (edge >= 2147483647.0f) return 2147483647;
    if (edge <= -2147483648.0f) return -2147483647 - 1;
    return static_cast<int>(edge);
}

void LayoutSplit::Measure(int marginBefore, int fixed, int marginAfter, float weight) {
    fixedSum = Wrap(static_cast<long long>(fixedSum) + marginBefore + fixed + marginAfter);
    totalWeight = Single(totalWeight + weight);
}

void LayoutSplit::Begin(int start, int length) {
    rest = Wrap(static_cast<long long>(length) - fixedSum);
    noWeight = std::fabs(totalWeight) < kNoWeight;
    cursor = Single(static_cast<float>(start));
}

LayoutSpan LayoutSplit::Place(int marginBefore, int fixed, int marginAfter, float weight) {
    float length;
    if (noWeight) {
        length = Single(static_cast<float>(fixed));
    } else {
        float share = Single(Single(static_cast<float>(rest) * weight) / totalWeight);
        length = Single(share + static_cast<float>(fixed));
    }
    float first = Single(cursor + static_cast<float>(marginBefore));
    float last = Single(first + length);
    cursor = Single(last + static_cast<float>(marginAfter));
    int a = TruncateEdge(first);
    return LayoutSpan{a, Wrap(static_cast<long long>(TruncateEdge(last)) - a)};
}

LayoutSpan LayoutSplit::Across(int start, int length, int marginBefore, int marginAfter) {
    return LayoutSpan{Wrap(static_cast<long long>(start) + marginBefore),
                      Wrap(static_cast<long long>(length) - marginBefore - marginAfter)};
}

} // namespace zo

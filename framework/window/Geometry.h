// Plain value records for window geometry: Twin16 is the packed pair that
// window messages carry in one 32-bit word (first value in the low half),
// Twin32 a point or size of full ints, Rect32 a rectangle laid out as RECT.
#pragma once
#include <cstdint>

#include "core/Win.h"

namespace zo {

// Two signed 16-bit values; for a size, x is the width and y the height.
struct Twin16 {
    int16_t x = 0;
    int16_t y = 0;

    Twin16() {}
    Twin16(int ax, int ay) : x(static_cast<int16_t>(ax)), y(static_cast<int16_t>(ay)) {}

    // The low 32 bits of a message parameter, as WM_SIZE and WM_MOVE pack them.
    static Twin16 FromParam(uintptr_t packed) {
        Twin16 t;
        t.x = static_cast<int16_t>(packed & 0xFFFF);
        t.y = static_cast<int16_t>((packed >> 16) & 0xFFFF);
        return t;
    }
    uint32_t Packed() const {
        return static_cast<uint16_t>(x) | (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16);
    }
    bool operator==(const Twin16& o) const { return x == o.x && y == o.y; }
    bool operator!=(const Twin16& o) const { return !(*this == o); }
};
static_assert(sizeof(Twin16) == 4, "Twin16 travels in one 32-bit word");

// Two signed 32-bit values: a point (x, y) or a size (width, height).
struct Twin32 {
    int32_t x = 0;
    int32_t y = 0;

    Twin32() {}
    Twin32(int32_t ax, int32_t ay) : x(ax), y(ay) {}
    bool operator==(const Twin32& o) const { return x == o.x && y == o.y; }
    bool operator!=(const Twin32& o) const { return !(*this == o); }
};

// A rectangle of 32-bit edges with RECT's field order, so the two convert freely.
struct Rect32 {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    Rect32() {}
    Rect32(int32_t l, int32_t t, int32_t r, int32_t b) : left(l), top(t), right(r), bottom(b) {}
    Rect32(const RECT& r) : left(r.left), top(r.top), right(r.right), bottom(r.bottom) {}

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    RECT ToRECT() const {
        RECT r = {left, top, right, bottom};
        return r;
    }
    RECT* AsRECT() { return reinterpret_cast<RECT*>(this); }
    bool operator==(const Rect32& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const Rect32& o) const { return !(*this == o); }
};
static_assert(sizeof(Rect32) == sizeof(RECT), "Rect32 shares RECT's layout");

} // namespace zo

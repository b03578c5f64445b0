// A device context on a bitmap of its own, for drawing and colour answers
// that a test reads back; everything is released on destruction.
#pragma once
#include "core/Win.h"

namespace zotest {

class MemoryCanvas {
public:
    MemoryCanvas(int width, int height);
    ~MemoryCanvas();
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;

    HDC Dc() const { return dc_; }
    WPARAM Param() const { return reinterpret_cast<WPARAM>(dc_); }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

} // namespace zotest

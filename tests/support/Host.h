// Hosts for GUI tests: a top-level frame for child windows, and a memory
// bitmap that drawing and colour answers can go to. Both are owned by the test.
#pragma once
#include "core/Win.h"
#include "window/Frame.h"

namespace zotest {

// Creates f as a pop-up at (0, 0) with the given size and shows it without
// activation: without a window manager the system waits two seconds for one
// whenever it hides a window it would have handed to it (captioned or
// activated ones). False when the window cannot be made.
bool ShowHost(zo::Frame& f, int width, int height);

// A device context on a bitmap of its own; everything is released on
// destruction.
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

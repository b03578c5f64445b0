// Reading back what a window shows: its client area as 32-bit pixels, and as
// a BMP file for a person to look at (tests, and the main window later).
#pragma once
#include <vector>

#include "core/Win.h"

namespace zotest {

// The client area as it is on screen now, one COLORREF per pixel, rows top
// to bottom. False when the window or the copy fails.
struct ClientImage {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
bool CaptureClient(HWND window, ClientImage& image);

// Saves the client area as a 24-bit BMP file.
bool SaveClientBmp(HWND window, const wchar_t* path);

} // namespace zotest

#include "support/WindowImage.h"

#include <cstdio>

namespace zotest {

bool CaptureClient(HWND window, ClientImage& image) {
    RECT r;
    if (!GetClientRect(window, &r) || r.right <= 0 || r.bottom <= 0) return false;
    int w = r.right, h = r.bottom;
    HDC src = GetDC(window);
    if (!src) return false;
    HDC mem = CreateCompatibleDC(src);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;   // top-down rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (dib) {
        HGDIOBJ old = SelectObject(mem, dib);
        ok = BitBlt(mem, 0, 0, w, h, src, 0, 0, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(mem, old);
        if (ok) {
            image.width = w;
            image.height = h;
            image.pixels.resize(static_cast<size_t>(w) * h);
            const unsigned char* p = static_cast<const unsigned char*>(bits);
            for (size_t i = 0; i < image.pixels.size(); ++i)   // the DIB holds B, G, R, unused
                image.pixels[i] = RGB(p[i * 4 + 2], p[i * 4 + 1], p[i * 4]);
        }
        DeleteObject(dib);
    }
    DeleteDC(mem);
    ReleaseDC(window, src);
    return ok;
}

bool SaveClientBmp(HWND window, const wchar_t* path) {
    ClientImage image;
    if (!CaptureClient(window, image)) return false;
    int stride = (image.width * 3 + 3) & ~3;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    ih.biSize = sizeof(ih);
    ih.biWidth = image.width;
    ih.biHeight = image.height;   // bottom-up rows, as viewers expect
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = static_cast<DWORD>(stride) * image.height;
    fh.bfType = 0x4D42;   // "BM"
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    FILE* f = _wfopen(path, L"wb");
    if (!f) return false;
    bool ok = fwrite(&fh, sizeof(fh), 1, f) == 1 && fwrite(&ih, sizeof(ih), 1, f) == 1;
    std::vector<unsigned char> row(static_cast<size_t>(stride), 0);
    for (int y = image.height - 1; ok && y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            COLORREF c = image.At(x, y);
            row[x * 3] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
        ok = fwrite(row.data(), row.size(), 1, f) == 1;
    }
    return fclose(f) == 0 && ok;
}

} // namespace zotest

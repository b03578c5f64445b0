// Views painting on real windows, read back as pixels: off-screen painting,
// the background fill and its "no fill" colours, dropped files, the release
// kinds of device contexts and the client-area image helper.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/Host.h"
#include "support/MemoryCanvas.h"
#include "support/Pump.h"
#include "support/WindowImage.h"
#include "window/Frame.h"

#include <shlobj.h>   // DROPFILES, after the framework's own Windows headers

namespace {

using zo::DC;
using zo::View;

const COLORREF kGreen = RGB(20, 200, 40);
const COLORREF kRed = RGB(220, 10, 10);
const COLORREF kBlue = RGB(10, 30, 230);

struct Painter {
    std::vector<std::string> log;
    COLORREF fill = kRed;
    RECT area = {20, 20, 60, 50};
    uintptr_t lastKind = 0;
    HDC lastDC = nullptr;

    void Paint(DC* dc, View*) { Draw("paint", dc); }
    void Buffered(DC* dc, View*) { Draw("buffered", dc); }
    void Erase(HDC dc, View*) {
        log.push_back("erase");
        lastDC = dc;
    }
    void Draw(const char* how, DC* dc) {
        log.push_back(how);
        lastKind = dc->ReleaseKind();
        lastDC = dc->Handle();
        HBRUSH b = CreateSolidBrush(fill);
        FillRect(*dc, &area, b);
        DeleteObject(b);
    }
};

class PaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(zotest::ShowHost(frame, 400, 300));
        view.createInfo->x = 10;
        view.createInfo->y = 10;
        view.createInfo->width = 200;
        view.createInfo->height = 100;
    }
    void TearDown() override { zotest::PumpMessages(); }

    // Paints the view now and reads its client area back.
    zotest::ClientImage Repaint() {
        InvalidateRect(view, nullptr, TRUE);
        UpdateWindow(view);
        zotest::ClientImage image;
        EXPECT_TRUE(zotest::CaptureClient(view, image));
        return image;
    }

    zo::Frame frame;
    View view;
    Painter painter;
};

TEST_F(PaintTest, BufferedPaintFillsBackColorAndCopiesTheImage) {
    view.backColor = kGreen;
    view.bufferedPaintEvent.Add(&painter, &Painter::Buffered);
    view.paintEvent.Add(&painter, &Painter::Paint);   // unused while buffered
    view.eraseEvent.Add(&painter, &Painter::Erase);
    ASSERT_TRUE(view.Create(frame));
    zotest::ClientImage image = Repaint();
    ASSERT_EQ(200, image.width);
    EXPECT_EQ(kGreen, image.At(5, 5));
    EXPECT_EQ(kRed, image.At(20, 20));
    EXPECT_EQ(kRed, image.At(59, 49));
    EXPECT_EQ(kGreen, image.At(60, 50));
    EXPECT_EQ(kGreen, image.At(199, 99));
    ASSERT_FALSE(painter.log.empty());
    for (const std::string& s : painter.log) EXPECT_EQ("buffered", s) << "neither the direct paint nor the erase runs";
    EXPECT_EQ(DC::kCreated, painter.lastKind);
    EXPECT_EQ(0, GetObjectType(painter.lastDC)) << "the off-screen context is deleted after the paint";

    // The background is left to the default procedure, which erases nothing.
    zotest::MemoryCanvas canvas(4, 4);
    SetPixel(canvas.Dc(), 1, 1, kBlue);
    EXPECT_EQ(0, SendMessageW(view, WM_ERASEBKGND, canvas.Param(), 0));
    EXPECT_EQ(kBlue, GetPixel(canvas.Dc(), 1, 1));
}

TEST_F(PaintTest, BufferedPaintCopiesOnlyTheClipBoxToTheSamePlace) {
    view.backColor = kGreen;
    view.bufferedPaintEvent.Add(&painter, &Painter::Buffered);
    ASSERT_TRUE(view.Create(frame));
    Repaint();
    painter.fill = kBlue;
    painter.area = {0, 0, 200, 100};   // the whole image turns blue ...
    RECT part = {100, 40, 150, 80};    // ... but only this part is invalid
    InvalidateRect(view, &part, FALSE);
    UpdateWindow(view);
    zotest::ClientImage image;
    ASSERT_TRUE(zotest::CaptureClient(view, image));
    EXPECT_EQ(kBlue, image.At(100, 40));
    EXPECT_EQ(kBlue, image.At(149, 79));
    EXPECT_EQ(kGreen, image.At(99, 40));
    EXPECT_EQ(kGreen, image.At(150, 79));
    EXPECT_EQ(kGreen, image.At(120, 80));
    EXPECT_EQ(kRed, image.At(30, 30)) << "outside the clip box the old paint stays";
}

TEST_F(PaintTest, DirectPaintErasesWithBackColor) {
    view.backColor = kBlue;
    view.paintEvent.Add(&painter, &Painter::Paint);
    ASSERT_TRUE(view.Create(frame));
    zotest::ClientImage image = Repaint();
    EXPECT_EQ(kBlue, image.At(0, 0));
    EXPECT_EQ(kBlue, image.At(199, 99));
    EXPECT_EQ(kRed, image.At(40, 40));
    EXPECT_EQ(DC::kBorrowed, painter.lastKind);

    HDC dc = GetDC(view);
    EXPECT_EQ(1, SendMessageW(view, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0));
    ReleaseDC(view, dc);
}

TEST_F(PaintTest, EraseFillsBackColorUnlessItsTopByteIsSetOrACallbackErases) {
    ASSERT_TRUE(view.Create(frame));
    zotest::MemoryCanvas canvas(4, 4);
    HDC mem = canvas.Dc();
    SetPixel(mem, 2, 2, kRed);
    for (COLORREF top : {0xFF000000u, 0x80000000u, 0x01000000u}) {   // any bit of the top byte
        view.backColor = top | kGreen;
        EXPECT_EQ(1, SendMessageW(view, WM_ERASEBKGND, canvas.Param(), 0)) << std::hex << top;
        EXPECT_EQ(kRed, GetPixel(mem, 2, 2)) << std::hex << top;
    }
    view.backColor = kGreen;
    EXPECT_EQ(1, SendMessageW(view, WM_ERASEBKGND, canvas.Param(), 0));
    EXPECT_EQ(kGreen, GetPixel(mem, 2, 2));

    SetPixel(mem, 2, 2, kRed);
    view.eraseEvent.Add(&painter, &Painter::Erase);
    EXPECT_EQ(1, SendMessageW(view, WM_ERASEBKGND, canvas.Param(), 0));
    EXPECT_EQ(kRed, GetPixel(mem, 2, 2)) << "the callback erases instead";
    EXPECT_EQ(mem, painter.lastDC);
}

// A drop handle as the shell makes it: DROPFILES, then the wide paths, each
// with its terminator, and one more terminator.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    size_t chars = 1;
    for (const std::wstring& p : paths) chars += p.size() + 1;
    HGLOBAL g = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    DROPFILES* df = static_cast<DROPFILES*>(GlobalLock(g));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    wchar_t* out = reinterpret_cast<wchar_t*>(df + 1);
    for (const std::wstring& p : paths) {
        std::copy(p.begin(), p.end(), out);
        out += p.size() + 1;
    }
    GlobalUnlock(g);
    return static_cast<HDROP>(g);
}

struct DropProbe {
    int calls = 0;
    std::vector<std::wstring> paths;
    void OnDrop(zo::StringMemList* files, View*) {
        ++calls;
        for (unsigned i = 0; i < files->Count(); ++i) paths.push_back(files->Element(i));
    }
};

TEST_F(PaintTest, DroppedFilesArriveInDropOrder) {
    view.createInfo->exStyle |= WS_EX_ACCEPTFILES;
    ASSERT_TRUE(view.Create(frame));
    std::vector<std::wstring> paths = {L"C:\\data\\模块.json", L"Z:\\tmp\\a b.txt",
                                       L"C:\\" + std::wstring(300, L'x') + L"\\long.bin"};

    // Nobody listening: the handle is left alone for whoever handles it.
    HDROP unheard = MakeDrop(paths);
    SendMessageW(view, WM_DROPFILES, reinterpret_cast<WPARAM>(unheard), 0);
    EXPECT_EQ(3u, DragQueryFileW(unheard, 0xFFFFFFFF, nullptr, 0));
    DragFinish(unheard);

    DropProbe probe;
    view.dropFilesEvent.Add(&probe, &DropProbe::OnDrop);
    SendMessageW(view, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
    EXPECT_EQ(1, probe.calls);
    EXPECT_EQ(paths, probe.paths) << "a path past MAX_PATH arrives whole";
}

TEST(DCRelease, EachKindIsGivenBackItsOwnWay) {
    HDC created = CreateCompatibleDC(nullptr);
    {
        DC dc(created, DC::kCreated);
        EXPECT_EQ(created, dc.Handle());
    }
    EXPECT_EQ(0, GetObjectType(created)) << "a created context is deleted";

    HDC borrowed = CreateCompatibleDC(nullptr);
    DC dc(borrowed, DC::kBorrowed);
    dc.Release();
    EXPECT_EQ(nullptr, dc.Handle());
    EXPECT_EQ(DC::kNone, dc.ReleaseKind());
    EXPECT_EQ(static_cast<DWORD>(OBJ_MEMDC), GetObjectType(borrowed)) << "a borrowed one is left alive";
    DeleteDC(borrowed);

    HWND w = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(dc.FromWindow(w));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(w), dc.ReleaseKind());
    dc.Attach(nullptr, DC::kNone);   // releases the window's context first
    EXPECT_EQ(DC::kNone, dc.ReleaseKind());
    EXPECT_FALSE(dc.FromWindow(nullptr)) << "the screen has no window to give it back to";
    DestroyWindow(w);
}

TEST_F(PaintTest, ClientAreaSavesAsABitmapFile) {
    view.backColor = kGreen;
    view.paintEvent.Add(&painter, &Painter::Paint);
    ASSERT_TRUE(view.Create(frame));
    Repaint();
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"img", 0, path);
    ASSERT_TRUE(zotest::SaveClientBmp(view, path));

    FILE* f = _wfopen(path, L"rb");
    ASSERT_TRUE(f);
    std::vector<unsigned char> bytes(1 << 17);   // room for twice the expected size
    bytes.resize(fread(bytes.data(), 1, bytes.size(), f));
    fclose(f);
    DeleteFileW(path);

    const int stride = (200 * 3 + 3) & ~3;
    ASSERT_EQ(54u + stride * 100, bytes.size());
    EXPECT_EQ('B', bytes[0]);
    EXPECT_EQ('M', bytes[1]);
    // Rows are stored bottom-up: the top-left pixel (background) is in the
    // last row, the pixel at (40, 40) (painted red) in row 99 - 40.
    auto pixel = [&](int x, int y) {
        size_t at = 54 + static_cast<size_t>(99 - y) * stride + x * 3;
        return RGB(bytes[at + 2], bytes[at + 1], bytes[at]);
    };
    EXPECT_EQ(kGreen, pixel(0, 0));
    EXPECT_EQ(kRed, pixel(40, 40));
}

} // namespace

// Font records and the process's default font.
#include "window/Font.h"

#include <atomic>
#include <new>

#include "core/GlobalMemory.h"
#include "window/Dpi.h"

namespace zo {

Font::Font() {
    if (!logFont.New()) return;
    LOGFONTW* lf = logFont.Get();   // zeroed by New
    lf->lfHeight = 12;
    lf->lfWeight = FW_NORMAL;
    lf->lfCharSet = DEFAULT_CHARSET;
}

Font::~Font() {
    if (handle) DeleteObject(handle);
}

void Font::SetSize(int height) {
    if (LOGFONTW* lf = logFont.Get()) lf->lfHeight = height;
}

void Font::SetName(const wchar_t* text) {
    LOGFONTW* lf = logFont.Get();
    if (!text || !lf) return;
    // The terminator is copied too when it comes within the limit; a longer
    // name leaves the last place of the record as it was.
    for (unsigned i = 0; i < kMaxName; ++i) {
        lf->lfFaceName[i] = text[i];
        if (text[i] == 0) break;
    }
}

void Font::SetLogFont(const LOGFONTW* record) {
    if (LOGFONTW* lf = logFont.Get()) {
        if (record) *lf = *record;
    }
}

bool Font::GetLogFont() {
    LOGFONTW* lf = logFont.Get();
    if (!handle || !lf) return false;
    return GetObjectW(handle, sizeof(LOGFONTW), lf) == sizeof(LOGFONTW);
}

bool Font::Realize(int atDpi) {
    HFONT made = nullptr;
    if (const LOGFONTW* lf = logFont.Get()) {
        // A record copied in whole may lack the face name's terminator.
        LOGFONTW record = *lf;
        record.lfFaceName[LF_FACESIZE - 1] = 0;
        record.lfHeight = ScaleToDpi(record.lfHeight, atDpi);
        record.lfWidth = ScaleToDpi(record.lfWidth, atDpi);
        made = CreateFontIndirectW(&record);
    }
    if (handle) DeleteObject(handle);
    handle = made;
    dpi = atDpi;
    return true;
}

namespace {

struct FontSwap {
    HFONT from, to;
};

BOOL CALLBACK SwapFont(HWND window, LPARAM swap) {
    const FontSwap* s = reinterpret_cast<const FontSwap*>(swap);
    if (reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)) == s->from)
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(s->to), TRUE);
    return TRUE;
}

} // namespace

void Font::Rescale(int atDpi, HWND parent, bool remade) {
    if (atDpi == dpi && !remade && handle) return;
    HFONT old = handle;
    // The old font stays alive until no window inside parent shows it.
    handle = nullptr;
    Realize(atDpi);
    FontSwap swap = {old, handle};
    if (old && parent) EnumChildWindows(parent, SwapFont, reinterpret_cast<LPARAM>(&swap));
    if (old) DeleteObject(old);
}

namespace {

std::atomic<Font*> defaultFont{nullptr};

} // namespace

Font* GetDefaultFont() {
    Font* font = defaultFont.load(std::memory_order_acquire);
    if (font) return font;
    // A named mutex needs no static initialisation, so the first call may
    // come from any thread at any time.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"{61771393-873D-4d52-AC49-8CD9A6DFAE3F}");
    if (mutex) WaitForSingleObject(mutex, INFINITE);
    font = defaultFont.load(std::memory_order_acquire);
    if (!font) {
        font = new (AllocGlobal(sizeof(Font))) Font();
        if (!font->Handle()) font->Realize();
        defaultFont.store(font, std::memory_order_release);
    }
    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    return font;
}

} // namespace zo

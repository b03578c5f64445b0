// View: class registration and creation, painting (direct and off-screen),
// background erase and dropped files.
#include "window/View.h"

#include <cstring>

#include "core/Memory.h"
#include "core/Print.h"
#include "window/Dpi.h"
#include "window/Font.h"

namespace zo {

// Framework class names: "Form.View.<class procedure address>.<class style>",
// both in upper-case hexadecimal. The procedure's address keeps two modules
// of one process from sharing a class (and so a per-thread creation slot).
static void AppendHex(String& s, unsigned long long v) {
    wchar_t digits[17];
    int n = 0;
    do {
        digits[n++] = L"0123456789ABCDEF"[v & 15];
        v >>= 4;
    } while (v);
    wchar_t text[17];
    for (int i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
    text[n] = 0;
    s += text;
}

static void RegisterWindowClass(CreateStruct* info, unsigned classStyle) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = classStyle;
    wc.lpfnWndProc = ClassWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = info->className.Handle();
    // Failure is not reported: an existing class of that name stays usable,
    // and a missing one makes the creation fail, which is reported there.
    RegisterClassExW(&wc);
}

View::View() {
    cursor = LoadCursorW(nullptr, IDC_ARROW);
    createInfo->style |= WS_CHILD;
    AddMessageHandler(WM_PAINT, WM_PAINT, this, &View::OnPaint);
    AddMessageHandler(WM_ERASEBKGND, WM_ERASEBKGND, this, &View::OnEraseBkgnd);
    AddMessageHandler(WM_DROPFILES, WM_DROPFILES, this, &View::OnDropFiles);
    // Before any other creation handler: they may depend on the DPI.
    createEvent.Add(this, &View::OnCreateDpi);
    AddMessageHandler(kDpiChanged, kDpiChanged, this, &View::OnDpiChanged);
    AddMessageHandler(kDpiChangedAfterParent, kDpiChangedAfterParent, this, &View::OnDpiChanged);
    AddMessageHandler(WM_GETCONTROLFONT, WM_GETCONTROLFONT, this, &View::OnGetControlFont);
}

HFONT View::ControlFont() {
    const Font* base = GetDefaultFont();
    const LOGFONTW* want = base ? base->LogFont() : nullptr;
    const LOGFONTW* have = controlFont.LogFont();
    if (!want || !have) return base ? base->Handle() : nullptr;
    if (!controlFont.Handle() || controlFont.Dpi() != dpi || memcmp(want, have, sizeof(LOGFONTW)) != 0)
        RemakeControlFont(dpi);
    return controlFont.Handle();
}

void View::RemakeControlFont(int atDpi) {
    const Font* base = GetDefaultFont();
    if (base) controlFont.SetLogFont(base->LogFont());
    controlFont.Rescale(atDpi, handle, true);
}

void View::OnGetControlFont(Message* m, IWnd*) {
    // A child view's controls take their top-level window's font.
    if (GetWindowLongW(m->hwnd, GWL_STYLE) & WS_CHILD) return;
    m->result = reinterpret_cast<LRESULT>(ControlFont());
    m->flags |= Message::handled;
}

void View::OnCreateDpi(IWnd*) {
    dpi = WindowDpi(handle);
    dpiEvent.Call(dpi, this);
}

void View::OnDpiChanged(Message* m, IWnd*) {
    // A top-level window is told its new DPI; a child asks for it.
    int now = m->message == kDpiChanged ? LOWORD(m->wParam) : WindowDpi(m->hwnd);
    if (now <= 0) return;
    dpi = now;
    // Only a top-level view owns a font; one never asked has none to remake.
    if (controlFont.Handle()) RemakeControlFont(dpi);
    dpiEvent.Call(dpi, this);
    if (m->message == kDpiChanged && m->lParam) {
        const RECT* r = reinterpret_cast<const RECT*>(m->lParam);
        SetWindowPos(m->hwnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    m->result = 0;
    m->flags |= Message::handled;
}

View::~View() {
    // Destroyed here, not in IWnd, so the window's last messages never reach
    // handlers of this part after its events are gone.
    if (handle) DestroyWindow(handle);
}

HWND View::Create(HWND parent) {
    if (handle) return nullptr;
    CreateStruct* cs = createInfo.Get();
    if (cs->className.IsNull()) {
        cs->className = L"Form.View.";
        AppendHex(cs->className, reinterpret_cast<uintptr_t>(&ClassWindowProc));
        cs->className += L".";
        AppendHex(cs->className, cs->classStyle);
        RegisterWindowClass(cs, cs->classStyle);
    }
    SetCreatingWindow(this);
    HWND h = CreateWindowExW(cs->exStyle, cs->className.Handle(), cs->title.Handle(), cs->style, cs->x,
                             cs->y, cs->width, cs->height, parent, cs->menu, GetModuleHandleW(nullptr), this);
    DWORD error = GetLastError();
    // A creation that failed before its first message must not leave this
    // object waiting for the next framework window of the thread.
    SetCreatingWindow(nullptr);
    if (!h) {
        SetLastError(error);
        Warning(L"View.Create");
        return nullptr;
    }
    handle = h;
    return h;
}

void FillBackground(HDC dc, const RECT& r, COLORREF color) {
    if (color & 0xFF000000) return;
    SetDCBrushColor(dc, color);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void View::OnPaint(Message* m, IWnd*) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(m->hwnd, &ps);
    {
        DC dc(hdc, DC::kBorrowed);
        if (bufferedPaintEvent.Count())
            PaintBuffered(dc);
        else
            paintEvent.Call(&dc, this);
    }
    EndPaint(m->hwnd, &ps);
    m->result = 0;
    m->flags |= Message::handled;
}

void View::PaintBuffered(DC& target) {
    RECT client, clip;
    GetClientRect(handle, &client);
    GetClipBox(target, &clip);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right - client.left, client.bottom - client.top);
    ReleaseDC(nullptr, screen);

    DC mem(CreateCompatibleDC(nullptr), DC::kCreated);
    HGDIOBJ previous = nullptr;
    if (mem.Handle()) {
        previous = SelectObject(mem, bitmap);
        FillBackground(mem, clip, backColor);
    }
    bufferedPaintEvent.Call(&mem, this);
    if (mem.Handle()) {
        BitBlt(target, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, mem, clip.left,
               clip.top, SRCCOPY);
        SelectObject(mem, previous);
    }
    mem.Release();
    if (bitmap) DeleteObject(bitmap);
}

void View::OnEraseBkgnd(Message* m, IWnd*) {
    // Off-screen painting covers everything; the class has no brush, so
    // leaving the message to the default procedure erases nothing.
    if (bufferedPaintEvent.Count()) return;
    HDC dc = reinterpret_cast<HDC>(m->wParam);
    if (eraseEvent.Count()) {
        eraseEvent.Call(dc, this);
    } else {
        RECT clip;
        GetClipBox(dc, &clip);
        FillBackground(dc, clip, backColor);
    }
    m->result = 1;
    m->flags |= Message::handled;
}

void View::OnDropFiles(Message* m, IWnd*) {
    if (!dropFilesEvent.Count()) return;
    HDROP drop = reinterpret_cast<HDROP>(m->wParam);
    // The shell's library is loaded when files are dropped, not at every
    // start of a program: it and what it pulls in take several ms to load.
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    using QueryFn = UINT(WINAPI*)(HDROP, UINT, LPWSTR, UINT);
    using FinishFn = void(WINAPI*)(HDROP);
    QueryFn queryFile =
        shell ? reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(shell, "DragQueryFileW"))) : nullptr;
    FinishFn finish =
        shell ? reinterpret_cast<FinishFn>(reinterpret_cast<void*>(GetProcAddress(shell, "DragFinish"))) : nullptr;
    if (!queryFile || !finish) {
        if (shell) FreeLibrary(shell);
        return;
    }
    StringMemList files;
    Memory<wchar_t> path;
    UINT n = queryFile(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < n; ++i) {
        // Paths may be longer than MAX_PATH; the buffer follows each one.
        UINT len = queryFile(drop, i, nullptr, 0);
        if (len < MAX_PATH) len = MAX_PATH;
        if (path.Length() < len + 1 && !path.SetLength(len + 1)) continue;
        UINT got = queryFile(drop, i, path.data, len + 1);
        path.data[got < len ? got : len] = 0;
        files.Add(path.data, NPOS);
    }
    finish(drop);
    FreeLibrary(shell);
    dropFilesEvent.Call(&files, this);
}

} // namespace zo

// View: a window of a framework class that paints itself. Painting goes
// straight to the window, or through a client-sized off-screen image when a
// buffered paint callback is present; the background is filled with
// backColor; files dropped on it arrive as a list of paths. A view knows its
// DPI: when it changes, the default font of its controls is made again for
// it, dpiEvent lets the owner scale the rest, and a top-level view then takes
// the rectangle the system suggests.
#pragma once
#include "core/StringMemList.h"
#include "window/DC.h"
#include "window/IWnd.h"

namespace zo {

class View : public IWnd {
public:
    View();
    ~View();

    // Registers the framework class on first use, then creates the window
    // as a child of parent (or a top-level window when parent is null).
    HWND Create(HWND parent) override;

    Delegate<DC*, View*> bufferedPaintEvent;   // when it has entries, painting is off-screen
    Delegate<DC*, View*> paintEvent;           // direct painting otherwise
    Delegate<HDC, View*> eraseEvent;           // replaces the backColor fill
    Delegate<StringMemList*, View*> dropFilesEvent;   // needs WS_EX_ACCEPTFILES
    // The window's DPI: raised with it once the window exists (before
    // createEvent) and whenever it changes (before the window's new size).
    Delegate<int, View*> dpiEvent;
    int dpi = 96;

private:
    void OnPaint(Message* m, IWnd*);
    void OnEraseBkgnd(Message* m, IWnd*);
    void OnDropFiles(Message* m, IWnd*);
    void OnCreateDpi(IWnd*);
    void OnDpiChanged(Message* m, IWnd*);
    void PaintBuffered(DC& target);
};

// Fills r with color through the stock DC brush; nothing when the colour's
// top byte is set (the convention for "no background").
void FillBackground(HDC dc, const RECT& r, COLORREF color);

} // namespace zo

// View: a window of a framework class that paints itself. Painting goes
// straight to the window, or through a client-sized off-screen image when a
// buffered paint callback is present; the background is filled with
// backColor; files dropped on it arrive as a list of paths. A view knows its
// DPI. A top-level view owns the font its controls get: the default font's
// record made at the view's DPI. When the DPI changes that font is made
// again and handed to the controls that showed it, dpiEvent lets the owner
// scale the rest, and the view then takes the rectangle the system
// suggests. The process's default font is never touched by one window.
#pragma once
#include "core/StringMemList.h"
#include "window/DC.h"
#include "window/Font.h"
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

    // The font for this view's controls at its DPI (see above); made when
    // first asked and again when the default font's record has changed.
    HFONT ControlFont();

private:
    void OnGetControlFont(Message* m, IWnd*);
    void OnPaint(Message* m, IWnd*);
    void OnEraseBkgnd(Message* m, IWnd*);
    void OnDropFiles(Message* m, IWnd*);
    void OnCreateDpi(IWnd*);
    void OnDpiChanged(Message* m, IWnd*);
    void PaintBuffered(DC& target);
    // Makes controlFont from the default record at atDpi and gives it to
    // the children that showed the one before, which is then deleted.
    void RemakeControlFont(int atDpi);

    Font controlFont;   // owned; its handle is null until first asked
};

// Fills r with color through the stock DC brush; nothing when the colour's
// top byte is set (the convention for "no background").
void FillBackground(HDC dc, const RECT& r, COLORREF color);

} // namespace zo

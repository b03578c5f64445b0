// ScrollView: a View whose content may be larger than its client area. The
// content size (contentSize) decides which scroll bars show; bars, arrow
// keys and the wheel move the content, and scrollEvent reports each shift.
#pragma once
#include "window/View.h"

namespace zo {

class ScrollView : public View {
public:
    ScrollView();
    ~ScrollView();

    // Shows, hides and sizes the bars for the present client and content
    // size; call it after contentSize changed.
    void UpdateScrollBars();
    void SetContentSize(int width, int height);

    // Horizontal and vertical shift in pixels, positive when the position
    // went down (the content moved right or down).
    Delegate<int, int, ScrollView*> scrollEvent;
    int vPage = 0;
    int hPage = 0;
    int vLine = 1;
    int hLine = 1;
    int maxScrollY = 0;
    int maxScrollX = 0;
    unsigned wheelMessage = WM_VSCROLL;   // what a wheel turn becomes; 0 ignores the wheel
    bool keyScroll = true;

private:
    void OnKeyDown(Message* m, IWnd*);
    void OnSize(Message* m, IWnd*);
    void OnMouseWheel(Message* m, IWnd*);
    void OnVScroll(Message* m, IWnd*);
    void OnHScroll(Message* m, IWnd*);
    void Resize(int cx, int cy);
    void Scroll(int bar, unsigned code, unsigned thumb);
};

} // namespace zo

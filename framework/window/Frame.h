// Frame: a top-level, resizable scroll view; the main window of a program
// derives from it. ShowAsMain makes it the window whose end ends the loop
// and the one whose controls the keyboard moves through as in a dialog.
#pragma once
#include "window/ScrollView.h"

namespace zo {

class Frame : public ScrollView {
public:
    Frame();

    // Creates the window without parent, shows it and posts quit when it is
    // destroyed (the quit handler is added once however often this is
    // called). The thread's loop then gives it dialog navigation: Tab and
    // Shift+Tab move through its controls with WS_TABSTOP in creation order.
    HWND ShowAsMain();

    // Enter in the frame never presses a button (the dialog manager would
    // press the focused or default one): it raises this event with the
    // framework control that has the focus (null for other windows) and
    // does nothing else. A control that wants Enter itself (a multi-line
    // edit with ES_WANTRETURN, a drop-down with its list open) still gets it.
    Delegate<IWnd*, Frame*> enterEvent;

private:
    void OnQuit(Message* m, IWnd*);
    void OnPreTranslate(Message* m, IWnd*);
    void OnActivate(Message* m, IWnd*);
    void OnSetFocus(Message* m, IWnd*);
    HWND lastFocus = nullptr;   // the control to give the focus back to
};

} // namespace zo

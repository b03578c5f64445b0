// Frame: a top-level, resizable scroll view; the main window of a program
// derives from it. ShowAsMain makes it the window whose end ends the loop.
#pragma once
#include "window/ScrollView.h"

namespace zo {

class Frame : public ScrollView {
public:
    Frame();

    // Creates the window without parent, shows it and posts quit when it is
    // destroyed (the quit handler is added once however often this is called).
    HWND ShowAsMain();

private:
    void OnQuit(Message* m, IWnd*);
};

} // namespace zo

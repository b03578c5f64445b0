// The program's entry: build the main window object, show the window, run
// the message loop, then take everything down and return the loop's code.
#include "app/MainFrm.h"
#include "window/MessageLoop.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    MainFrm* frame = new MainFrm;
    if (!frame) return 1;
    int code;
    if (frame->ShowAsMain()) {
        code = zo::RunMessageLoop();
    } else {
        // The window could not be made (its warning box has been shown):
        // no window would ever end the loop.
        code = 1;
    }
    delete frame;
    return code;
}

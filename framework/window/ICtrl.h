// ICtrl: the window object of a standard control. It creates the system's
// control window, subclasses it so its messages run through this object's
// table and events before the control's own class procedure, gives it the
// default font, and answers the parent's colour requests. The object owns
// its window; destroying the object destroys the window.
#pragma once
#include "window/IWnd.h"

namespace zo {

class ICtrl : public IWnd {
public:
    ICtrl();
    ~ICtrl() override;

    // Creates the control as a child of parent from createInfo (whose
    // className the kind sets); null when it already has a window or the
    // system refuses, the latter after an "ICtrl.Create" warning box.
    HWND Create(HWND parent) override;

private:
    void OnGetICtrl(Message* m, IWnd*);
    // Text in textColor on a transparent background; the parent fills the
    // rest with backColor through the DC brush.
    void OnColor(Message* m, ICtrl*);
};

} // namespace zo

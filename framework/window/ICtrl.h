// ICtrl: the window object of a standard control. It creates the system's
// control window, subclasses it so its messages run through this object's
// table and events before the control's own class procedure, gives it the
// font its top-level window made for its DPI, and answers the parent's
// colour requests. The object owns its window; destroying the object
// destroys the window.
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

protected:
    // Answers a WM_CTLCOLOR* request for this control: text in textColor,
    // the DC brush in backColor; opaque text cells are filled in backColor
    // too, otherwise the text is drawn over what the brush painted.
    void AnswerColor(Message* m, bool opaque);

private:
    void OnGetICtrl(Message* m, IWnd*);
    void OnGetFontHeight(Message* m, IWnd*);
    void OnColor(Message* m, ICtrl*) { AnswerColor(m, false); }
};

} // namespace zo

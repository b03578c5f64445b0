// GroupBox: the framed caption drawn around a group of controls (a "Button"
// window with the group-box style).
#pragma once
#include "window/Button.h"

namespace zo {

class GroupBox : public ICtrl, public ButtonPtr {
public:
    GroupBox();
};

} // namespace zo

// Label: a piece of static text (the system's "Static" class). LabelPtr is
// the bare handle wrapper; it owns nothing, not even an icon it shows.
#pragma once
#include "window/ICtrl.h"
#include "window/WndPtr.h"

namespace zo {

class LabelPtr : public virtual WndPtr {
public:
    // Shows an icon instead of text (needs SS_ICON); returns the previous one.
    HICON SetIcon(HICON icon) const {
        return reinterpret_cast<HICON>(Send(STM_SETICON, reinterpret_cast<WPARAM>(icon)));
    }
};

class Label : public ICtrl, public LabelPtr {
public:
    Label();
};

} // namespace zo

// Button: a push button (the system's "Button" class). ButtonPtr is the bare
// handle wrapper with the button messages, shared with GroupBox; it owns
// nothing.
#pragma once
#include "window/ICtrl.h"
#include "window/WndPtr.h"

namespace zo {

class ButtonPtr : public virtual WndPtr {
public:
    // BST_CHECKED, BST_UNCHECKED or BST_INDETERMINATE.
    unsigned GetCheck() const { return static_cast<unsigned>(Send(BM_GETCHECK)); }
    void SetCheck(unsigned state) const { Send(BM_SETCHECK, state); }
    // Presses the button as a user would: the parent gets BN_CLICKED.
    void Click() const { Send(BM_CLICK); }
};

class Button : public ICtrl, public ButtonPtr {
public:
    Button();
};

} // namespace zo

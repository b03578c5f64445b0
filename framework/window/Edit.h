// Edit: a single-line text box (the system's "edit" class) with a white
// background and a handler called whenever its text changes. EditPtr is the
// bare handle wrapper with the edit messages; it owns nothing.
#pragma once
#include "window/ICtrl.h"
#include "window/WndPtr.h"

namespace zo {

class EditPtr : public virtual WndPtr {
public:
    // Most characters the user may type; 0 restores the system's limit.
    void SetLimit(unsigned count) const { Send(EM_SETLIMITTEXT, count); }
    void SetReadOnly(bool readOnly) const { Send(EM_SETREADONLY, readOnly); }
    // Selects [first, last); (0, -1) selects all, (-1, -1) only moves the caret.
    void Select(int first, int last) const { Send(EM_SETSEL, static_cast<WPARAM>(first), last); }
    // Replaces the selection with text, as typing would.
    void ReplaceSelection(const wchar_t* text) const {
        Send(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
    }
};

class Edit : public ICtrl, public EditPtr {
public:
    Function<void, Edit*> changeHandler;   // on every EN_CHANGE; unbound at first

    Edit();
    ~Edit() override;

private:
    void OnCommand(unsigned short id, unsigned short code, IWnd* source);
    // Opaque, so the text box is solid backColor (white) behind its text.
    void OnColor(Message* m, ICtrl*) { AnswerColor(m, true); }
};

} // namespace zo

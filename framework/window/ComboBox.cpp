// The combo box's item text and its style.
#include "window/ComboBox.h"

#include "core/Memory.h"

namespace zo {

static_assert(ComboBox::kStyle == 0x10200242, "the combo box style of the framework");

bool ComboBoxPtr::GetItemText(unsigned index, String& s) const {
    s = L"";
    LRESULT n = Send(CB_GETLBTEXTLEN, index);
    if (n < 0) return false;   // CB_ERR: no such item
    Memory<wchar_t> text;
    if (!text.SetLength(static_cast<unsigned>(n) + 1)) return false;
    LRESULT got = Send(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data));
    if (got < 0) return false;
    text.data[got < n ? got : n] = 0;
    s = text.data;
    return true;
}

ComboBox::ComboBox() {
    createInfo->className = L"ComboBox";
    createInfo->style = kStyle;
}

} // namespace zo

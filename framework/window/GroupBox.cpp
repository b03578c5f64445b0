// A group box: a button window that only draws a frame and its caption.
#include "window/GroupBox.h"

namespace zo {

GroupBox::GroupBox() {
    createInfo->className = L"Button";
    // It takes no input, so the keyboard passes it by.
    createInfo->style &= ~WS_TABSTOP;
    createInfo->style |= BS_GROUPBOX;
}

} // namespace zo

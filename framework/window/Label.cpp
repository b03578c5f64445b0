// A label: the system's static control with the control defaults.
#include "window/Label.h"

namespace zo {

Label::Label() {
    createInfo->className = L"Static";
    // It takes no input, so the keyboard passes it by.
    createInfo->style &= ~WS_TABSTOP;
}

} // namespace zo

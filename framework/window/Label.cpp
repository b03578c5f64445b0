// A label: the system's static control with the control defaults.
#include "window/Label.h"

namespace zo {

Label::Label() {
    createInfo->className = L"Static";
}

} // namespace zo

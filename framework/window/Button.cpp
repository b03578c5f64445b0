// A push button: the system's button class with the control defaults.
#include "window/Button.h"

namespace zo {

Button::Button() {
    createInfo->className = L"Button";
}

} // namespace zo

// CreateStruct: the parameters a window object is created with. Each window
// object holds it through a shared Object<CreateStruct>, so several objects
// may be created from one set of parameters.
#pragma once
#include <cstdint>

#include "core/String.h"
#include "core/Win.h"

namespace zo {

struct CreateStruct : public _class {
    String className;        // empty: a framework class is registered on first creation
    String title;
    int16_t x = 200;         // sign-extended when passed to the system
    int16_t y = 200;
    int16_t width = 500;
    int16_t height = 300;
    unsigned classStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    unsigned style = WS_VISIBLE;
    unsigned exStyle = 0;
    HMENU menu = nullptr;    // a menu, or a child window's id
    HINSTANCE instance = GetModuleHandleW(nullptr);
    void* param = nullptr;   // creation parameter of standard controls
};

} // namespace zo

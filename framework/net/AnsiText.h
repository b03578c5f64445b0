// AnsiText: a wide text converted to the calling thread's ANSI code page,
// for the Winsock calls that take narrow text. Owns its heap copy.
#pragma once
#include "core/Base.h"

namespace zo {

class AnsiText : public _class {
public:
    explicit AnsiText(const wchar_t* text);
    ~AnsiText();
    // Null when the text was null or could not be converted.
    const char* Text() const { return text; }

private:
    char* text = nullptr;
};

} // namespace zo

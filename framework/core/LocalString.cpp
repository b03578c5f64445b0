// LocalString keeps short texts off the heap: growth within its 256 units
// costs nothing, and the first growth past them copies the text out once.
#include "core/LocalString.h"

#include <cstring>

namespace zo {

LocalString::LocalString(const char* text) {
    local[0] = 0;
    inner = local;
    handle = local;
    DecodeAnsi(text, 0);
}

bool LocalString::SetCubage(unsigned n, bool round) {
    // A heap buffer that holds 255 characters also covers every small request;
    // one adopted through Attach may be smaller and must really grow.
    if (n <= 255 && (handle == local || cubage >= 255)) return true;
    return String::SetCubage(n, round);
}

LocalString& LocalString::operator+=(const char* text) {
    DecodeAnsi(text, length);
    return *this;
}

bool LocalString::operator==(const String& other) const {
    if (length != other.Length()) return false;
    return length == 0 || memcmp(handle, other.Handle(), length * sizeof(wchar_t)) == 0;
}

} // namespace zo

// LocalString: a String that starts on 256 units of storage inside the object
// and moves to a heap buffer (owned, freed with the object) only when it needs
// more than 255 characters. It is the string built from narrow text.
#pragma once
#include "core/String.h"

namespace zo {

class LocalString : public String {
public:
    // Converts text from the thread's ANSI code page; null gives "".
    LocalString(const char* text = nullptr);

    using String::operator=;
    using String::operator+=;
    using String::operator==;
    // Appends narrow text converted from the thread's ANSI code page.
    LocalString& operator+=(const char* text);
    // Equal lengths and equal units, compared as binary.
    bool operator==(const String& other) const;
    template <class T>
    bool operator!=(const T& other) const { return !(*this == other); }

    // Cubage stays 0 while the in-object storage is in use; any request it
    // can hold is granted at once.
    bool SetCubage(unsigned n, bool round) override;

private:
    wchar_t local[256];
};

} // namespace zo

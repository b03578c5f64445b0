// StringList: an ordered list of owned String objects (each on the heap, so a
// String& stays valid while others are added). StringDiction is the same list
// with unique texts, compared ordinally and kept in insertion order.
#pragma once
#include "core/ObjectList.h"
#include "core/String.h"

namespace zo {

class StringList : public ObjectList<String> {
    typedef ObjectList<String> Base;

public:
    using Base::Clear;
    using Base::Count;
    using Base::Delete;

    // Adds a copy of text (null or "" adds an empty string) at pos, the end
    // when pos >= Count(); returns its index, NPOS when memory runs out.
    unsigned Add(const wchar_t* text, unsigned pos = NPOS);
    // No bounds checks: callers keep i < Count().
    String& Element(unsigned i) const { return *Base::Element(i); }
    String& operator[](unsigned i) const { return *Base::Element(i); }
    String& RevElement(unsigned i) const { return *Base::Element(Count() - 1 - i); }
    // Appends the pieces of text between separators, empty pieces included:
    // "a,,b," by "," gives "a", "", "b", "". Without a usable separator the
    // whole text is one piece. Returns the pieces added.
    unsigned Split(const wchar_t* text, const wchar_t* separator);
    // The first index whose text equals text (ordinal), NPOS when none.
    unsigned IndexOf(const wchar_t* text) const;

protected:
    // Adds the first n units of text (fewer when it ends sooner); with unique
    // set, an equal text already present makes it NPOS and adds nothing.
    unsigned AddPiece(const wchar_t* text, unsigned n, unsigned pos);
    bool unique = false;
};

class StringDiction : public StringList {
public:
    StringDiction() { unique = true; }
    // NPOS, and nothing added, when an equal text is present.
    unsigned Add(const wchar_t* text, unsigned pos = NPOS) { return AddPiece(text, NPOS, pos); }
};

} // namespace zo

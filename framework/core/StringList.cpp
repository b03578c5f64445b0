// Adding, splitting and searching in StringList and StringDiction.
#include "core/StringList.h"

#include <cwchar>

namespace zo {

unsigned StringList::AddPiece(const wchar_t* text, unsigned n, unsigned pos) {
    if (pos > Count()) pos = Count();
    if (!unique) {
        String* s = Base::Add(pos);
        if (!s) return NPOS;
        s->CopyText(text, n, NPOS);
        return pos;
    }
    // The copy is taken first: text may be one of the list's own strings.
    String key;
    key.CopyText(text, n, 0);
    if (IndexOf(key.Handle()) != NPOS) return NPOS;
    String* s = Base::Add(pos);
    if (!s) return NPOS;
    *s = key;
    return pos;
}

unsigned StringList::Add(const wchar_t* text, unsigned pos) {
    return AddPiece(text, NPOS, pos);
}

unsigned StringList::Split(const wchar_t* text, const wchar_t* separator) {
    if (!text || !*text) return 0;
    size_t total = wcslen(text);
    size_t s = separator ? wcslen(separator) : 0;
    unsigned added = 0;
    auto piece = [&](const wchar_t* start, size_t units) {
        if (AddPiece(start, static_cast<unsigned>(units), NPOS) != NPOS) ++added;
    };
    if (s == 0 || total < s) {
        piece(text, total);
        return added;
    }
    size_t cut = 0, i = 0;
    while (i + s <= total) {
        if (wmemcmp(text + i, separator, s) == 0) {
            piece(text + cut, i - cut);
            i += s;
            cut = i;
        } else {
            ++i;
        }
    }
    piece(text + cut, total - cut);
    return added;
}

unsigned StringList::IndexOf(const wchar_t* text) const {
    for (unsigned i = 0; i < Count(); ++i)
        if (*Base::Element(i) == text) return i;
    return NPOS;
}

} // namespace zo

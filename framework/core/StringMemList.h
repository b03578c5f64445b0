// StringMemList: many strings packed back to back (each with its terminator)
// in one owned block, with an index of pointers to their first units. The
// block only grows; strings are added, never removed one by one.
#pragma once
#include "core/Base.h"
#include "core/List.h"

namespace zo {

class StringMemList : public _class {
public:
    StringMemList() {}
    ~StringMemList();

    // Inserts a copy of text before string pos (appends when pos >= Count()).
    // False for null text or when memory runs out (the list is unchanged).
    bool Add(const wchar_t* text, unsigned pos = NPOS);
    // No bounds checks: callers keep i < Count().
    const wchar_t* Element(unsigned i) const { return index[i]; }
    const wchar_t* operator[](unsigned i) const { return index[i]; }
    const wchar_t* RevElement(unsigned i) const { return index[index.Count() - 1 - i]; }
    unsigned Count() const { return index.Count(); }
    // Units in use, terminators included.
    unsigned Length() const { return length; }
    // Units the block holds.
    unsigned Cubage() const { return cubage; }
    const wchar_t* Handle() const { return block; }

private:
    bool GrowBlock(unsigned needed);

    wchar_t* block = nullptr;
    unsigned cubage = 0;
    unsigned length = 0;
    List<wchar_t*> index;
};

} // namespace zo

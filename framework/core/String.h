// String: the framework's owned, growable UTF-16 text. The buffer comes from
// the C runtime heap and belongs to the string; empty and "no buffer" are the
// same text. Narrow text is converted in the calling thread's ANSI code page.
#pragma once
#include "core/Base.h"
#include "core/List.h"
#include "core/Memory.h"

namespace zo {

class String : public HandleType<wchar_t*>, public _class {
public:
    String() {}
    // A buffer of exactly the text's size; null gives "" in a 1-unit buffer.
    String(const wchar_t* text);
    virtual ~String();

    unsigned Length() const { return length; }
    // Characters the buffer holds, not counting the terminator slot.
    unsigned Cubage() const { return cubage; }
    bool IsNull() const { return length == 0; }
    bool NotNull() const { return length != 0; }
    // No bounds checks: callers keep i < Length().
    wchar_t& Element(unsigned i) { return handle[i]; }
    wchar_t Element(unsigned i) const { return handle[i]; }
    wchar_t& RevElement(unsigned i) { return handle[length - 1 - i]; }
    wchar_t RevElement(unsigned i) const { return handle[length - 1 - i]; }

    // Ordinal, case-sensitive; a missing buffer and a null text are both "".
    // The overloads keep comparisons with buffers, strings and nullptr from
    // meeting the built-in pointer comparison through operator wchar_t*.
    bool operator==(const wchar_t* text) const { return Equals(text); }
    bool operator==(wchar_t* text) const { return Equals(text); }
    bool operator==(const String& other) const { return Equals(other.handle); }
    bool operator==(decltype(nullptr)) const { return length == 0; }
    template <class T>
    bool operator!=(const T& other) const { return !(*this == other); }

    // Makes room for n characters plus the terminator. With round the buffer
    // is the smallest power of two (at least 8) units that fits, else exactly
    // n + 1; it may shrink, but never below the text. False (and nothing
    // changed) when the memory cannot be had. All growth passes through here.
    virtual bool SetCubage(unsigned n, bool round);

    String& operator=(const wchar_t* text);
    String& operator=(const String& other);
    String& operator=(const char* text);
    String& operator+=(const wchar_t* text);
    String& operator+=(const String& other);

    // Writes up to count characters of text at position at (NPOS: the end),
    // overwriting what is there and extending the text when it runs past it.
    // Returns the characters written (0 when none or on failure).
    unsigned CopyText(const wchar_t* text, unsigned count = NPOS, unsigned at = NPOS);
    // Inserts ch before position at (appends when at >= Length()); 0 is ignored.
    void InsertChar(wchar_t ch, unsigned at);
    // Puts text in front; returns the characters inserted.
    unsigned Prepend(const wchar_t* text);
    // Replaces the text with printf-style output (msvcrt conventions: %s is a
    // wide string). Returns the formatter's result; on a bad format the text
    // becomes "" and 0 is returned.
    int Format(const wchar_t* fmt, ...);
    void FromInt64(long long value);
    // Decodes size bytes in codePage, up to the first 0 byte. 1200 and 0 take
    // the bytes as UTF-16LE units (up to the first 0 unit): 0 is also CP_ACP's
    // value, so ANSI text comes with CP_THREAD_ACP. 65001 skips a leading
    // byte-order mark. False (text unchanged) when nothing converts.
    bool FromMultiByte(const char* bytes, unsigned size, unsigned codePage);
    // Encodes the text in the thread's ANSI code page into out (grown to the
    // byte count + 1, a 0 byte after the text); returns the byte count, 0 on
    // failure or for an empty text.
    int ToMultiByte(Memory<char>& out) const;
    // Frees the present buffer and adopts one from the C runtime heap.
    bool Attach(wchar_t* buffer);

protected:
    // Asks SetCubage only when the buffer cannot hold needed characters.
    bool Reserve(unsigned needed, bool round) {
        return needed <= cubage && handle ? true : SetCubage(needed, round);
    }
    // Replaces (at = 0) or extends (at = length) the text with narrow text in
    // the thread's ANSI code page; rounded growth. Null or "" makes the text
    // "" when replacing; text that converts to nothing changes nothing.
    void DecodeAnsi(const char* text, unsigned at);

    // Storage a derived class carries inside the object: never freed, and
    // left (never reallocated) when the text outgrows it.
    wchar_t* inner = nullptr;
    unsigned length = 0;
    unsigned cubage = 0;

private:
    bool Equals(const wchar_t* text) const;
    // Reserve for a source text that may lie in this very buffer: src is
    // re-pointed at the same characters when the buffer moves.
    bool ReserveKeeping(unsigned needed, bool round, const wchar_t*& src);
    bool Contains(const wchar_t* p) const;
    void Append(const wchar_t* src, unsigned n);
    // A missing buffer becomes one holding "".
    bool EnsureBuffer(bool round);
    void FreeBuffer();
};

} // namespace zo

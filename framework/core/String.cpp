// String's growth, editing, formatting and code-page conversion. Every change
// of the buffer's size goes through the virtual SetCubage, so a derived class
// with storage of its own (LocalString) decides where the text lives.
#include "core/String.h"

#include <cstdarg>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "core/RuntimeFormat.h"
#include "core/Win.h"

namespace zo {

namespace {

const wchar_t kEmpty[] = L"";

// Units before the terminator, at most max; texts beyond the 32-bit range
// count as too long (UINT_MAX).
unsigned UnitsBefore(const wchar_t* text, unsigned max) {
    if (!text) return 0;
    size_t n = 0;
    while (n < max && text[n]) ++n;
    return n > UINT_MAX - 1 ? UINT_MAX : static_cast<unsigned>(n);
}

} // namespace

String::String(const wchar_t* text) {
    unsigned n = UnitsBefore(text, UINT_MAX);
    if (n == UINT_MAX || !SetCubage(n, false)) return;
    if (n) memcpy(handle, text, n * sizeof(wchar_t));
    length = n;
    handle[n] = 0;
}

String::~String() { FreeBuffer(); }

void String::FreeBuffer() {
    if (handle != inner) free(handle);
    handle = nullptr;
}

bool String::SetCubage(unsigned n, bool round) {
    unsigned long long need = static_cast<unsigned long long>(n) + 1;
    if (need <= length) return true;
    unsigned long long c = need;
    if (round) {
        c = 8;
        while (c < need) c *= 2;
    }
    // The buffer's size in bytes must stay a positive 32-bit value.
    if (c * sizeof(wchar_t) > 0x7FFFFFFFull) return false;
    size_t bytes = static_cast<size_t>(c) * sizeof(wchar_t);
    wchar_t* p;
    if (handle && handle == inner) {
        p = static_cast<wchar_t*>(malloc(bytes));
        if (!p) return false;
        memcpy(p, handle, (length + 1) * sizeof(wchar_t));
    } else {
        p = static_cast<wchar_t*>(realloc(handle, bytes));
        if (!p) return false;
    }
    handle = p;
    cubage = static_cast<unsigned>(c - 1);
    handle[cubage] = 0;
    handle[length] = 0;
    return true;
}

bool String::Contains(const wchar_t* p) const {
    uintptr_t first = reinterpret_cast<uintptr_t>(handle);
    uintptr_t at = reinterpret_cast<uintptr_t>(p);
    return handle && at >= first && at <= first + length * sizeof(wchar_t);
}

bool String::ReserveKeeping(unsigned needed, bool round, const wchar_t*& src) {
    bool inside = Contains(src);
    size_t offset = inside ? static_cast<size_t>(src - handle) : 0;
    if (!Reserve(needed, round)) return false;
    if (inside) src = handle + offset;
    return true;
}

bool String::EnsureBuffer(bool round) {
    if (handle) return true;
    return SetCubage(0, round);
}

bool String::Equals(const wchar_t* text) const {
    if (text == handle) return true;
    return wcscmp(handle ? handle : kEmpty, text ? text : kEmpty) == 0;
}

String& String::operator=(const wchar_t* text) {
    unsigned n = UnitsBefore(text, UINT_MAX);
    if (n == UINT_MAX || !ReserveKeeping(n, false, text)) return *this;
    if (!EnsureBuffer(false)) return *this;
    if (n) memmove(handle, text, n * sizeof(wchar_t));
    length = n;
    handle[n] = 0;
    return *this;
}

String& String::operator=(const String& other) {
    if (&other == this) return *this;
    unsigned n = other.length;
    if (n == 0) {
        if (!EnsureBuffer(false)) return *this;
    } else {
        if (!Reserve(n, true)) return *this;
        memcpy(handle, other.handle, n * sizeof(wchar_t));
    }
    length = n;
    handle[n] = 0;
    return *this;
}

String& String::operator=(const char* text) {
    DecodeAnsi(text, 0);
    return *this;
}

void String::Append(const wchar_t* src, unsigned n) {
    if (n == 0 || n > UINT_MAX - 1 - length) return;
    if (!ReserveKeeping(length + n, true, src)) return;
    memmove(handle + length, src, n * sizeof(wchar_t));
    length += n;
    handle[length] = 0;
}

String& String::operator+=(const wchar_t* text) {
    Append(text, UnitsBefore(text, UINT_MAX));
    return *this;
}

String& String::operator+=(const String& other) {
    Append(other.handle, other.length);
    return *this;
}

unsigned String::CopyText(const wchar_t* text, unsigned count, unsigned at) {
    unsigned n = UnitsBefore(text, count);
    if (n == 0 || n == UINT_MAX) return 0;
    // A position past the text would leave a gap of undefined characters.
    if (at > length) at = length;
    if (n > UINT_MAX - 1 - at) return 0;
    if (!ReserveKeeping(at + n, false, text)) return 0;
    memmove(handle + at, text, n * sizeof(wchar_t));
    if (at + n > length) {
        length = at + n;
        handle[length] = 0;
    }
    return n;
}

void String::InsertChar(wchar_t ch, unsigned at) {
    if (ch == 0 || length >= UINT_MAX - 1) return;
    if (!Reserve(length + 1, true)) return;
    if (at < length) {
        memmove(handle + at + 1, handle + at, (length - at) * sizeof(wchar_t));
        handle[at] = ch;
    } else {
        handle[length] = ch;
    }
    ++length;
    handle[length] = 0;
}

unsigned String::Prepend(const wchar_t* text) {
    unsigned n = UnitsBefore(text, UINT_MAX);
    if (n == 0 || n > UINT_MAX - 1 - length) return 0;
    if (!ReserveKeeping(length + n, true, text)) return 0;
    bool inside = Contains(text);
    size_t offset = inside ? static_cast<size_t>(text - handle) : 0;
    memmove(handle + n, handle, (length + 1) * sizeof(wchar_t));
    // A source inside this text has moved up with it.
    memcpy(handle, inside ? handle + n + offset : text, n * sizeof(wchar_t));
    length += n;
    return n;
}

int String::Format(const wchar_t* fmt, ...) {
    va_list args, again;
    va_start(args, fmt);
    va_copy(again, args);
    int count = RuntimeCountW(fmt, args);
    va_end(args);
    if (count < 0) {
        va_end(again);
        if (handle) handle[0] = 0;
        length = 0;
        return 0;
    }
    // The arguments may point into this very buffer, which SetCubage may
    // move: the text is formed aside first.
    wchar_t small[256];
    size_t units = static_cast<size_t>(count) + 1;
    wchar_t* text = units <= 256 ? small : static_cast<wchar_t*>(malloc(units * sizeof(wchar_t)));
    int result = -1;
    if (text) {
        result = RuntimeFormatW(text, units, fmt, again);
        text[count] = 0;
        if (SetCubage(static_cast<unsigned>(count), false)) {
            unsigned n = UnitsBefore(text, static_cast<unsigned>(count));
            memcpy(handle, text, n * sizeof(wchar_t));
            length = n;
            handle[n] = 0;
        } else {
            result = -1;
        }
        if (text != small) free(text);
    }
    va_end(again);
    return result;
}

void String::FromInt64(long long value) {
    if ((cubage < 64 || !handle) && !SetCubage(64, false)) return;
    unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    wchar_t digits[24];
    unsigned n = 0;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    unsigned k = 0;
    if (value < 0) handle[k++] = L'-';
    while (n) handle[k++] = digits[--n];
    length = k;
    handle[k] = 0;
}

bool String::FromMultiByte(const char* bytes, unsigned size, unsigned codePage) {
    if (codePage == 1200 || codePage == 0) {
        // UTF-16LE taken as it is, up to the first 0 unit; an odd last byte is
        // dropped. The bytes need not be aligned.
        unsigned units = bytes ? size / 2 : 0;
        unsigned n = 0;
        for (; n < units; ++n) {
            wchar_t unit;
            memcpy(&unit, bytes + 2 * n, sizeof(unit));
            if (unit == 0) break;
        }
        if (n == 0) {
            if (!EnsureBuffer(true)) return false;
            handle[0] = 0;
            length = 0;
            return true;
        }
        if (!Reserve(n, false)) return false;
        memmove(handle, bytes, n * sizeof(wchar_t));
        length = n;
        handle[n] = 0;
        return true;
    }

    unsigned count = 0;
    if (bytes && size) {
        const void* zero = memchr(bytes, 0, size);
        count = zero ? static_cast<unsigned>(static_cast<const char*>(zero) - bytes) : size;
    }
    if (codePage == CP_UTF8 && count >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
        bytes += 3;
        count -= 3;
    }
    if (count == 0) {
        if (!EnsureBuffer(true)) return false;
        handle[0] = 0;
        length = 0;
        return true;
    }
    if (count > INT_MAX) return false;
    int units = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(count), nullptr, 0);
    if (units <= 0) return false;
    if (!SetCubage(static_cast<unsigned>(units), false)) return false;
    int got = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(count), handle, units);
    if (got < 0) got = 0;
    handle[got] = 0;
    length = UnitsBefore(handle, static_cast<unsigned>(got));
    return true;
}

void String::DecodeAnsi(const char* text, unsigned at) {
    if (!text || !*text) {
        if (at == 0 && EnsureBuffer(true)) {
            handle[0] = 0;
            length = 0;
        }
        return;
    }
    size_t bytes = strlen(text);
    if (bytes > INT_MAX) return;
    int units = MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(bytes), nullptr, 0);
    if (units <= 0 || static_cast<unsigned>(units) > UINT_MAX - 1 - at) return;
    if (!Reserve(at + static_cast<unsigned>(units), true)) return;
    int got =
        MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(bytes), handle + at, units);
    if (got < 0) got = 0;
    length = at + static_cast<unsigned>(got);
    handle[length] = 0;
}

int String::ToMultiByte(Memory<char>& out) const {
    if (!handle || length == 0 || length > INT_MAX) return 0;
    int n = static_cast<int>(length);
    int count = WideCharToMultiByte(CP_THREAD_ACP, 0, handle, n, nullptr, 0, nullptr, nullptr);
    if (count <= 0 || count == INT_MAX) return 0;
    unsigned need = static_cast<unsigned>(count) + 1;
    if (out.Length() < need && !out.SetLength(need)) return 0;
    int got = WideCharToMultiByte(CP_THREAD_ACP, 0, handle, n, out.data, count, nullptr, nullptr);
    if (got <= 0) return 0;
    // Callers use the count, but a terminator costs nothing and keeps the
    // bytes usable as C text.
    out.data[got] = 0;
    return got;
}

bool String::Attach(wchar_t* buffer) {
    FreeBuffer();
    handle = buffer;
    length = cubage = UnitsBefore(buffer, UINT_MAX);
    return true;
}

} // namespace zo

// Decimal scanning and printing of doubles and integers. The conversions
// themselves are <charconv>'s (correctly rounded, independent of the C
// runtime and its locale); this file checks the token syntax of the JSON
// format and lays out the printed form.
#include "data/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace zo {

namespace {

// Significant digits handed to from_chars; the rest only count as "nonzero
// digits follow". A halfway point between two doubles has at most 767
// significant digits, so cutting after 800 and standing in a single 1 for
// whatever nonzero follows keeps every input on the same side of it.
const unsigned kKeptDigits = 800;

// A token of any length rewritten in a bounded form for from_chars: its
// kept digits, a sticky 1, then "e" and the exponent.
class Canonical {
public:
    bool anyDigit = false;      // the token had at least one digit
    unsigned significant = 0;   // significant digits seen
    long long point = 0;        // value = 0.D1D2... * 10^point

    void Digit(wchar_t c, bool afterPoint) {
        anyDigit = true;
        if (significant == 0 && c == L'0') {
            if (afterPoint) --point;
            return;
        }
        ++significant;
        if (!afterPoint) ++point;
        if (kept < kKeptDigits)
            digits[kept++] = static_cast<char>(c);
        else if (c != L'0')
            sticky = true;
    }

    // The magnitude, rounded once: an infinity beyond the largest double,
    // zero below half the smallest subnormal.
    double Magnitude(long long exponent) {
        long long e = point + exponent;
        if (significant == 0 || e < -330) return 0.0;
        if (e > 310) return std::numeric_limits<double>::infinity();
        unsigned n = kept;
        if (sticky) digits[n++] = '1';
#ifdef __i386__
        // The i686 runtime's from_chars takes a shortcut for short inputs
        // that multiplies on the x87 unit, which rounds to 64 bits before
        // the double's 53; twenty digits send it down its integer path.
        while (n < 20) digits[n++] = '0';
#endif
        char* end = digits + n;
        *end++ = 'e';
        end = std::to_chars(end, digits + sizeof digits, e - static_cast<long long>(n)).ptr;
        double d = 0;
        std::from_chars_result r = std::from_chars(digits, end, d);
        if (r.ec == std::errc::result_out_of_range) return e > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        return d;
    }

private:
    char digits[kKeptDigits + 1 + 20 + 24];   // kept, sticky, x87 padding, "e" and exponent
    unsigned kept = 0;
    bool sticky = false;
};

#ifndef __i386__
// Most tokens are short: they are checked and narrowed in one pass and read
// as they stand. False when the token is malformed or out of range; the
// bounded form then rejects it or decides between zero and infinity.
bool ScanShort(const wchar_t* s, unsigned n, double* magnitude) {
    char text[64];
    if (n > sizeof text) return false;
    unsigned k = 0;
    for (unsigned i = 0; i < n; ++i) {
        wchar_t c = s[i];
        if ((c >= L'0' && c <= L'9') || c == L'.')
            text[k++] = static_cast<char>(c);
        else if (c == L'e' || c == L'E' || c == L'd' || c == L'D')
            text[k++] = 'e';
        else if ((c == L'+' || c == L'-') && k && text[k - 1] == 'e')
            text[k++] = static_cast<char>(c);
        else
            return false;
    }
    std::from_chars_result r = std::from_chars(text, text + k, *magnitude);
    return r.ec == std::errc() && r.ptr == text + k;
}
#endif

}   // namespace

bool ScanInteger(const wchar_t* s, unsigned n, unsigned long long* value) {
    unsigned i = 0;
    bool negative = false;
    if (i < n && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
    if (i == n) return false;
    unsigned long long v = 0;
    bool saturated = false;
    for (; i < n; ++i) {
        wchar_t c = s[i];
        if (c < L'0' || c > L'9') return false;
        unsigned long long digit = static_cast<unsigned long long>(c - L'0');
        if (v > (~0ull - digit) / 10) saturated = true;
        if (!saturated) v = v * 10 + digit;
    }
    if (saturated)
        *value = ~0ull;
    else
        *value = negative ? 0 - v : v;
    return true;
}

bool ScanDouble(const wchar_t* s, unsigned n, double* value) {
    unsigned i = 0;
    bool negative = false;
    if (i < n && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
    double d;
#ifndef __i386__   // the x87 shortcut: see Canonical::Magnitude
    if (ScanShort(s + i, n - i, &d)) {
        *value = negative ? -d : d;
        return true;
    }
#endif
    Canonical c;
    bool afterPoint = false;
    for (; i < n; ++i) {
        if (s[i] == L'.' && !afterPoint)
            afterPoint = true;
        else if (s[i] >= L'0' && s[i] <= L'9')
            c.Digit(s[i], afterPoint);
        else
            break;
    }
    if (!c.anyDigit) return false;
    long long exponent = 0;
    if (i < n && (s[i] == L'e' || s[i] == L'E' || s[i] == L'd' || s[i] == L'D')) {
        ++i;
        bool negExp = false;
        if (i < n && (s[i] == L'+' || s[i] == L'-')) negExp = s[i++] == L'-';
        unsigned start = i;
        for (; i < n && s[i] >= L'0' && s[i] <= L'9'; ++i)
            if (exponent < 100000000) exponent = exponent * 10 + (s[i] - L'0');   // beyond: only 0 or inf
        if (i == start) return false;
        if (negExp) exponent = -exponent;
    }
    if (i != n) return false;
    d = c.Magnitude(exponent);
    *value = negative ? -d : d;
    return true;
}

unsigned FormatDouble(double v, wchar_t* out) {
    unsigned k = 0;
    if (std::isnan(v)) {
        for (const char* t = "null"; *t; ++t) out[k++] = static_cast<wchar_t>(*t);
        return k;
    }
    if (std::signbit(v)) out[k++] = L'-';

    // The 16 significant digits and the exponent of the first, from one
    // correctly rounded conversion; the layout below only moves them.
    const int kPrecision = 16;
    char d[kPrecision];
    int x = 999;   // an infinity prints as an out-of-range 1e999
    if (std::isinf(v)) {
        memset(d, '0', sizeof d);
        d[0] = '1';
    } else {
        char sci[32];   // d.ddddddddddddddde-ddd
        char* end = std::to_chars(sci, sci + sizeof sci, std::fabs(v), std::chars_format::scientific,
                                  kPrecision - 1).ptr;
        d[0] = sci[0];
        memcpy(d + 1, sci + 2, kPrecision - 1);
        const char* e = sci + kPrecision + 2;   // past the 'e'
        bool negExp = *e++ == '-';
        x = 0;
        while (e < end) x = x * 10 + (*e++ - '0');
        if (negExp) x = -x;
    }

    if (x < -4 || x >= kPrecision) {
        out[k++] = static_cast<wchar_t>(d[0]);
        out[k++] = L'.';
        for (int i = 1; i < kPrecision; ++i) out[k++] = static_cast<wchar_t>(d[i]);
        out[k++] = L'e';
        out[k++] = x < 0 ? L'-' : L'+';
        unsigned ax = static_cast<unsigned>(x < 0 ? -x : x);
        out[k++] = static_cast<wchar_t>(L'0' + ax / 100);
        out[k++] = static_cast<wchar_t>(L'0' + ax / 10 % 10);
        out[k++] = static_cast<wchar_t>(L'0' + ax % 10);
    } else if (x >= 0) {
        for (int i = 0; i <= x; ++i) out[k++] = static_cast<wchar_t>(d[i]);
        out[k++] = L'.';
        for (int i = x + 1; i < kPrecision; ++i) out[k++] = static_cast<wchar_t>(d[i]);
    } else {
        out[k++] = L'0';
        out[k++] = L'.';
        for (int i = -1; i > x; --i) out[k++] = L'0';
        for (int i = 0; i < kPrecision; ++i) out[k++] = static_cast<wchar_t>(d[i]);
    }
    return k;
}

unsigned FormatInt64(long long v, wchar_t* out) {
    char text[24];
    char* end = std::to_chars(text, text + sizeof text, v).ptr;
    unsigned k = 0;
    for (const char* p = text; p < end; ++p) out[k++] = static_cast<wchar_t>(*p);
    return k;
}

} // namespace zo

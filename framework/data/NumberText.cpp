// Decimal scanning and printing of doubles and integers. Doubles are read in
// three steps: exact double arithmetic when it cannot round twice, a 128-bit
// multiplication by a power of ten when its result is unambiguous, and an
// exact comparison on big integers for what remains.
#include "data/NumberText.h"

#include <cstring>

#include "data/PowersOfTen.h"

namespace zo {

typedef unsigned long long u64;
typedef unsigned int u32;

namespace {

u64 Mul64(u64 a, u64 b, u64* lo) {
#ifdef __SIZEOF_INT128__
    unsigned __int128 p = static_cast<unsigned __int128>(a) * b;
    *lo = static_cast<u64>(p);
    return static_cast<u64>(p >> 64);
#else
    u64 a0 = a & 0xFFFFFFFFu, a1 = a >> 32, b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
    u64 p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    u64 mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
    *lo = (mid << 32) | (p00 & 0xFFFFFFFFu);
    return p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
#endif
}

// floor(log2(10^e)) for |e| well beyond the range of doubles.
int Log2Pow10(int e) { return (217706 * e) >> 16; }

double FromBits(u64 bits) {
    double d;
    memcpy(&d, &bits, sizeof d);
    return d;
}

// An unsigned integer of up to kLimbs 32-bit limbs, least significant first.
// Sizes here are bounded (at most ~2700 bits), so growth past the capacity
// only sets `overflow`, which a comparison then treats as "larger".
class Big {
public:
    static const unsigned kLimbs = 160;
    u32 limb[kLimbs];
    unsigned n = 0;
    bool overflow = false;

    explicit Big(u64 v = 0) {
        while (v) {
            limb[n++] = static_cast<u32>(v);
            v >>= 32;
        }
    }

    void MulAdd(u32 mul, u32 add) {
        u64 carry = add;
        for (unsigned i = 0; i < n; ++i) {
            u64 p = static_cast<u64>(limb[i]) * mul + carry;
            limb[i] = static_cast<u32>(p);
            carry = p >> 32;
        }
        if (carry) Push(static_cast<u32>(carry));
    }

    void MulPow5(unsigned k) {
        static const u32 kPow5[14] = {1, 5, 25, 125, 625, 3125, 15625, 78125, 390625, 1953125,
                                      9765625, 48828125, 244140625, 1220703125};
        for (; k >= 13; k -= 13) MulAdd(kPow5[13], 0);
        if (k) MulAdd(kPow5[k], 0);
    }

    void ShiftLeft(unsigned bits) {
        if (n == 0 || bits == 0) return;
        unsigned words = bits / 32, rest = bits % 32;
        if (n + words + 1 > kLimbs) {
            overflow = true;
            return;
        }
        if (rest) {
            limb[n] = 0;
            for (unsigned i = n; i > 0; --i)
                limb[i] = (limb[i] << rest) | (limb[i - 1] >> (32 - rest));
            limb[0] <<= rest;
            if (limb[n]) ++n;
        }
        if (words) {
            memmove(limb + words, limb, n * sizeof(u32));
            memset(limb, 0, words * sizeof(u32));
            n += words;
        }
    }

    // Divides by d, returns the remainder.
    u32 DivSmall(u32 d) {
        u64 rem = 0;
        for (unsigned i = n; i > 0; --i) {
            u64 cur = (rem << 32) | limb[i - 1];
            limb[i - 1] = static_cast<u32>(cur / d);
            rem = cur % d;
        }
        while (n && limb[n - 1] == 0) --n;
        return static_cast<u32>(rem);
    }

    static int Compare(const Big& a, const Big& b) {
        if (a.overflow || b.overflow) return a.overflow == b.overflow ? 0 : (a.overflow ? 1 : -1);
        if (a.n != b.n) return a.n < b.n ? -1 : 1;
        for (unsigned i = a.n; i > 0; --i)
            if (a.limb[i - 1] != b.limb[i - 1]) return a.limb[i - 1] < b.limb[i - 1] ? -1 : 1;
        return 0;
    }

private:
    void Push(u32 v) {
        if (n == kLimbs) {
            overflow = true;
            return;
        }
        limb[n++] = v;
    }
};

// ---- scanning ----

// A decimal token taken apart: value = 0.d1d2...dn * 10^dp, where the
// significant digits d1... are the digit characters of [mant, mantEnd) after
// leading zeros (a '.' among them is skipped).
struct Decimal {
    bool negative = false;
    const wchar_t* mant = nullptr;
    const wchar_t* mantEnd = nullptr;
    u64 w = 0;          // the first (up to) 19 significant digits
    unsigned nd = 0;    // count of significant digits
    long long dp = 0;
};

// Digits kept for the exact comparison; halfway points between doubles have
// at most 767 significant digits, so anything beyond this only matters as
// "something nonzero follows".
const unsigned kMaxExactDigits = 800;

bool ParseDecimal(const wchar_t* s, unsigned n, Decimal* d) {
    unsigned i = 0;
    if (i < n && (s[i] == L'+' || s[i] == L'-')) d->negative = s[i++] == L'-';
    d->mant = s + i;
    bool sawDigit = false, sawPoint = false;
    for (; i < n; ++i) {
        wchar_t c = s[i];
        if (c == L'.') {
            if (sawPoint) break;
            sawPoint = true;
            continue;
        }
        if (c < L'0' || c > L'9') break;
        sawDigit = true;
        if (c == L'0' && d->nd == 0) {
            if (sawPoint) --d->dp;
            continue;
        }
        if (d->nd < 19) d->w = d->w * 10 + static_cast<u64>(c - L'0');
        ++d->nd;
        if (!sawPoint) ++d->dp;
    }
    d->mantEnd = s + i;
    if (!sawDigit) return false;
    if (i < n && (s[i] == L'e' || s[i] == L'E' || s[i] == L'd' || s[i] == L'D')) {
        ++i;
        bool negExp = false;
        if (i < n && (s[i] == L'+' || s[i] == L'-')) negExp = s[i++] == L'-';
        unsigned start = i;
        long long x = 0;
        for (; i < n && s[i] >= L'0' && s[i] <= L'9'; ++i)
            if (x < 100000000) x = x * 10 + (s[i] - L'0');   // beyond this only 0 or inf remain
        if (i == start) return false;
        d->dp += negExp ? -x : x;
    }
    return i == n;
}

// The decimal value rounded to a double with a 128-bit product; false when
// the product cannot decide (then the exact path does). Normal results only.
bool EiselLemire(u64 man, int exp10, bool neg, double* out) {
    if (exp10 < kPowersOfTenMin || exp10 > kPowersOfTenMax) return false;
    int clz = __builtin_clzll(man);
    man <<= clz;
    u64 retExp2 = static_cast<u64>(Log2Pow10(exp10) + 64 + 1023) - static_cast<u64>(clz);
    const u64* pw = kPowersOfTen[exp10 - kPowersOfTenMin];
    u64 xLo;
    u64 xHi = Mul64(man, pw[1], &xLo);
    if ((xHi & 0x1FF) == 0x1FF && xLo + man < man) {
        u64 yLo;
        u64 yHi = Mul64(man, pw[0], &yLo);
        u64 mergedHi = xHi, mergedLo = xLo + yHi;
        if (mergedLo < xLo) ++mergedHi;
        if ((mergedHi & 0x1FF) == 0x1FF && mergedLo + 1 == 0 && yLo + man < man) return false;
        xHi = mergedHi;
        xLo = mergedLo;
    }
    u64 msb = xHi >> 63;
    u64 mant = xHi >> (msb + 9);
    retExp2 -= 1 ^ msb;
    if (xLo == 0 && (xHi & 0x1FF) == 0 && (mant & 3) == 1) return false;   // maybe a tie
    mant += mant & 1;
    mant >>= 1;
    if (mant >> 53) {
        mant >>= 1;
        ++retExp2;
    }
    if (retExp2 - 1 >= 0x7FF - 1) return false;   // subnormal or overflow
    u64 bits = retExp2 << 52 | (mant & 0x000FFFFFFFFFFFFFull);
    if (neg) bits |= 0x8000000000000000ull;
    *out = FromBits(bits);
    return true;
}

// A non-negative double as m * 2^q, q >= -1074; `inf` stands past the largest.
struct Binary {
    u64 m;
    int q;
    bool inf;
};

const u64 kHidden = 1ull << 52;

// A candidate within an ulp or so of w * 10^e10 (truncated, never rounded).
Binary Approximate(u64 w, int e10) {
    int clz = __builtin_clzll(w);
    u64 lo;
    u64 hi = Mul64(w << clz, kPowersOfTen[e10 - kPowersOfTenMin][1], &lo);
    int lz = hi >> 63 ? 0 : 1;
    hi <<= lz;
    Binary b = {hi >> 11, Log2Pow10(e10) + 12 - clz - lz, false};
    if (b.q < -1074) {
        int shift = -1074 - b.q;
        b.m = shift >= 64 ? 0 : b.m >> shift;
        b.q = -1074;
    }
    if (b.q > 971) b = {0, 0, true};
    return b;
}

// Sign of (digits * 10^e) - (mid * 2^k), where digits are the significant
// digits of d (at most kMaxExactDigits, then a 1 standing for the rest).
int CompareExact(const Decimal& d, u64 mid, int k) {
    Big left, right(mid);
    unsigned used = 0, chunk = 0, chunkDigits = 0;
    bool started = false, sticky = false;
    for (const wchar_t* p = d.mant; p < d.mantEnd; ++p) {
        if (*p == L'.') continue;
        if (!started && *p == L'0') continue;
        started = true;
        if (used == kMaxExactDigits) {
            if (*p != L'0') sticky = true;
            continue;
        }
        chunk = chunk * 10 + static_cast<u32>(*p - L'0');
        ++used;
        if (++chunkDigits == 9) {
            left.MulAdd(1000000000u, chunk);
            chunk = chunkDigits = 0;
        }
    }
    if (sticky) {
        chunk = chunk * 10 + 1;
        ++chunkDigits;
        ++used;
    }
    if (chunkDigits) {
        static const u32 kPow10[10] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000,
                                       100000000, 1000000000};
        left.MulAdd(kPow10[chunkDigits], chunk);
    }
    long long e = d.dp - static_cast<long long>(used);
    if (e >= 0)
        left.MulPow5(static_cast<unsigned>(e));
    else
        right.MulPow5(static_cast<unsigned>(-e));
    long long s = e - k;
    if (s > 0)
        left.ShiftLeft(static_cast<unsigned>(s));
    else
        right.ShiftLeft(static_cast<unsigned>(-s));
    return Big::Compare(left, right);
}

// Walks the candidate up or down to the correctly rounded double (ties to
// the even mantissa). The candidate is close, so this takes a step or two.
Binary RoundExact(const Decimal& d, Binary c) {
    for (;;) {   // up, while the value lies above the midpoint to the next double
        if (c.inf) return c;
        int cmp = CompareExact(d, 2 * c.m + 1, c.q - 1);
        if (cmp < 0 || (cmp == 0 && (c.m & 1) == 0)) break;
        ++c.m;
        if (c.m == 2 * kHidden) {
            c.m = kHidden;
            if (++c.q > 971) c.inf = true;
        }
    }
    for (;;) {   // down, while it lies below the midpoint to the previous one
        if (c.m == 0) return c;
        bool binade = c.m == kHidden && c.q > -1074;
        u64 mid = binade ? 4 * kHidden - 1 : 2 * c.m - 1;
        int cmp = CompareExact(d, mid, binade ? c.q - 2 : c.q - 1);
        if (cmp > 0 || (cmp == 0 && (c.m & 1) == 0)) return c;
        if (binade) {
            c.m = 2 * kHidden - 1;
            --c.q;
        } else {
            --c.m;
        }
    }
}

double ToDouble(const Binary& b, bool negative) {
    u64 bits;
    if (b.inf)
        bits = 0x7FF0000000000000ull;
    else if (b.m < kHidden)
        bits = b.m;   // subnormal (or zero)
    else
        bits = static_cast<u64>(b.q + 1075) << 52 | (b.m & (kHidden - 1));
    if (negative) bits |= 0x8000000000000000ull;
    return FromBits(bits);
}

// Exact double arithmetic only where it rounds once: not on x87.
#if defined(__SSE2_MATH__) || defined(__x86_64__)
const bool kExactDoubleMath = true;
#else
const bool kExactDoubleMath = false;
#endif

const double kExactPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}   // namespace

bool ScanInteger(const wchar_t* s, unsigned n, unsigned long long* value) {
    unsigned i = 0;
    bool negative = false;
    if (i < n && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
    if (i == n) return false;
    u64 v = 0;
    bool saturated = false;
    for (; i < n; ++i) {
        wchar_t c = s[i];
        if (c < L'0' || c > L'9') return false;
        u64 digit = static_cast<u64>(c - L'0');
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
    Decimal d;
    if (!ParseDecimal(s, n, &d)) return false;
    double sign = d.negative ? -1.0 : 1.0;
    if (d.nd == 0 || d.dp < -329) {   // below half the smallest subnormal
        *value = sign * 0.0;
        return true;
    }
    if (d.dp > 310) {
        *value = ToDouble(Binary{0, 0, true}, d.negative);
        return true;
    }
    int e10 = static_cast<int>(d.dp) - static_cast<int>(d.nd < 19 ? d.nd : 19);
    if (d.nd <= 19) {
        if (kExactDoubleMath && d.w <= (1ull << 53) && e10 >= -22 && e10 <= 22) {
            double x = static_cast<double>(d.w);
            x = e10 < 0 ? x / kExactPow10[-e10] : x * kExactPow10[e10];
            *value = sign * x;
            return true;
        }
        if (EiselLemire(d.w, e10, d.negative, value)) return true;
    } else {
        double lo, hi;
        if (EiselLemire(d.w, e10, d.negative, &lo) && EiselLemire(d.w + 1, e10, d.negative, &hi) &&
            lo == hi) {
            *value = lo;
            return true;
        }
    }
    *value = ToDouble(RoundExact(d, Approximate(d.w, e10)), d.negative);
    return true;
}

// ---- printing ----

namespace {

// Significant digits of a positive double: value = 0.D * 10^(x+1), i.e. the
// first digit stands for 10^x. `sticky` says nonzero digits were left out.
struct Digits {
    char d[800];
    unsigned len = 0;
    int x = 0;
    bool sticky = false;
};

unsigned U64Digits(u64 v, char* out) {
    char tmp[20];
    unsigned k = 0;
    do {
        tmp[k++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    for (unsigned i = 0; i < k; ++i) out[i] = tmp[k - 1 - i];
    return k;
}

// All decimal digits of a Big (which it consumes).
unsigned BigDigits(Big& b, char* out, unsigned room) {
    char tmp[900];
    unsigned k = 0;
    while (b.n && k + 9 <= sizeof tmp) {
        u32 r = b.DivSmall(1000000000u);
        for (int i = 0; i < 9; ++i, r /= 10) tmp[k++] = static_cast<char>('0' + r % 10);
    }
    while (k > 1 && tmp[k - 1] == '0') --k;
    unsigned len = k < room ? k : room;
    for (unsigned i = 0; i < len; ++i) out[i] = tmp[k - 1 - i];
    return k;
}

void ExactDigits(u64 m, int q, Digits* g) {
    if (q >= 0 && q <= 11) {
        g->len = U64Digits(m << q, g->d);
        g->x = static_cast<int>(g->len) - 1;
        return;
    }
    if (q < 0 && q >= -60) {
        unsigned s = static_cast<unsigned>(-q);
        u64 ip = m >> s, frac = m & ((1ull << s) - 1);
        int x = -1;
        if (ip) {
            g->len = U64Digits(ip, g->d);
            x = static_cast<int>(g->len) - 1;
        }
        while (frac && g->len < 18) {
            frac *= 10;
            char digit = static_cast<char>('0' + (frac >> s));
            frac &= (1ull << s) - 1;
            if (g->len == 0 && digit == '0') {
                --x;
                continue;
            }
            g->d[g->len++] = digit;
        }
        g->x = x;
        g->sticky = frac != 0;
        return;
    }
    Big b(m);
    if (q > 0)
        b.ShiftLeft(static_cast<unsigned>(q));
    else
        b.MulPow5(static_cast<unsigned>(-q));
    unsigned total = BigDigits(b, g->d, sizeof g->d);
    g->len = total < sizeof g->d ? total : sizeof g->d;
    g->x = static_cast<int>(total) - 1 + (q < 0 ? q : 0);
}

}   // namespace

unsigned FormatDouble(double v, wchar_t* out) {
    u64 bits;
    memcpy(&bits, &v, sizeof bits);
    unsigned k = 0;
    unsigned expField = static_cast<unsigned>(bits >> 52) & 0x7FF;
    u64 frac = bits & (kHidden - 1);
    if (expField == 0x7FF && frac) {
        for (const char* t = "null"; *t; ++t) out[k++] = static_cast<wchar_t>(*t);
        return k;
    }
    if (bits >> 63) out[k++] = L'-';

    const unsigned kPrecision = 16;
    char d[kPrecision];
    int x = 0;
    if (expField == 0x7FF) {
        memset(d, '0', sizeof d);
        d[0] = '1';
        x = 999;
    } else if (expField == 0 && frac == 0) {
        memset(d, '0', sizeof d);
    } else {
        Digits g;
        if (expField)
            ExactDigits(frac | kHidden, static_cast<int>(expField) - 1075, &g);
        else
            ExactDigits(frac, -1074, &g);
        while (g.len <= kPrecision) g.d[g.len++] = '0';
        x = g.x;
        // Round the exact digits to 16, ties to even.
        bool up = g.d[kPrecision] > '5';
        if (g.d[kPrecision] == '5') {
            bool beyond = g.sticky;
            for (unsigned i = kPrecision + 1; i < g.len && !beyond; ++i) beyond = g.d[i] != '0';
            up = beyond || ((g.d[kPrecision - 1] - '0') & 1);
        }
        memcpy(d, g.d, kPrecision);
        if (up) {
            int i = kPrecision - 1;
            while (i >= 0 && d[i] == '9') d[i--] = '0';
            if (i >= 0) {
                ++d[i];
            } else {
                d[0] = '1';
                ++x;
            }
        }
    }

    if (x < -4 || x >= static_cast<int>(kPrecision)) {
        out[k++] = static_cast<wchar_t>(d[0]);
        out[k++] = L'.';
        for (unsigned i = 1; i < kPrecision; ++i) out[k++] = static_cast<wchar_t>(d[i]);
        out[k++] = L'e';
        out[k++] = x < 0 ? L'-' : L'+';
        unsigned ax = static_cast<unsigned>(x < 0 ? -x : x);
        out[k++] = static_cast<wchar_t>(L'0' + ax / 100);
        out[k++] = static_cast<wchar_t>(L'0' + ax / 10 % 10);
        out[k++] = static_cast<wchar_t>(L'0' + ax % 10);
    } else if (x >= 0) {
        for (int i = 0; i <= x; ++i) out[k++] = static_cast<wchar_t>(d[i]);
        out[k++] = L'.';
        for (unsigned i = static_cast<unsigned>(x) + 1; i < kPrecision; ++i)
            out[k++] = static_cast<wchar_t>(d[i]);
    } else {
        out[k++] = L'0';
        out[k++] = L'.';
        for (int i = -1; i > x; --i) out[k++] = L'0';
        for (unsigned i = 0; i < kPrecision; ++i) out[k++] = static_cast<wchar_t>(d[i]);
    }
    return k;
}

unsigned FormatInt64(long long v, wchar_t* out) {
    u64 u = static_cast<u64>(v);
    unsigned k = 0;
    if (v < 0) {
        out[k++] = L'-';
        u = 0 - u;
    }
    char tmp[20];
    unsigned n = U64Digits(u, tmp);
    for (unsigned i = 0; i < n; ++i) out[k++] = static_cast<wchar_t>(tmp[i]);
    return k;
}

} // namespace zo

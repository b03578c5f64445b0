// Base64 encoding and the forgiving-but-strict decoding of JSON binary values.
#include "data/Base64.h"

namespace zo {

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value of each ASCII unit in the alphabet, -1 outside it.
struct DecodeTable {
    signed char value[128];
    DecodeTable() {
        for (int i = 0; i < 128; ++i) value[i] = -1;
        for (int i = 0; i < 64; ++i) value[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
    }
};
const DecodeTable kDecode;

}   // namespace

unsigned Base64EncodedLength(unsigned n) { return (n + 2) / 3 * 4; }

unsigned Base64Encode(const void* data, unsigned n, wchar_t* out) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    unsigned k = 0, i = 0;
    for (; i + 3 <= n; i += 3) {
        unsigned v = p[i] << 16 | p[i + 1] << 8 | p[i + 2];
        out[k++] = kAlphabet[v >> 18];
        out[k++] = kAlphabet[v >> 12 & 63];
        out[k++] = kAlphabet[v >> 6 & 63];
        out[k++] = kAlphabet[v & 63];
    }
    if (i < n) {
        unsigned v = p[i] << 16 | (i + 1 < n ? p[i + 1] << 8 : 0);
        out[k++] = kAlphabet[v >> 18];
        out[k++] = kAlphabet[v >> 12 & 63];
        out[k++] = i + 1 < n ? kAlphabet[v >> 6 & 63] : L'=';
        out[k++] = L'=';
    }
    return k;
}

bool Base64Decode(const wchar_t* text, unsigned n, unsigned char* out, unsigned* written) {
    *written = 0;
    unsigned k = 0, group = 0, inGroup = 0, pads = 0;
    for (unsigned i = 0; i < n; ++i) {
        wchar_t c = text[i];
        if (c == L'\n') continue;
        if (c == L'\r' && i + 1 < n && text[i + 1] == L'\n') continue;
        if (c == L'=') {
            if (++pads > 2) return false;
        } else {
            if (c >= 128 || kDecode.value[c] < 0 || pads) return false;
            group = group << 6 | static_cast<unsigned>(kDecode.value[c]);
        }
        if (++inGroup < 4) continue;
        // A whole group: pads stand for missing low bits.
        unsigned bits = group << (6 * pads);
        out[k++] = static_cast<unsigned char>(bits >> 16);
        if (pads < 2) out[k++] = static_cast<unsigned char>(bits >> 8);
        if (pads < 1) out[k++] = static_cast<unsigned char>(bits);
        group = inGroup = 0;
    }
    *written = k;
    return true;
}

} // namespace zo

// Exact conversions between numbers and the decimal text of the JSON format,
// on <charconv>, so that no result depends on which C runtime is linked or
// on its locale. All functions work on caller-owned buffers and keep no state.
#pragma once

namespace zo {

// Room every Format* call needs, in units.
const unsigned kNumberTextRoom = 32;

// Reads a whole token as an unsigned 64-bit decimal the way the C library's
// base-10 conversion does: an optional sign and at least one digit 0-9, and
// nothing else. A magnitude above 2^64-1 saturates to 2^64-1 (even with a
// minus sign); otherwise a minus sign negates modulo 2^64.
bool ScanInteger(const wchar_t* text, unsigned n, unsigned long long* value);

// Reads a whole token as a decimal double, correctly rounded: an optional
// sign, digits with an optional point (at least one digit), and an optional
// exponent introduced by e, E, d or D. Too large a magnitude gives an
// infinity; there are no names for infinity or NaN and no hexadecimal form.
bool ScanDouble(const wchar_t* text, unsigned n, double* value);

// Writes v like printf's "%#.16g" with a sign and at least three exponent
// digits: 1e20 is "1.000000000000000e+020". An infinity is written as the
// out-of-range number "1.000000000000000e+999" (which reads back as an
// infinity), a NaN as "null". Returns the units written; no terminator.
unsigned FormatDouble(double v, wchar_t* out);

// Writes v in decimal with a leading minus for negatives; no terminator.
unsigned FormatInt64(long long v, wchar_t* out);

} // namespace zo

// Table of 128-bit approximations of the powers of ten used by the decimal
// scanner; the table itself is generated data in PowersOfTen.cpp.
#pragma once

namespace zo {

const int kPowersOfTenMin = -348;   // exponent of the first entry
const int kPowersOfTenMax = 347;    // exponent of the last entry
const int kPowersOfTenCount = kPowersOfTenMax - kPowersOfTenMin + 1;

// {low 64 bits, high 64 bits} of 10^e scaled to [2^127, 2^128), rounded down.
extern const unsigned long long kPowersOfTen[kPowersOfTenCount][2];

} // namespace zo

// Base64 of binary values: the encoding and the round trip of every byte;
// the decoding rules are covered through the reader's binary table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/Base64.h"

namespace {

std::wstring Encode(const std::string& bytes) {
    std::vector<wchar_t> out(zo::Base64EncodedLength(static_cast<unsigned>(bytes.size())) + 1);
    unsigned n = zo::Base64Encode(bytes.data(), static_cast<unsigned>(bytes.size()), out.data());
    return std::wstring(out.data(), n);
}

bool Decode(const std::wstring& text, std::string* bytes) {
    std::vector<unsigned char> out(text.size() / 4 * 3 + 1);
    unsigned n = 99;
    bool ok = zo::Base64Decode(text.data(), static_cast<unsigned>(text.size()), out.data(), &n);
    bytes->assign(out.begin(), out.begin() + n);
    return ok;
}

TEST(Base64, EncodesWithPaddingAndTheStandardAlphabet) {
    EXPECT_EQ(L"", Encode(""));
    EXPECT_EQ(L"Zg==", Encode("f"));
    EXPECT_EQ(L"Zm8=", Encode("fo"));
    EXPECT_EQ(L"Zm9v", Encode("foo"));
    EXPECT_EQ(L"Zm9vYmFy", Encode("foobar"));
    EXPECT_EQ(L"+/8=", Encode("\xfb\xff"));
    EXPECT_EQ(8u, zo::Base64EncodedLength(4));
}

TEST(Base64, EveryByteValueSurvivesTheRoundTrip) {
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    for (size_t n = 0; n <= all.size(); ++n) {   // every length, so every value ends a text too
        std::string back;
        ASSERT_TRUE(Decode(Encode(all.substr(0, n)), &back));
        EXPECT_EQ(all.substr(0, n), back);
    }
}

} // namespace

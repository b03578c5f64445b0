// Number text: exact "%#.16g" output, correctly rounded decimal input, and
// agreement with the C runtime where that runtime is exact. The integer
// conversion is covered through the reader's token table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "data/NumberText.h"

namespace {

std::wstring Format(double v) {
    wchar_t out[zo::kNumberTextRoom];
    return std::wstring(out, zo::FormatDouble(v, out));
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

unsigned long long Bits(double d) {
    unsigned long long b;
    memcpy(&b, &d, sizeof b);
    return b;
}

double FromBits(unsigned long long b) {
    double d;
    memcpy(&d, &b, sizeof d);
    return d;
}

bool Scan(const std::string& text, double* d) {
    std::wstring w(text.begin(), text.end());
    return zo::ScanDouble(w.data(), static_cast<unsigned>(w.size()), d);
}

// The 16 significant digits of a positive v and its decimal exponent, as the
// runtime's "%.15e" gives them and as our text shows them (either form).
std::string RuntimeDigits(double v, int* exponent) {
    char ref[64];
    snprintf(ref, sizeof ref, "%.15e", v);
    *exponent = atoi(ref + 18);
    return std::string(1, ref[0]) + std::string(ref + 2, ref + 17);
}

std::string OurDigits(double v, int* exponent) {
    std::string plain = Narrow(Format(v));
    size_t e = plain.find('e');
    if (e != std::string::npos) {
        *exponent = std::stoi(plain.substr(e + 1));
        return plain.substr(0, 1) + plain.substr(2, e - 2);
    }
    size_t point = plain.find('.'), first = plain.find_first_not_of("0.");
    *exponent = first < point ? static_cast<int>(point - first) - 1 : -static_cast<int>(first - point);
    std::string digits = plain.substr(first);
    digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
    return digits;
}

// Runs `count` doubles from next() against the runtime; stops after five
// mismatches.
template <class Next>
void ExpectAgreesWithTheRuntime(int count, Next next) {
    int mismatches = 0;
    for (int i = 0; i < count && mismatches < 5; ++i) {
        double v = next(i);
        if (std::isnan(v) || std::isinf(v)) continue;
        int want = 0, got = 0;
        std::string ref = RuntimeDigits(std::fabs(v), &want), ours = OurDigits(std::fabs(v), &got);
        if (ours != ref || got != want) {
            ADD_FAILURE() << ref << "e" << want << " vs " << Narrow(Format(std::fabs(v)));
            ++mismatches;
        }
    }
}

struct Formatted {
    double value;
    const wchar_t* text;
};

// The digits carry into the next power of ten (1e-6 is 9.99...95e-7 as a
// double), ties at the 17th digit, and the ends of the range: the layout
// must follow the rounded digits, and nothing may be rounded twice.
TEST(FormatDouble, SixteenDigitsPointAlwaysThreeExponentDigitsRoundedOnce) {
    const Formatted table[] = {
        {1.5, L"1.500000000000000"}, {100, L"100.0000000000000"}, {0.1, L"0.1000000000000000"},
        {1e15, L"1000000000000000."}, {1e20, L"1.000000000000000e+020"}, {1e-5, L"1.000000000000000e-005"},
        {0, L"0.000000000000000"}, {-0.0, L"-0.000000000000000"}, {1e-4, L"0.0001000000000000000"},
        {-2.5, L"-2.500000000000000"}, {1e16, L"1.000000000000000e+016"},
        {9999999999999999.0, L"1.000000000000000e+016"}, {123456789012345678.0, L"1.234567890123457e+017"},
        {0.00009999999999999999, L"9.999999999999999e-005"}, {0.30000000000000004, L"0.3000000000000000"},
        {1.0 / 3, L"0.3333333333333333"},
        {1000000000000000.5, L"1000000000000000."},   // a tie goes to the even digit
        {1000000000000001.5, L"1000000000000002."}, {5e-324, L"4.940656458412465e-324"},
        {2.2250738585072014e-308, L"2.225073858507201e-308"}, {1.7976931348623157e308, L"1.797693134862316e+308"},
        {HUGE_VAL, L"1.000000000000000e+999"}, {-HUGE_VAL, L"-1.000000000000000e+999"}, {std::nan(""), L"null"},
        {1e-6, L"1.000000000000000e-006"}, {1e-7, L"1.000000000000000e-007"}, {1e24, L"1.000000000000000e+024"},
        {1234567890123456.5, L"1234567890123456."}, {1234567890123457.5, L"1234567890123458."},
        {100000000000000.25, L"100000000000000.2"}, {123456789012345.67, L"123456789012345.7"},
        {0.00012345678901234567, L"0.0001234567890123457"}, {1e-300, L"1.000000000000000e-300"},
        {2.2250738585072009e-308, L"2.225073858507201e-308"}, {1.5e-323, L"1.482196937523740e-323"},
        {-1e21, L"-1.000000000000000e+021"},
    };
    for (const Formatted& f : table) EXPECT_EQ(std::wstring(f.text), Format(f.value)) << f.text;
}

// The runtime's "%.15e" is exact on this toolchain; ours must agree digit for
// digit on any double, exponent width aside.
TEST(FormatDouble, AgreesWithTheRuntimeOnRandomDoubles) {
    std::mt19937_64 rng(20240601);
    ExpectAgreesWithTheRuntime(200000, [&](int) { return FromBits(rng()); });
}

// Doubles from 2^-72 to 2^-8 print from a wide fraction of their own: all
// their digits must still agree with the runtime's, ties included.
TEST(FormatDouble, AgreesWithTheRuntimeBelowOneDensely) {
    std::mt19937_64 rng(20261207);
    ExpectAgreesWithTheRuntime(50000, [&](int i) {
        int exponent = -72 + static_cast<int>(rng() % 65);
        unsigned long long mantissa = rng() & ((1ull << 52) - 1);
        if (i % 4 == 0) mantissa &= ~((1ull << (rng() % 52)) - 1);   // short binary fractions: more ties
        return FromBits(static_cast<unsigned long long>(exponent + 1023) << 52 | mantissa);
    });
}

struct Scanned {
    std::string text;
    unsigned long long bits;
};

std::string Zeros(size_t n) { return std::string(n, '0'); }
// A hair above and a hair below an exact decimal.
std::string Above(const std::string& m) { return m + "000001"; }
std::string Below(const std::string& m) {
    std::string s = m;
    --s.back();
    return s + std::string(30, '9');
}

// Exact decimal midpoints between neighbouring doubles: half the smallest
// subnormal, above 0.1, above 1, between the largest subnormal and the
// smallest normal, near 1e300, between 3 and 4 times the smallest subnormal.
const std::string kHalfMinSub = "0." + Zeros(323) +
    "247032822920623272088284396434110686182529901307162382212792841250337753635104375932649918180817996189898282"
    "347722858865463328355177969898199387398005390939063150356595155702263922908583924491051844359318028499365361"
    "525003193704576782492193656236698636584807570015857692699037063119282795585513329278343384093519780155312465"
    "972635795746227664652728272200563740064854999770965994704540208281662262378573934507363390079677619305775067"
    "401763246736009689513405355374585166611342237666786041621596804619144672918403005300575308490487653917113865"
    "916462395249126236538818796362393732804238910186723484976682350898633885879256283027559956575244555072551893"
    "13690836254779186948667994968324049705821028513185451396213837722826145437693412532098591327667236328125";
const std::string kTenth = "0.100000000000000012490009027033011079765856266021728515625";
const std::string kOne = "1.00000000000000011102230246251565404236316680908203125";
const std::string kMinNormal = "0." + Zeros(307) +
    "222507385850720163012305563795567615250361241457301801308322872404958664760675944619203679411688695321398552"
    "054903200090343478188441232557218436756334761702051817599892294139362996674259828589999483014897143355557856"
    "769327930601597818316214242506796246078529588519927249357768832073249247992481686923224716596493432925878395"
    "010225097395757951057160073834364573849432419299709217920738991976169431413149717326525502008499797367678374"
    "315520581880443916381057236779117517775622749741380425338708447819365553307386742083452616251302946202273010"
    "905482006765402020154711200202813970014157525912344017736224427371246815175018974555997865323425588621961151"
    "633592416795802960447706494647018477736093430045142168360701364747951396213837722826145437693412532098591327"
    "667236328125";
const std::string kNear1e300 =
    "100000000000000012685560567909357338860759348860318716147886419848152541077750116158340423310066654130212016"
    "864070140766687871274500908309837405446203199237238991625604630709288637225616778178719368944494985764345704"
    "0908156539501183462088086674146902434205806252960993440370942179392028053726841274368";
const std::string kThreeAndAHalf = "0." + Zeros(322) +
    "172922976044436290461799077503877480327770930915013667548954988875236427544573063152854942726572597332928797"
    "643406001205824329848624578928739571178603773657344205249616608991584746036008747143736291051522619949555753"
    "067502235593203747744535559365689045609365299011100384889325944183497956909859330494840368865463846108718726"
    "180845057022359365256909790540394618045398499839676196293178145797163583665001754155154373055774333514042547"
    "181234272715206782659383748762209616627939566366750229135117763233401271042882103710402715943341357741979706"
    "141523676674388365577173157453675612962967237130706439483677645629043720115479398119291969602671188550786325"
    "195835853783454308640675964778268347940747199592298159773496864059783018063853887724690139293670654296875";
// The leading digits of the overflow threshold.
const std::string kOverflowHead =
    "179769313486231580793728971405303415079934132710037826936173778980444968292764750946649017977587207096330286"
    "416692887910946555547851940402630657488671505820681908902000708383676273854845817711531764475730270069855571"
    "36695962284291481986083493647529271907416844436551070434271155969950809304288017790417449779";

// The midpoints, a hair above and below them, subnormals, the overflow edge
// and very long inputs.
const Scanned kHard[] = {
    {kHalfMinSub, 0x0000000000000000ULL}, {kHalfMinSub + "1", 1}, {kHalfMinSub + Zeros(100) + "1", 1},
    {kTenth, 0x3FB999999999999AULL}, {Above(kTenth), 0x3FB999999999999BULL}, {Below(kTenth), 0x3FB999999999999AULL},
    {kOne, 0x3FF0000000000000ULL}, {Above(kOne), 0x3FF0000000000001ULL}, {Below(kOne), 0x3FF0000000000000ULL},
    {"9007199254740993", 0x4340000000000000ULL}, {Above("9007199254740993"), 0x447E848000000001ULL},
    {Below("9007199254740993"), 0x49793E5939A08CEBULL},
    {kMinNormal, 0x0010000000000000ULL}, {Above(kMinNormal), 0x0010000000000001ULL},
    {Below(kMinNormal), 0x0010000000000000ULL},
    {kNear1e300, 0x7E37E43C8800759CULL}, {Above(kNear1e300), 0x7F76C8E5CA23902AULL},
    {Below(kNear1e300), 0x7FF0000000000000ULL},
    {kThreeAndAHalf, 4}, {Above(kThreeAndAHalf), 4}, {Below(kThreeAndAHalf), 3},
    {kOverflowHead + "499999", 0x7FF0000000000000ULL}, {kOverflowHead + "2", 0x7FF0000000000000ULL},
    {"2.2250738585072011e-308", 0x000FFFFFFFFFFFFFULL}, {"2.2250738585072012e-308", 0x0010000000000000ULL},
    {"1.7976931348623158e308", 0x7FEFFFFFFFFFFFFFULL}, {"1.7976931348623159e308", 0x7FF0000000000000ULL},
    {"9007199254740995", 0x4340000000000002ULL}, {"7.2057594037927933e16", 0x4370000000000000ULL},
    {"1e23", 0x44B52D02C7E14AF6ULL}, {"8.98846567431158e307", 0x7FE0000000000000ULL},
    {"4.9406564584124654e-324", 1}, {"1e-310", 0x000012688B70E62BULL}, {"123.456e-315", 0x00000005D16326A8ULL},
    {"1" + Zeros(900) + "e-900", 0x3FF0000000000000ULL}, {"0." + Zeros(400) + "1e400", 0x3FB999999999999AULL},
    {"179769313486231580793728971405301e276", 0x7FEFFFFFFFFFFFFFULL}, {"0." + Zeros(44) + "1e-280", 0},
};

void ExpectScans(const Scanned* begin, const Scanned* end) {
    for (const Scanned* s = begin; s != end; ++s) {
        double d = -1;
        ASSERT_TRUE(Scan(s->text, &d)) << s->text;
        EXPECT_EQ(s->bits, Bits(d)) << s->text;
    }
}

TEST(ScanDouble, HardCasesRoundCorrectly) { ExpectScans(std::begin(kHard), std::end(kHard)); }

// Halfway between the subnormals, half the smallest one, the edge of the
// normals, and exponents past either end, also when the point and the
// exponent pull in opposite directions.
TEST(ScanDouble, BoundariesOfSubnormalsAndOverflow) {
    const Scanned table[] = {
        {"2.4703282292062327e-324", 0x0000000000000000ULL}, {"2.4703282292062328e-324", 0x0000000000000001ULL},
        {"-2.4703282292062328e-324", 0x8000000000000001ULL}, {"7.4109846876186981e-324", 0x0000000000000001ULL},
        {"7.4109846876186982e-324", 0x0000000000000002ULL}, {"2.2250738585072009e-308", 0x000FFFFFFFFFFFFFULL},
        {"2.2250738585072014e-308", 0x0010000000000000ULL}, {"1.7976931348623157e308", 0x7FEFFFFFFFFFFFFFULL},
        {"0.00001e313", 0x7FE1CCF385EBC8A0ULL}, {"123456789012345678901234567890e-330", 0x01752A64E34BA0D3ULL},
        {"1000000e-329", 0x0000000000000002ULL}, {"100000e-329", 0x0000000000000000ULL},
        {"1e-325", 0x0000000000000000ULL}, {"-1e-325", 0x8000000000000000ULL}, {"0.1e310", 0x7FF0000000000000ULL},
        {"1D309", 0x7FF0000000000000ULL}, {"-1e309", 0xFFF0000000000000ULL},
        {"1234567890123456.5", 0x43118B54F22AEB02ULL}, {"-0", 0x8000000000000000ULL},
        {"1e99999999999999999999", 0x7FF0000000000000ULL}, {"1e-99999999999999999999", 0x0000000000000000ULL},
        {"0e99999", 0x0000000000000000ULL},
    };
    ExpectScans(std::begin(table), std::end(table));
}

TEST(ScanDouble, SeventeenDigitsAlwaysReadBackToTheSameDouble) {
    std::mt19937_64 rng(7);
    int mismatches = 0;
    for (int i = 0; i < 200000 && mismatches < 5; ++i) {
        double v = FromBits(rng());
        if (std::isnan(v) || std::isinf(v)) continue;
        char text[64];
        snprintf(text, sizeof text, i % 2 ? "%.17g" : "%.16e", v);
        double back = 0;
        if (!Scan(text, &back) || Bits(back) != Bits(v)) {
            ADD_FAILURE() << text;
            ++mismatches;
        }
    }
}

// Decimal forms only: the forms the standard conversion would take but this
// format does not fail, next to the lenient forms it does take.
TEST(ScanDouble, SyntaxIsDecimalOnlyAndTakesNoFormBeyondItsOwn) {
    const char* good[] = {"0", "-0", "+1", "1.", ".1", "1e5", "1E+5", "1d-5", "1D5", "00012", "1.5e0003",
                          "-.5", "+.5e-3", "5.D3", "0.", "-0.0e-0", "00.00", "1e0000000000000000000001"};
    for (const char* t : good) {
        double d;
        EXPECT_TRUE(Scan(t, &d)) << t;
    }
    const char* bad[] = {"", "+", "-", ".", "e5", "1e", "1e+", "1.2.3", "1e5.5", "0x1p3", "inf", "nan", "1f",
                         " 1", "1 ", "1,5", "infinity", "-inf", "+nan", "NAN(1)", "1e+-5", "+-1", "--1", "..1",
                         "1e5e5", "0x10", "1p3", "1.e", ".e1", "1.5E+", "1e 5", "1 e5"};
    for (const char* t : bad) {
        double d;
        EXPECT_FALSE(Scan(t, &d)) << t;
    }
}

// What this format prints reads back to a double that prints the same, and
// 17 digits of the extreme doubles read back to the very same double.
TEST(ScanDouble, PrintedTextReadsBack) {
    const unsigned long long extremes[] = {
        0x0000000000000001ULL, 0x000FFFFFFFFFFFFFULL, 0x0010000000000000ULL, 0x0010000000000001ULL,
        0x7FEFFFFFFFFFFFFFULL, 0x4340000000000001ULL, 0x3FB999999999999AULL, 0x44B52D02C7E14AF6ULL,
    };
    for (unsigned long long bits : extremes) {
        char text[64];
        snprintf(text, sizeof text, "%.17g", FromBits(bits));
        double back = 0;
        EXPECT_TRUE(Scan(text, &back) && Bits(back) == bits) << text;
    }
    std::mt19937_64 rng(16);
    int mismatches = 0;
    for (int i = 0; i < 100000 && mismatches < 5; ++i) {
        double v = FromBits(rng());
        if (std::isnan(v)) continue;
        std::wstring printed = Format(v);
        double back = 0;
        if (!zo::ScanDouble(printed.data(), static_cast<unsigned>(printed.size()), &back) || Format(back) != printed) {
            ADD_FAILURE() << Narrow(printed);
            ++mismatches;
        }
    }
}

} // namespace

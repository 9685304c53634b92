#include "FloatFormat.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace faceloom {

namespace {

// 10^k for k = -40 .. 54, each the double nearest to it (exact up to 10^22).
constexpr int kLowestPower = -40;
constexpr double kPowersOfTen[] = {
    1e-40, 1e-39, 1e-38, 1e-37, 1e-36, 1e-35, 1e-34, 1e-33, 1e-32, 1e-31, 1e-30, 1e-29,
    1e-28, 1e-27, 1e-26, 1e-25, 1e-24, 1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17,
    1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,
    1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,   1e7,
    1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,
    1e20,  1e21,  1e22,  1e23,  1e24,  1e25,  1e26,  1e27,  1e28,  1e29,  1e30,  1e31,
    1e32,  1e33,  1e34,  1e35,  1e36,  1e37,  1e38,  1e39,  1e40,  1e41,  1e42,  1e43,
    1e44,  1e45,  1e46,  1e47,  1e48,  1e49,  1e50,  1e51,  1e52,  1e53,  1e54};

double powerOfTen(int k) {
    return kPowersOfTen[k - kLowestPower];
}

char* slowPath(char* out, float value) {
    return std::to_chars(out, out + 16, static_cast<double>(value), std::chars_format::general, 6)
        .ptr;
}

// The text of every three-digit group, and how many zeros it ends with.
struct DigitGroups {
    char text[1000][4];
    std::uint8_t trailingZeros[1000];
};

constexpr DigitGroups makeDigitGroups() {
    DigitGroups groups{};
    for (int v = 0; v < 1000; ++v) {
        groups.text[v][0] = static_cast<char>('0' + v / 100);
        groups.text[v][1] = static_cast<char>('0' + v / 10 % 10);
        groups.text[v][2] = static_cast<char>('0' + v % 10);
        groups.trailingZeros[v] = v == 0 ? 3 : v % 100 == 0 ? 2 : v % 10 == 0 ? 1 : 0;
    }
    return groups;
}

constexpr DigitGroups kDigitGroups = makeDigitGroups();

// Writes the six digits `digits` (100000 to 999999) of a number whose first digit
// stands for 10^exponent, as "%g" does: without trailing zeros, in fixed notation for
// exponents from -4 to 5 and in exponent notation otherwise. Copies whole blocks
// and moves on by what counts: the bytes after the end are scratch, within the
// 16 characters of room `out` has.
char* layOutDigits(char* out, bool negative, std::uint32_t digits, int exponent) {
    const std::uint32_t high = digits / 1000, low = digits % 1000;
    char text[16] = {};
    std::memcpy(text, kDigitGroups.text[high], 4);
    std::memcpy(text + 3, kDigitGroups.text[low], 4);
    const int significant =
        low == 0 ? 3 - kDigitGroups.trailingZeros[high] : 6 - kDigitGroups.trailingZeros[low];
    *out = '-';
    out += negative;
    if (exponent >= 0 && exponent < 6) {
        std::memcpy(out, text, 6);
        if (significant <= exponent + 1) {
            return out + exponent + 1;
        }
        out[exponent + 1] = '.';
        std::memcpy(out + exponent + 2, text + exponent + 1, 6);
        return out + significant + 1;
    }
    if (exponent < 0 && exponent >= -4) {
        std::memcpy(out, "0.000", 5);
        std::memcpy(out + 1 - exponent, text, 6);
        return out + 1 - exponent + significant;
    }
    out[0] = text[0];
    out[1] = '.';
    std::memcpy(out + 2, text + 1, 5);
    out += significant > 1 ? significant + 1 : 1;
    const int magnitude = exponent < 0 ? -exponent : exponent;  // at most 45 for a float
    const char power[4] = {'e', exponent < 0 ? '-' : '+', static_cast<char>('0' + magnitude / 10),
                           static_cast<char>('0' + magnitude % 10)};
    std::memcpy(out, power, 4);
    return out + 4;
}

}  // namespace

char* formatFloat(char* out, float value) {
    // The output runs to tens of millions of numbers, and the library's general
    // formatting (exact for any precision) costs several times the work below. This
    // path scales the float to six integer digits with one double multiplication: the
    // float is exact in a double and the result is off by far less than 1e-9, so the
    // rounding to an integer is right unless the fraction is within that of one half,
    // and those rare near-ties go to the library. Only integer and plain double
    // arithmetic is used: floor() and ilogb() are calls into the C library, costlier
    // here than the rest of the number together.
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const int biasedExponent = static_cast<int>((bits >> 23) & 0xffu);
    if (biasedExponent == 0 || biasedExponent == 0xff) {
        return slowPath(out, value);  // zero, subnormal, infinite or not a number
    }
    const double x = std::fabs(static_cast<double>(value));
    // floor(log10(x)) is this or one more: floor(e * log10(2)) for the binary
    // exponent e, as 78913 / 2^18 approximates log10(2) closely enough for any e a
    // float has. The shift of a negative product rounds down, as floor does (an
    // arithmetic shift: what GCC and Clang do, and the rule from C++20 on).
    int exponent = ((biasedExponent - 127) * 78913) >> 18;
    double scaled = x * powerOfTen(5 - exponent);
    if (scaled >= 1e6) {
        ++exponent;
        scaled = x * powerOfTen(5 - exponent);
    }
    if (scaled < 99999.0 || scaled >= 1e6) {
        return slowPath(out, value);
    }
    // In range, so the conversion truncates to floor(scaled), exactly.
    const auto whole = static_cast<std::uint32_t>(scaled);
    const double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) < 1e-6) {
        return slowPath(out, value);
    }
    std::uint32_t digits = whole + (fraction > 0.5 ? 1 : 0);
    if (digits == 1000000) {  // rounded up to the next power of ten
        digits = 100000;
        ++exponent;
    }
    if (digits < 100000) {
        return slowPath(out, value);
    }

    return layOutDigits(out, value < 0, digits, exponent);
}

}  // namespace faceloom

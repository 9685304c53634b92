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

// Writes the six digits `digits` (100000 to 999999) of a number whose first digit
// stands for 10^exponent, as "%g" does: without trailing zeros, in fixed notation for
// exponents from -4 to 5 and in exponent notation otherwise.
char* layOutDigits(char* out, bool negative, std::uint32_t digits, int exponent) {
    char text[6];
    for (int i = 5; i >= 0; --i) {
        text[i] = static_cast<char>('0' + digits % 10);
        digits /= 10;
    }
    int significant = 6;
    while (text[significant - 1] == '0') {
        --significant;
    }

    if (negative) {
        *out++ = '-';
    }
    if (exponent < -4 || exponent >= 6) {
        *out++ = text[0];
        if (significant > 1) {
            *out++ = '.';
            for (int i = 1; i < significant; ++i) {
                *out++ = text[i];
            }
        }
        *out++ = 'e';
        *out++ = exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;  // at most 45 for a float
        *out++ = static_cast<char>('0' + magnitude / 10);
        *out++ = static_cast<char>('0' + magnitude % 10);
    } else if (exponent >= 0) {
        for (int i = 0; i <= exponent; ++i) {
            *out++ = text[i];
        }
        if (significant > exponent + 1) {
            *out++ = '.';
            for (int i = exponent + 1; i < significant; ++i) {
                *out++ = text[i];
            }
        }
    } else {
        *out++ = '0';
        *out++ = '.';
        for (int i = exponent + 1; i < 0; ++i) {
            *out++ = '0';
        }
        for (int i = 0; i < significant; ++i) {
            *out++ = text[i];
        }
    }
    return out;
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

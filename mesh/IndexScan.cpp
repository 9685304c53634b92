#include "IndexScan.h"

#include <limits>

namespace faceloom {

namespace {

constexpr std::uint64_t kSaturated = std::uint64_t{1} << 40;  // far beyond any 32-bit index

struct SignedNumber {
    bool negative = false;
    std::uint64_t magnitude = 0;
};

// The "%u" conversion: optional sign, then at least one decimal digit.
bool scanNumber(const char*& p, const char* end, SignedNumber& number) {
    const char* q = p;
    number = SignedNumber{};
    if (q != end && (*q == '+' || *q == '-')) {
        number.negative = (*q == '-');
        ++q;
    }
    if (q == end || *q < '0' || *q > '9') {
        return false;
    }
    for (; q != end && *q >= '0' && *q <= '9'; ++q) {
        if (number.magnitude < kSaturated) {
            number.magnitude = number.magnitude * 10 + static_cast<std::uint64_t>(*q - '0');
        }
    }
    p = q;
    return true;
}

unsigned int resolve(const SignedNumber& number, std::uint32_t countSoFar) {
    if (!number.negative) {
        constexpr std::uint64_t kLargest = std::numeric_limits<std::uint32_t>::max();
        return static_cast<unsigned int>(number.magnitude > kLargest ? kLargest : number.magnitude);
    }
    if (number.magnitude == 0 || number.magnitude > countSoFar) {
        return 0;
    }
    return static_cast<unsigned int>(countSoFar + 1 - number.magnitude);
}

}  // namespace

Corner scanCorner(const std::string& token, bool withTexture,
                              std::uint32_t positionsSoFar, std::uint32_t uvsSoFar) {
    Corner corner;
    const char* p = token.data();
    const char* end = p + token.size();
    SignedNumber number;
    if (!scanNumber(p, end, number)) {
        return corner;
    }
    corner.position = resolve(number, positionsSoFar);
    if (withTexture && p != end && *p == '/') {
        ++p;
        if (scanNumber(p, end, number)) {
            corner.texture = resolve(number, uvsSoFar);
        }
    }
    return corner;
}

}  // namespace faceloom

#include "TextEncoding.h"

#include <cstdint>

namespace faceloom {

namespace {

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xc0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xe0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    }
}

std::string decodeUtf16(const std::string& text, bool bigEndian) {
    const auto unit = [&](std::size_t i) {
        const auto hi = static_cast<unsigned char>(text[bigEndian ? i : i + 1]);
        const auto lo = static_cast<unsigned char>(text[bigEndian ? i + 1 : i]);
        return static_cast<std::uint32_t>(hi << 8 | lo);
    };
    std::string out;
    out.reserve(text.size() / 2);
    const std::size_t end = text.size() - text.size() % 2;
    for (std::size_t i = 2; i < end; i += 2) {  // after the mark
        std::uint32_t code = unit(i);
        if (code >= 0xd800 && code < 0xdc00 && i + 2 < end && unit(i + 2) >= 0xdc00 &&
            unit(i + 2) < 0xe000) {
            code = 0x10000 + ((code - 0xd800) << 10) + (unit(i + 2) - 0xdc00);
            i += 2;
        } else if (code >= 0xd800 && code < 0xe000) {
            code = 0xfffd;
        }
        appendUtf8(out, code);
    }
    return out;
}

}  // namespace

std::string withoutByteOrderMark(std::string text) {
    if (text.compare(0, 3, "\xef\xbb\xbf") == 0) {
        return text.erase(0, 3);
    }
    if (text.compare(0, 2, "\xff\xfe") == 0) {
        return decodeUtf16(text, false);
    }
    if (text.compare(0, 2, "\xfe\xff") == 0) {
        return decodeUtf16(text, true);
    }
    return text;
}

}  // namespace faceloom

#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>

#include "FilledLater.h"

namespace faceloom {

// The decimal texts of the 1-based file indices of items 0 .. count - 1, made once: the
// facet lines name every vertex about four times, and copying a text is several times
// faster than making it. Each text is kept in 8 bytes, its digits first and its length
// last; indices of eight digits and more are made as they come.
class IndexTexts {
public:
    explicit IndexTexts(std::size_t count);

    // Writes the index of `item` at `out`, which has room for 10 characters and 8
    // more; returns the end of what it wrote.
    char* write(char* out, std::uint32_t item) const {
        if (item < texts_.size()) {
            const Text& text = texts_[item];
            std::memcpy(out, text.bytes, sizeof text.bytes);
            return out + text.bytes[7];
        }
        return std::to_chars(out, out + 10, std::uint64_t{item} + 1).ptr;
    }

private:
    struct Text {
        char bytes[8];
    };
    FilledLater<Text> texts_;
};

}  // namespace faceloom

#include "IndexTexts.h"

#include <algorithm>

#include "ForkJoin.h"

namespace faceloom {

namespace {

constexpr std::size_t kLongestKept = 7;  // digits; the last byte keeps the length

}  // namespace

IndexTexts::IndexTexts(std::size_t count) {
    texts_.resize(std::min<std::size_t>(count, 9999999));
    const auto make = [&](std::size_t first, std::size_t end) {
        for (std::size_t item = first; item < end; ++item) {
            Text& text = texts_[item];
            const char* last = std::to_chars(text.bytes, text.bytes + kLongestKept, item + 1).ptr;
            text.bytes[7] = static_cast<char>(last - text.bytes);
        }
    };
    forkJoin([&] { make(texts_.size() / 2, texts_.size()); }, [&] { make(0, texts_.size() / 2); });
}

}  // namespace faceloom

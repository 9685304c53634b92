#pragma once

#include <cstdint>

namespace faceloom {

// The object (group) index of a face given before any "o" ("g") line, and of the
// facets refined from it: none.
constexpr std::uint32_t kUnnamed = 0xffffffffu;

}  // namespace faceloom

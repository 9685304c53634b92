#pragma once

#include <cstdint>

namespace faceloom {

// The material index of a face (and of the facets refined from it) given before any
// "usemtl" line: no material.
constexpr std::uint32_t kNoMaterial = 0xffffffffu;

}  // namespace faceloom

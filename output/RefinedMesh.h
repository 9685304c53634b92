#pragma once

#include <cstdint>
#include <vector>

#include "mesh/Vec.h"

// The refined mesh as the writer takes it: the vertices of the refined position
// surface, those of the refined texture surface, and four corners per refined facet
// (all refined facets are quadrilaterals), each pairing a 1-based position index with
// a 1-based texture index.
struct RefinedMesh {
    std::vector<vec3<float>> positions;
    std::vector<vec2<float>> uvs;
    std::vector<vec2<std::uint32_t>> corners;
    // Whether the corners carry texture indices. Without them the facets are written
    // with position indices alone, and no "vt" lines.
    bool textured = false;

    std::uint64_t facetCount() const { return corners.size() / 4; }
};

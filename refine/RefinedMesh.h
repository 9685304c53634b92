#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Material.h"
#include "ObjectGroup.h"
#include "FilledLater.h"

namespace faceloom {

// The coordinates of a refined vertex, left unset until the refinement writes them.
struct Point3f {
    float x, y, z;
};
struct Point2f {
    float x, y;
};

// The refined mesh as the writer takes it: the vertices of the refined position
// surface, those of the refined texture surface, and four corners per refined facet
// (all refined facets are quadrilaterals), each naming a position and, when textured,
// the texture coordinate over it. Indices are 0-based here; the file's are 1-based.
struct RefinedMesh {
    FilledLater<Point3f> positions;
    FilledLater<Point2f> uvs;
    FilledLater<std::uint32_t> positionCorners;
    FilledLater<std::uint32_t> textureCorners;  // as many as positionCorners when textured
    // Without texture the facets are written with position indices alone, and no
    // "vt" lines.
    bool textured = false;
    // When textured, per facet whether it is written with its texture indices, for a
    // mesh some of whose faces have no texture; empty when every facet is.
    std::vector<bool> facetTextured;

    // With normals: one per position (by the same index), and every facet corner
    // names the normal of its position. The flag stays set once the positions and
    // normals are written and released.
    FilledLater<Point3f> normals;
    bool withNormals = false;

    // Materials, when the input has them: the text of its "mtllib" lines (paths as
    // they name the libraries from the output's directory), the material names, and
    // per facet the index of its material (kNoMaterial for none).
    std::vector<std::string> materialLibraries;
    std::vector<std::string> materialNames;
    std::vector<std::uint32_t> facetMaterials;  // empty when no facet has a material

    // Objects and groups, when the input has them: their names, and per facet the
    // index of its object (group), kUnnamed for none. Empty when the input has no
    // "o" ("g") line.
    std::vector<std::string> objectNames;
    std::vector<std::string> groupNames;
    std::vector<std::uint32_t> facetObjects;
    std::vector<std::uint32_t> facetGroups;

    std::uint64_t facetCount() const { return positionCorners.size() / 4; }
    bool facetHasTexture(std::size_t facet) const {
        return textured && (facetTextured.empty() || facetTextured[facet]);
    }
};

}  // namespace faceloom

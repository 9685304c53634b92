#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Material.h"
#include "ObjectGroup.h"
#include "Vec.h"

namespace faceloom {

// How the corners of a face line were written, decided by its first corner alone.
// Only informational: every readable form fills the same corner entries.
enum CornerForm : std::uint32_t {
    kCornersUnread = 0,          // the first corner had a shape we don't read (e.g. 1/2/3/4)
    kPositionOnly = 1,           // 7
    kPositionTexture = 2,        // 7/3
    kPositionTextureNormal = 3,  // 7/3/2  (normal index ignored)
    kPositionNormal = 4,         // 7//2   (normal index ignored, no texture index)
};

// One corner of a face: the position and the texture coordinate it names, 1-based as
// in OBJ text, 0 where none was read.
struct Corner {
    std::uint32_t position = 0;
    std::uint32_t texture = 0;

    bool operator==(const Corner& other) const {
        return position == other.position && texture == other.texture;
    }
};

// How a face was written and how many corners it owns.
struct Face {
    CornerForm form = kCornersUnread;
    std::uint32_t count = 0;
};

// The input mesh as the file gave it. Indices stay 1-based; 0 means "none read".
//
// Faces keep all their corners: face k owns faceTypes[k].count consecutive entries of
// `corners`, starting at faceStarts[k]. A face whose corners could not be read (form
// kCornersUnread) owns none. A face written with fewer than three corners keeps the
// corners it has; the builders reject it.
//
// A plain record: the loaders fill it, the repairs make new ones from it.
struct ObjMesh {
    std::vector<vec3<float>> positions;  // one per "v" line
    std::vector<vec2<float>> uvs;        // one per "vt" line (u, v)
    std::vector<Face> faceTypes;         // one per "f" line
    std::vector<Corner> corners;         // every face's corners, face after face
    // faceCount() + 1 entries: where the corners of face k start in `corners` (the last
    // one is cornerCount()). Filled by indexFaces().
    std::vector<std::uint64_t> faceStarts{0};

    // Materials: the "mtllib" lines (what follows the keyword, as written), the
    // material names in order of first "usemtl", and per face the index of the
    // material it was given (kNoMaterial before any "usemtl"). faceMaterials is empty
    // when the file uses no material.
    std::vector<std::string> materialLibraries;
    std::vector<std::string> materialNames;
    std::vector<std::uint32_t> faceMaterials;

    // Objects and groups, kept like the materials: the names of the "o" (and "g") lines
    // in order of first use, and per face the index of the object (group) it was
    // given (kUnnamed before any such line). faceObjects (faceGroups) is empty when
    // the file has no "o" ("g") line.
    std::vector<std::string> objectNames;
    std::vector<std::string> groupNames;
    std::vector<std::uint32_t> faceObjects;
    std::vector<std::uint32_t> faceGroups;

    // The path the record was read from ("" for a record made in memory); messages
    // name it.
    std::string sourcePath;

    // The counts fit in 32 bits: the loaders refuse larger files.
    std::uint32_t faceCount() const { return static_cast<std::uint32_t>(faceTypes.size()); }
    std::uint32_t vertexCount() const { return static_cast<std::uint32_t>(positions.size()); }
    std::uint32_t uvCount() const { return static_cast<std::uint32_t>(uvs.size()); }
    std::uint64_t cornerCount() const { return corners.size(); }

    // The corners of face k.
    struct FaceCorners {
        const Corner* first;
        std::uint32_t count;
        const Corner* begin() const { return first; }
        const Corner* end() const { return first + count; }
        std::uint32_t size() const { return count; }
        const Corner& operator[](std::uint32_t c) const { return first[c]; }
    };
    FaceCorners faceCorners(std::uint32_t face) const {
        return {corners.data() + faceStarts[face], faceTypes[face].count};
    }
    const std::vector<Corner>& getCorners() const { return corners; }

    // Fills faceStarts from the corner counts in faceTypes.
    void indexFaces();
    // Whether any face carries a material, object or group label, or the file names a
    // material library.
    bool hasLabels() const {
        return !faceMaterials.empty() || !materialLibraries.empty() || !faceObjects.empty() ||
               !faceGroups.empty();
    }
};

// A record with the faces, labels and source of `mesh` and nothing else: the start
// of a repaired copy that brings its own positions, texture coordinates or corners.
ObjMesh withFacesOf(const ObjMesh& mesh);

}  // namespace faceloom

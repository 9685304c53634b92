#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <boost/shared_array.hpp>

#include "console/Diagnostics.h"
#include "mesh/Material.h"
#include "mesh/ObjectGroup.h"
#include "mesh/Vec.h"

namespace faceloom {

// How the corners of a face line were written, decided by its first corner alone.
// Only informational: every readable form fills the same corner entries.
enum CornerForm : unsigned int {
    kCornersUnread = 0,          // the first corner had a shape we don't read (e.g. 1/2/3/4)
    kPositionOnly = 1,           // 7
    kPositionTexture = 2,        // 7/3
    kPositionTextureNormal = 3,  // 7/3/2  (normal index ignored)
    kPositionNormal = 4,         // 7//2   (normal index ignored, no texture index)
};

// The input mesh as the file gave it. Indices stay 1-based; 0 means "none read".
//
// Faces keep all their corners: face k owns faceTypes[k].y consecutive entries of
// `corners`, starting right after those of face k-1. A face whose corners could not
// be read (form kCornersUnread) owns none. A face written with fewer than three
// corners keeps the corners it has; the builders reject it.
//
// The record is filled once by the loader (the constructor taking a path) and is
// read-only afterwards. The arrays are shared: every accessor hands out another
// reference, which stays valid after the record is gone.
class ObjMesh {
public:
    // An empty record: all counts 0, all arrays empty.
    ObjMesh() = default;
    // Loads the OBJ file at `path`. Never throws; problems are reported to
    // `diagnostics` and leave the record empty (see loadFailed()). An input too large
    // for the memory the process can get is refused, before reading it when its size
    // is known, or once it runs past what fits (a pipe, a device).
    ObjMesh(const char* path, Diagnostics& diagnostics);
    // Parses OBJ text held in memory, with the same rules. May throw std::exception.
    static ObjMesh fromText(const std::string& text);

    std::uint32_t faceCount = 0;    // one per "f" line
    std::uint32_t vertexCount = 0;  // one per "v" line
    std::uint32_t uvCount = 0;      // one per "vt" line
    std::uint64_t cornerCount = 0;  // entries in `corners`, all faces together

    boost::shared_array<vec3<float>> positions;         // vertexCount entries
    boost::shared_array<vec2<float>> uvs;               // uvCount entries (u, v)
    boost::shared_array<vec2<unsigned int>> faceTypes;  // faceCount entries (form, corner count)
    boost::shared_array<vec2<unsigned int>> corners;    // cornerCount entries (position, texture)
    // faceCount + 1 entries: where the corners of face k start in `corners` (the last
    // one is cornerCount). Filled with the record by indexFaces().
    boost::shared_array<std::uint64_t> faceStarts;

    // The corners of face k: faceTypes[k].y entries of `corners`.
    struct FaceCorners {
        const vec2<unsigned int>* first;
        std::uint32_t count;
        const vec2<unsigned int>* begin() const { return first; }
        const vec2<unsigned int>* end() const { return first + count; }
        std::uint32_t size() const { return count; }
        const vec2<unsigned int>& operator[](std::uint32_t c) const { return first[c]; }
    };
    FaceCorners faceCorners(std::uint32_t face) const {
        return {corners.get() + faceStarts[face], faceTypes[face].y};
    }
    // Fills faceStarts from the corner counts in faceTypes.
    void indexFaces();

    // Materials: the "mtllib" lines (what follows the keyword, as written), the
    // material names in order of first "usemtl", and per face the index of the
    // material it was given (kNoMaterial before any "usemtl"). faceMaterials is empty
    // when the file uses no material.
    std::vector<std::string> materialLibraries;
    std::vector<std::string> materialNames;
    boost::shared_array<std::uint32_t> faceMaterials;

    // Objects and groups, kept like the materials: the names of the "o" (and "g") lines
    // in order of first use, and per face the index of the object (group) it was
    // given (kUnnamed before any such line). faceObjects (faceGroups) is empty when
    // the file has no "o" ("g") line.
    std::vector<std::string> objectNames;
    std::vector<std::string> groupNames;
    boost::shared_array<std::uint32_t> faceObjects;
    boost::shared_array<std::uint32_t> faceGroups;

    boost::shared_array<vec3<float>> getPositions() const { return positions; }
    boost::shared_array<vec2<float>> getUVs() const { return uvs; }
    boost::shared_array<vec2<unsigned int>> getFaceTypes() const { return faceTypes; }
    boost::shared_array<vec2<unsigned int>> getCorners() const { return corners; }

    // The path the record was loaded from ("" for a record built in memory).
    const std::string& sourcePath() const { return path_; }
    // True when the file could not be opened or read; the record is then empty.
    bool loadFailed() const { return loadFailed_; }
    // The line (counted from 1) of the first face line holding a NUL byte, 0 for none.
    // Such a face is recorded as unread: its corners can't be told from the bytes.
    std::uint64_t firstNulFaceLine() const { return nulFaceLine_; }

private:
    void parse(const std::string& text);

    std::string path_;
    bool loadFailed_ = false;
    std::uint64_t nulFaceLine_ = 0;
};

}  // namespace faceloom

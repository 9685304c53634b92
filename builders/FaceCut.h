#pragma once

#include <cstdint>
#include <optional>

#include "ObjMesh.h"

namespace faceloom {

// Turns faces that are no simple polygon into ones that are, before either surface is
// built (both surfaces are built from the result, so they still pair facet for facet).
//
// A face that passes through one position twice (an outline bridged to a hole, a
// face that repeats its corners, a pole closed by a fan within one face) is cut at
// that position into pieces, and those again until each passes through every
// position once. A piece of fewer than three corners (the bridge itself) and a piece
// that repeats an earlier piece of its face are dropped. A face of fewer than three
// distinct positions encloses nothing and is dropped whole.
//
// Every piece keeps its corners (with their texture indices) in the face's order,
// and the face's form, material, object and group; pieces take the face's place in
// the face list. Faces that could not be read or name a position that doesn't exist
// are kept as they are, for the builder to refuse.
struct CutFaces {
    ObjMesh mesh;
    std::uint32_t cutFaces = 0;       // faces cut into pieces
    std::uint32_t keptPieces = 0;     // the pieces of those faces that were kept
    std::uint32_t droppedPieces = 0;  // pieces of fewer than three corners, or repeated
    std::uint32_t droppedFaces = 0;   // faces of fewer than three distinct positions
};

// Nothing when every face is a simple polygon already.
std::optional<CutFaces> cutFaces(const ObjMesh& mesh);

}  // namespace faceloom

#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Diagnostics.h"
#include "ObjMesh.h"

namespace faceloom {

// Whether every corner of face k names a texture coordinate the record has.
bool faceHasTexture(const ObjMesh& mesh, std::uint32_t face);

// Per face whether it has texture (faceHasTexture); empty when every face has.
std::vector<bool> texturedFaces(const ObjMesh& faces);

// Whether the texture of `mesh` is to be refined: it has texture coordinates and a face
// names one at every corner. (Faces that are no polygons count as naming one: the
// builders report them, for both surfaces.) Warns when the file's texture coordinates
// are all unused.
bool refinesTexture(const ObjMesh& mesh, Diagnostics& diagnostics);

// The texture layout of a mesh, built from the mesh's own connectivity. A layout
// vertex is one texture coordinate at one position, on one fan of faces around that
// position: faces that reach each other around it through edges they share and whose
// texture coordinates agree at both ends of the edge. So the layout is the position
// surface cut open along its texture seams, and never glues the texture where the
// mesh does not touch (a double-sided card, mirrored parts reusing one set of
// coordinates, islands touching at a corner). It builds wherever the position surface
// builds.
//
// `mesh` is the record: corners pair the position with the layout vertex (1-based),
// `uvs` are the layout vertices. A layout vertex keeps the number of its texture
// coordinate when that coordinate has no other (position, fan); other copies follow
// the file's coordinates, in the order they come. So a mesh without such sharing
// keeps its texture coordinates as they were, unused ones included.
//
// Faces without a texture coordinate at every corner still need a place in the
// layout, so that both surfaces refine facet for facet: they get layout vertices of
// their own at (0, 0), per position and fan, never shared with a textured face.
//
// A texture coordinate that one position uses on two fans or more (islands touching
// at a corner, sharing its coordinate) is laid out once per fan, and each of these
// layout vertices stays where it is through the refinement: smoothed within each
// island it would split into several coordinates the file gave as one, and smoothed
// across them it would land outside both islands. (OpenSubdiv treats such a value
// as a corner alike.)
struct TextureLayout {
    ObjMesh mesh;
    std::vector<bool> keep;            // per layout vertex: stays where it is
    std::uint32_t brokenFaces = 0;     // texture indices at some corners only, or out of range
    std::uint32_t repeatingFaces = 0;  // a texture coordinate named at two corners
};

// Nothing when the faces are no polygons (see hasPolygonFaces).
std::optional<TextureLayout> layoutFromConnectivity(const ObjMesh& faces);

// The last resort for a layout CGAL's builder still refuses: every face an island of
// its own, each corner its own layout vertex at the corner's coordinate.
ObjMesh faceIslands(const ObjMesh& layout);

}  // namespace faceloom

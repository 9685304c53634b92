#pragma once

#include <string>
#include <vector>

#include "builders/Polyhedron.h"
#include "output/RefinedMesh.h"
#include "refine/FacetLineage.h"
#include "refine/FacetPairing.h"

namespace faceloom {

// Hands the refined surfaces over to the writer without printing them: the vertices
// and facet corners are read straight from each surface, in the order CGAL's
// Wavefront printer lists them (vertex and facet list order, corners from the target
// of each facet's halfedge()), so the file comes out byte for byte as it would
// through the printed text.

// Takes the positions and the position index of every facet corner. The corners are
// taken over from `lineage` when it is given and valid (it has read them already),
// otherwise read by a walk over the surface.
// Both take either surface type (Polyhedron or SurfaceMesh).
template <class Surface>
void takePositions(const Surface& surface, FacetLineage* lineage, RefinedMesh& mesh);

// Takes the texture coordinates and gives every corner taken by takePositions the
// texture index that lies over it, found through the facets' common descent. False
// (and the mesh left untextured) when the texture surface does not pair with the
// position surface facet for facet.
template <class Surface>
bool takeTexture(const Surface& surface, const FacetLineage& lineage, const FacetPairing& pairing,
                 RefinedMesh& mesh);

// Takes the material libraries of `faces` (their paths rewritten to name the same
// files from the directory of `outputPath`) and gives every facet the material, the
// object and the group of the face it descends from. False (and no facet given any)
// when the facets can't be traced to their faces.
bool takeMaterials(const ObjMesh& faces, const FacetLineage& lineage, const char* outputPath,
                   RefinedMesh& mesh);

// Marks the facets of faces without texture (`textured`: per face, empty when every
// face has texture) to be written without it.
void takeTexturedFacets(const std::vector<bool>& textured, const FacetLineage& lineage,
                        RefinedMesh& mesh);

// Whether every coordinate is finite. Single-precision arithmetic overflows when
// refining coordinates near float's limit (about 1e37 and up), and a file must never
// carry the result.
bool allFinite(const std::vector<vec3<float>>& points);
bool allFinite(const std::vector<vec2<float>>& points);
// The refusal when the refined `part` ("positions", "texture coordinates") of the
// file at `sourcePath` overflowed.
std::string overflowError(const char* part, const std::string& sourcePath);

}  // namespace faceloom

#pragma once

#include <string>
#include <vector>

#include "RefinedMesh.h"
#include "SurfaceMesh.h"
#include "FacetLineage.h"
#include "FacetPairing.h"

namespace faceloom {

// Hands the refined surfaces over to the writer without printing them: the vertices
// and facet corners are read straight from each surface, in the order CGAL's
// Wavefront printer lists them (vertex and facet list order, corners from the target
// of each facet's halfedge()), so the file comes out byte for byte as it would
// through the printed text.

// Takes the positions, and the position index of every facet corner from `lineage`,
// which has read them while naming the facets. False (and nothing taken) when the
// lineage could not name them.
bool takePositions(const SurfaceMesh& surface, FacetLineage& lineage, RefinedMesh& mesh);

// Takes the texture coordinates and gives every corner taken by takePositions the
// texture index that lies over it, found through the facets' common descent. False
// (and the mesh left untextured) when the texture surface does not pair with the
// position surface facet for facet.
bool takeTexture(const SurfaceMesh& surface, const FacetLineage& lineage,
                 const FacetPairing& pairing, RefinedMesh& mesh);

// Takes the material libraries of `faces` and gives every facet the material, the
// object and the group of the face it descends from. False (and no facet given any)
// when the facets can't be traced to their faces.
// `inputFaces` has the face of every facet (empty when they can't be traced).
bool takeMaterials(const ObjMesh& faces, const std::vector<std::uint32_t>& inputFaces,
                   RefinedMesh& mesh);

// Marks the facets of faces without texture (`textured`: per face, empty when every
// face has texture) to be written without it.
void takeTexturedFacets(const std::vector<bool>& textured,
                        const std::vector<std::uint32_t>& inputFaces, RefinedMesh& mesh);

// Whether every coordinate is finite. Single-precision arithmetic overflows when
// refining coordinates near float's limit (about 1e37 and up), and a file must never
// carry the result.
bool allFinite(const FilledLater<Point3f>& points);
bool allFinite(const FilledLater<Point2f>& points);
// The refusal when the refined `part` ("positions", "texture coordinates") of the
// file at `sourcePath` overflowed.
std::string overflowError(const char* part, const std::string& sourcePath);

}  // namespace faceloom

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tiny_gltf.h>

#include "ObjMesh.h"

namespace faceloom {

// The name of mesh `mesh`'s primitive `primitive` in messages: `mesh "Cube" primitive
// 0`, or `mesh 3 primitive 0` for a mesh without a name.
std::string primitiveName(const tinygltf::Model& model, std::size_t mesh, std::size_t primitive);

// What of a primitive its refinement would lose: the attributes other than POSITION,
// NORMAL (which the refinement computes anew) and TEXCOORD_0, in the document's order,
// and "morph targets" when it has any. Empty when nothing would be lost.
std::vector<std::string> attributesLostByRefining(const tinygltf::Primitive& primitive);

// Why a primitive is no surface to refine ("it draws lines", "it has no POSITION"),
// or "" when it draws triangles (a list, a strip or a fan) from positions.
std::string whyNoSurface(const tinygltf::Primitive& primitive);

// The primitive's triangles as a mesh record, the same record the OBJ file of the
// same triangles gives: vertices at equal positions welded into one position (glTF
// splits a vertex wherever its uv or normal changes), each corner keeping its own
// texture coordinate, one per position and distinct uv, so that a uv seam stays a
// seam. Strips and fans become triangles, without the repeated-vertex triangles that
// join strips; a list keeps every triangle, for the builders to judge like an OBJ
// file's. Positions are numbered in the order the triangles first use them, and
// unused vertices are left out. `name` names the record in messages; `maxBytes`
// bounds what reading its accessors may take. Throws GltfError for accessors that
// can't be read, indices past the vertices and numbers that are not finite.
ObjMesh primitiveMesh(const tinygltf::Model& model, const tinygltf::Primitive& primitive,
                      const std::string& name, std::uint64_t maxBytes);

}  // namespace faceloom

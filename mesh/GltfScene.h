#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include <tiny_gltf.h>

namespace faceloom {

// A mesh where the scene places it: the node that holds it and the node's transform
// in the scene (column-major, as glTF writes matrices).
struct MeshInstance {
    std::size_t node = 0;
    std::size_t mesh = 0;
    std::array<double, 16> matrix{};
    std::string name;  // the node's name, or "node N"
};

// The meshes of the document's scene (its default scene, or its first) in the order
// a walk of its node trees from the roots meets them, each node's transform the
// product of its ancestors' and its own (its matrix, or translation * rotation *
// scale). A document without scenes gives every mesh once, where it stands. Nodes
// that are named twice (a malformed tree, or a loop) are met once; indices that name
// nothing are passed over.
std::vector<MeshInstance> sceneInstances(const tinygltf::Model& model);

}  // namespace faceloom

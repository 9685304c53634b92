#pragma once

#include <map>
#include <string>

#include <tiny_gltf.h>

#include "GltfScene.h"
#include "RefinedMesh.h"

namespace faceloom {

// The refined surfaces of a glTF scene gathered into one mesh for an OBJ file: each
// surface placed by its instance's transform (its facets turned over where the
// transform mirrors, so that they keep facing out), one object per node, one material
// name per glTF material ("material N" for one without a name), texture coordinates
// turned to OBJ's sense (v up the image, where glTF's runs down it).
class SceneMerge {
public:
    explicit SceneMerge(const tinygltf::Model& model) : model_(model) {}

    // Adds `surface`, refined from `primitive`, where `instance` places it.
    void add(const RefinedMesh& surface, const MeshInstance& instance,
             const tinygltf::Primitive& primitive);
    const RefinedMesh& mesh() const { return merged_; }

private:
    std::uint32_t objectOf(const MeshInstance& instance);
    std::uint32_t materialOf(int material);

    const tinygltf::Model& model_;
    RefinedMesh merged_;
    std::map<std::size_t, std::uint32_t> objects_;  // by node
    std::map<int, std::uint32_t> materials_;        // by glTF material
};

}  // namespace faceloom

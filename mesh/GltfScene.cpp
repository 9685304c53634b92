#include "GltfScene.h"

#include <utility>

namespace faceloom {

namespace {

using Matrix = std::array<double, 16>;

constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix product(const Matrix& a, const Matrix& b) {
    Matrix c{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += a[k * 4 + row] * b[col * 4 + k];
            }
            c[col * 4 + row] = sum;
        }
    }
    return c;
}

Matrix localMatrix(const tinygltf::Node& node) {
    if (node.matrix.size() == 16) {
        Matrix m;
        std::copy(node.matrix.begin(), node.matrix.end(), m.begin());
        return m;
    }
    Matrix t = kIdentity, r = kIdentity, s = kIdentity;
    if (node.translation.size() == 3) {
        t[12] = node.translation[0];
        t[13] = node.translation[1];
        t[14] = node.translation[2];
    }
    if (node.rotation.size() == 4) {
        const double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2],
                     w = node.rotation[3];
        r = {1 - 2 * (y * y + z * z),
             2 * (x * y + z * w),
             2 * (x * z - y * w),
             0,
             2 * (x * y - z * w),
             1 - 2 * (x * x + z * z),
             2 * (y * z + x * w),
             0,
             2 * (x * z + y * w),
             2 * (y * z - x * w),
             1 - 2 * (x * x + y * y),
             0,
             0,
             0,
             0,
             1};
    }
    if (node.scale.size() == 3) {
        s[0] = node.scale[0];
        s[5] = node.scale[1];
        s[10] = node.scale[2];
    }
    return product(t, product(r, s));
}

}  // namespace

std::vector<MeshInstance> sceneInstances(const tinygltf::Model& model) {
    std::vector<MeshInstance> instances;
    const std::size_t meshes = model.meshes.size(), nodes = model.nodes.size();
    const int scene =
        model.defaultScene >= 0 ? model.defaultScene : (model.scenes.empty() ? -1 : 0);
    if (scene < 0 || static_cast<std::size_t>(scene) >= model.scenes.size()) {
        for (std::size_t m = 0; m < meshes; ++m) {
            instances.push_back({0, m, kIdentity, model.meshes[m].name});
        }
        return instances;
    }
    std::vector<bool> met(nodes, false);
    std::vector<std::pair<int, Matrix>> stack;
    const std::vector<int>& roots = model.scenes[static_cast<std::size_t>(scene)].nodes;
    for (auto root = roots.rbegin(); root != roots.rend(); ++root) {
        stack.emplace_back(*root, kIdentity);
    }
    while (!stack.empty()) {
        const auto [index, parent] = stack.back();
        stack.pop_back();
        if (index < 0 || static_cast<std::size_t>(index) >= nodes || met[index]) {
            continue;
        }
        met[index] = true;
        const tinygltf::Node& node = model.nodes[static_cast<std::size_t>(index)];
        const Matrix world = product(parent, localMatrix(node));
        if (node.mesh >= 0 && static_cast<std::size_t>(node.mesh) < meshes) {
            instances.push_back({static_cast<std::size_t>(index),
                                 static_cast<std::size_t>(node.mesh), world,
                                 node.name.empty() ? "node " + std::to_string(index) : node.name});
        }
        for (auto child = node.children.rbegin(); child != node.children.rend(); ++child) {
            stack.emplace_back(*child, world);
        }
    }
    return instances;
}

}  // namespace faceloom

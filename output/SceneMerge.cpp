#include "SceneMerge.h"

#include <cmath>

namespace faceloom {

namespace {

Point3f transformed(const std::array<double, 16>& m, const Point3f& p) {
    const double x = p.x, y = p.y, z = p.z;
    return {float(m[0] * x + m[4] * y + m[8] * z + m[12]),
            float(m[1] * x + m[5] * y + m[9] * z + m[13]),
            float(m[2] * x + m[6] * y + m[10] * z + m[14])};
}

double determinant(const std::array<double, 16>& m) {
    return m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
           m[8] * (m[1] * m[6] - m[5] * m[2]);
}

bool mirrors(const std::array<double, 16>& m) {
    return determinant(m) < 0;
}

// How normals move as the surface does: by the inverse transpose of the transform's
// linear part, that is its cofactors over the sign of its determinant (the length is
// made one again after). Worked out once per transform.
struct NormalTurn {
    double sign;
    double by[3][3];

    explicit NormalTurn(const std::array<double, 16>& m) : sign(mirrors(m) ? -1.0 : 1.0) {
        const auto a = [&](int row, int column) { return m[column * 4 + row]; };
        for (int r = 0; r < 3; ++r) {
            const int r1 = (r + 1) % 3, r2 = (r + 2) % 3;
            for (int c = 0; c < 3; ++c) {
                const int c1 = (c + 1) % 3, c2 = (c + 2) % 3;
                by[r][c] = a(r1, c1) * a(r2, c2) - a(r1, c2) * a(r2, c1);
            }
        }
    }

    // The unit normal `n` turns into; zero stays zero.
    Point3f operator()(const Point3f& n) const {
        double out[3];
        for (int r = 0; r < 3; ++r) {
            // From +0, as a sum does, so that no component comes out as -0.
            out[r] = sign * (0.0 + by[r][0] * n.x + by[r][1] * n.y + by[r][2] * n.z);
        }
        const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
        if (!(length > 0) || !std::isfinite(length)) {
            return {0.0f, 0.0f, 0.0f};
        }
        return {float(out[0] / length), float(out[1] / length), float(out[2] / length)};
    }
};

}  // namespace

std::uint32_t SceneMerge::objectOf(const MeshInstance& instance) {
    const auto known = objects_.emplace(instance.node, merged_.objectNames.size());
    if (known.second) {
        merged_.objectNames.push_back(instance.name);
    }
    return known.first->second;
}

std::uint32_t SceneMerge::materialOf(int material) {
    if (material < 0 || static_cast<std::size_t>(material) >= model_.materials.size()) {
        return kNoMaterial;
    }
    const auto known = materials_.emplace(material, merged_.materialNames.size());
    if (known.second) {
        const std::string& name = model_.materials[static_cast<std::size_t>(material)].name;
        merged_.materialNames.push_back(name.empty() ? "material " + std::to_string(material)
                                                     : name);
    }
    return known.first->second;
}

void SceneMerge::add(const RefinedMesh& surface, const MeshInstance& instance,
                     const tinygltf::Primitive& primitive) {
    const auto positionBase = static_cast<std::uint32_t>(merged_.positions.size());
    const auto uvBase = static_cast<std::uint32_t>(merged_.uvs.size());
    for (const Point3f& p : surface.positions) {
        merged_.positions.push_back(transformed(instance.matrix, p));
    }
    // Normals only when every surface has them (they all refine with the same options).
    const bool withNormals =
        surface.withNormals && surface.normals.size() == surface.positions.size();
    if (withNormals && merged_.normals.size() == positionBase) {
        const NormalTurn turned(instance.matrix);
        for (const Point3f& n : surface.normals) {
            merged_.normals.push_back(turned(n));
        }
    }
    merged_.withNormals = withNormals && merged_.normals.size() == merged_.positions.size();
    // glTF's v runs down the image, OBJ's up it.
    if (surface.textured) {
        for (const Point2f& uv : surface.uvs) {
            merged_.uvs.push_back({uv.x, 1.0f - uv.y});
        }
    }
    // A mirrored facet, read the other way round, faces out again.
    static constexpr int kForward[4] = {0, 1, 2, 3}, kBackward[4] = {0, 3, 2, 1};
    const int* order = mirrors(instance.matrix) ? kBackward : kForward;
    const std::uint32_t object = objectOf(instance), material = materialOf(primitive.material);
    for (std::size_t facet = 0; facet < surface.facetCount(); ++facet) {
        const bool textured = surface.facetHasTexture(facet);
        for (int k = 0; k < 4; ++k) {
            const std::size_t corner = 4 * facet + static_cast<std::size_t>(order[k]);
            merged_.positionCorners.push_back(positionBase + surface.positionCorners[corner]);
            merged_.textureCorners.push_back(textured ? uvBase + surface.textureCorners[corner]
                                                      : 0);
        }
        merged_.facetTextured.push_back(textured);
        merged_.facetObjects.push_back(object);
        merged_.facetMaterials.push_back(material);
    }
    merged_.textured = merged_.textured || surface.textured;
}

}  // namespace faceloom

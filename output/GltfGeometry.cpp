#include "GltfGeometry.h"

#include "ForkJoin.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace faceloom {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// Whether the refinement gives normals of its own (a `normals` member, one per
// refined position).
template <class Mesh, class = void>
struct GivesNormals : std::false_type {};
template <class Mesh>
struct GivesNormals<Mesh, std::void_t<decltype(std::declval<const Mesh&>().normals)>>
    : std::true_type {};

template <class Mesh>
bool copyGivenNormals(const Mesh& mesh, std::vector<vec3<float>>& normals) {
    if constexpr (GivesNormals<Mesh>::value) {
        if (!mesh.normals.empty() && mesh.normals.size() == mesh.positions.size()) {
            normals.assign(mesh.normals.begin(), mesh.normals.end());
            return true;
        }
    }
    return false;
}

vec3<float> minus(const vec3<float>& a, const vec3<float>& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// Numbers the vertices of a primitive as its facets first use them.
class VertexNumbering {
public:
    VertexNumbering(const RefinedMesh& mesh, const std::vector<vec3<float>>& normals,
                    GltfGeometry& out)
        : mesh_(mesh),
          normals_(normals),
          out_(out),
          ofPosition_(mesh.positions.size(), kNone),
          ofUv_(mesh.textured ? mesh.uvs.size() : 0, kNone),
          ownerOfUv_(ofUv_.size(), kNone) {}

    std::uint32_t vertex(std::size_t facet, std::size_t corner) {
        const std::uint32_t p = mesh_.positionCorners[corner];
        if (!mesh_.facetHasTexture(facet)) {
            return numbered(ofPosition_[p], p, nullptr);
        }
        const std::uint32_t t = mesh_.textureCorners[corner];
        if (ownerOfUv_[t] == kNone || ownerOfUv_[t] == p) {
            ownerOfUv_[t] = p;
            return numbered(ofUv_[t], p, &mesh_.uvs[t]);
        }
        // A texture coordinate over more than one position: rare, so kept aside.
        return numbered(aside_.emplace(std::uint64_t{p} << 32 | t, kNone).first->second, p,
                        &mesh_.uvs[t]);
    }

private:
    std::uint32_t numbered(std::uint32_t& slot, std::uint32_t p, const vec2<float>* uv) {
        if (slot == kNone) {
            slot = static_cast<std::uint32_t>(out_.positions.size());
            out_.positions.push_back(mesh_.positions[p]);
            out_.normals.push_back(normals_[p]);
            if (mesh_.textured) {
                out_.uvs.push_back(uv != nullptr ? *uv : vec2<float>{});
            }
        }
        return slot;
    }

    const RefinedMesh& mesh_;
    const std::vector<vec3<float>>& normals_;
    GltfGeometry& out_;
    std::vector<std::uint32_t> ofPosition_;  // vertex of an untextured corner
    std::vector<std::uint32_t> ofUv_;        // vertex of a textured corner
    std::vector<std::uint32_t> ownerOfUv_;   // the position of that vertex
    std::unordered_map<std::uint64_t, std::uint32_t> aside_;
};

void setBounds(GltfGeometry& out) {
    if (out.positions.empty()) {
        return;
    }
    out.min = out.max = out.positions[0];
    for (const vec3<float>& p : out.positions) {
        out.min = {std::min(out.min.x, p.x), std::min(out.min.y, p.y), std::min(out.min.z, p.z)};
        out.max = {std::max(out.max.x, p.x), std::max(out.max.y, p.y), std::max(out.max.z, p.z)};
    }
}

}  // namespace

std::vector<vec3<float>> positionNormals(const RefinedMesh& mesh) {
    std::vector<vec3<float>> normals;
    if (copyGivenNormals(mesh, normals)) {
        return normals;
    }
    normals.assign(mesh.positions.size(), vec3<float>{});
    const std::uint32_t* corner = mesh.positionCorners.data();
    for (std::size_t facet = 0; facet < mesh.facetCount(); ++facet, corner += 4) {
        const vec3<float>& a = mesh.positions[corner[0]];
        const vec3<float>& b = mesh.positions[corner[1]];
        const vec3<float>& c = mesh.positions[corner[2]];
        const vec3<float>& d = mesh.positions[corner[3]];
        // Twice the quad's area vector: the cross product of its diagonals.
        const vec3<float> e = minus(c, a), f = minus(d, b);
        const vec3<float> area{e.y * f.z - e.z * f.y, e.z * f.x - e.x * f.z, e.x * f.y - e.y * f.x};
        for (int k = 0; k < 4; ++k) {
            vec3<float>& n = normals[corner[k]];
            n = {n.x + area.x, n.y + area.y, n.z + area.z};
        }
    }
    for (vec3<float>& n : normals) {
        const double length = std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
        if (length > 0 && std::isfinite(length)) {
            n = {float(n.x / length), float(n.y / length), float(n.z / length)};
        } else {
            n = {0.0f, 0.0f, 1.0f};
        }
    }
    return normals;
}

namespace {

// The whole mesh the quick way, when every texture coordinate lies over one position
// (the refined texture is the position surface cut open along its seams) or there is
// no texture: a vertex per texture coordinate (or position) in its order, and the
// facets' own corners as indices. Fills all but the normals, and `owner` with the
// position of each vertex; false otherwise.
bool verticesInOrder(const RefinedMesh& mesh, GltfGeometry& out,
                     std::vector<std::uint32_t>& owner) {
    const bool textured = mesh.textured;
    if (textured && (!mesh.facetTextured.empty() ||
                     mesh.textureCorners.size() != mesh.positionCorners.size())) {
        return false;
    }
    if (textured) {
        owner.assign(mesh.uvs.size(), kNone);
        for (std::size_t c = 0; c < mesh.positionCorners.size(); ++c) {
            std::uint32_t& o = owner[mesh.textureCorners[c]];
            if (o != kNone && o != mesh.positionCorners[c]) {
                return false;
            }
            o = mesh.positionCorners[c];
        }
        out.positions.resize(owner.size());
        for (std::size_t v = 0; v < owner.size(); ++v) {
            if (owner[v] == kNone) {
                return false;  // an unused texture coordinate: it gets no vertex
            }
            out.positions[v] = mesh.positions[owner[v]];
        }
        out.uvs = mesh.uvs;
    } else {
        out.positions = mesh.positions;
    }
    const std::vector<std::uint32_t>& corners =
        textured ? mesh.textureCorners : mesh.positionCorners;
    out.indices.resize(corners.size() / 4 * 6);
    for (std::size_t f = 0; f < corners.size() / 4; ++f) {
        const std::uint32_t* q = &corners[4 * f];
        std::uint32_t* t = &out.indices[6 * f];
        t[0] = q[0], t[1] = q[1], t[2] = q[2], t[3] = q[0], t[4] = q[2], t[5] = q[3];
    }
    return true;
}

}  // namespace

GltfGeometry gltfGeometry(const RefinedMesh& mesh) {
    // The normals beside the vertices, which need them only at the end.
    std::vector<vec3<float>> normals;
    GltfGeometry out;
    std::vector<std::uint32_t> owner;
    bool inOrder = false;
    forkJoin([&] { normals = positionNormals(mesh); },
             [&] { inOrder = verticesInOrder(mesh, out, owner); });
    if (!inOrder) {
        return gltfGeometry(mesh, normals);
    }
    if (!mesh.textured) {
        out.normals = std::move(normals);
    } else {
        out.normals.resize(owner.size());
        for (std::size_t v = 0; v < owner.size(); ++v) {
            out.normals[v] = normals[owner[v]];
        }
    }
    setBounds(out);
    return out;
}

GltfGeometry gltfGeometry(const RefinedMesh& mesh, const std::vector<vec3<float>>& normals,
                          const std::vector<std::uint32_t>* facets) {
    GltfGeometry out;
    const std::size_t count = facets != nullptr ? facets->size() : mesh.facetCount();
    out.indices.reserve(6 * count);
    VertexNumbering numbering(mesh, normals, out);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t facet = facets != nullptr ? (*facets)[i] : i;
        std::uint32_t v[4];
        for (std::size_t k = 0; k < 4; ++k) {
            v[k] = numbering.vertex(facet, 4 * facet + k);
        }
        out.indices.insert(out.indices.end(), {v[0], v[1], v[2], v[0], v[2], v[3]});
    }
    setBounds(out);
    return out;
}

}  // namespace faceloom

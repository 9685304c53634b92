#include "GltfPrimitive.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "GltfAccessor.h"

namespace faceloom {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

int attribute(const tinygltf::Primitive& primitive, const char* name) {
    const auto found = primitive.attributes.find(name);
    return found == primitive.attributes.end() ? -1 : found->second;
}

// The bits of a float, -0 and +0 as one: equal positions weld whatever their sign.
std::uint32_t bitsOf(float value) {
    value = value == 0.0f ? 0.0f : value;
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

struct PositionKey {
    std::uint32_t x, y, z;
    bool operator==(const PositionKey& o) const { return x == o.x && y == o.y && z == o.z; }
};

struct PositionKeyHash {
    std::size_t operator()(const PositionKey& k) const {
        std::uint64_t h = k.x * 0x9E3779B97F4A7C15ull;
        h ^= (h >> 29) + k.y * 0xBF58476D1CE4E5B9ull;
        h ^= (h >> 31) + k.z * 0x94D049BB133111EBull;
        return static_cast<std::size_t>(h ^ (h >> 32));
    }
};

// The vertex indices of the triangles a primitive draws, three to a triangle.
std::vector<std::uint32_t> triangleCorners(const std::vector<std::uint32_t>& drawn, int mode) {
    std::vector<std::uint32_t> corners;
    if (mode == TINYGLTF_MODE_TRIANGLES || mode == -1) {
        corners.assign(drawn.begin(), drawn.begin() + static_cast<std::ptrdiff_t>(
                                                          drawn.size() - drawn.size() % 3));
        return corners;
    }
    const auto add = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        if (a != b && b != c && a != c) {  // strips are joined by such triangles
            corners.insert(corners.end(), {a, b, c});
        }
    };
    for (std::size_t i = 0; i + 2 < drawn.size(); ++i) {
        if (mode == TINYGLTF_MODE_TRIANGLE_FAN) {
            add(drawn[i + 1], drawn[i + 2], drawn[0]);
        } else if (i % 2 == 0) {
            add(drawn[i], drawn[i + 1], drawn[i + 2]);
        } else {
            add(drawn[i + 1], drawn[i], drawn[i + 2]);
        }
    }
    return corners;
}

void requireFinite(const std::vector<float>& values, const std::string& what) {
    for (float value : values) {
        if (!std::isfinite(value)) {
            throw GltfError(what + " holds a number that is not finite");
        }
    }
}

// Welds the vertices the corners use into positions and texture coordinates.
class Welder {
public:
    Welder(const std::vector<float>& positions, const std::vector<float>& uvs, ObjMesh& mesh)
        : positions_(positions),
          uvs_(uvs),
          mesh_(mesh),
          position_(positions.size() / 3, kNone),
          uv_(positions.size() / 3, kNone) {}

    Corner corner(std::uint32_t vertex) {
        if (position_[vertex] == kNone) {
            weld(vertex);
        }
        return {position_[vertex] + 1, uvs_.empty() ? 0 : uv_[vertex] + 1};
    }

private:
    void weld(std::uint32_t vertex) {
        const float* p = &positions_[3 * std::size_t{vertex}];
        const PositionKey key{bitsOf(p[0]), bitsOf(p[1]), bitsOf(p[2])};
        const auto position = positionIds_.emplace(key, mesh_.vertexCount());
        if (position.second) {
            mesh_.positions.push_back({p[0], p[1], p[2]});
        }
        position_[vertex] = position.first->second;
        if (uvs_.empty()) {
            return;
        }
        const float* t = &uvs_[2 * std::size_t{vertex}];
        const std::uint64_t uvKey = std::uint64_t{bitsOf(t[0])} << 32 | bitsOf(t[1]);
        const auto uv = uvIds_.emplace(std::make_pair(position_[vertex], uvKey), mesh_.uvCount());
        if (uv.second) {
            mesh_.uvs.push_back({t[0], t[1]});
        }
        uv_[vertex] = uv.first->second;
    }

    struct UvKeyHash {
        std::size_t operator()(const std::pair<std::uint32_t, std::uint64_t>& k) const {
            const std::uint64_t h =
                (k.second ^ (std::uint64_t{k.first} << 17)) * 0x9E3779B97F4A7C15ull;
            return static_cast<std::size_t>(h ^ (h >> 29));
        }
    };

    const std::vector<float>& positions_;
    const std::vector<float>& uvs_;
    ObjMesh& mesh_;
    std::vector<std::uint32_t> position_;  // per glTF vertex, once welded
    std::vector<std::uint32_t> uv_;
    std::unordered_map<PositionKey, std::uint32_t, PositionKeyHash> positionIds_;
    std::unordered_map<std::pair<std::uint32_t, std::uint64_t>, std::uint32_t, UvKeyHash> uvIds_;
};

}  // namespace

std::string primitiveName(const tinygltf::Model& model, std::size_t mesh, std::size_t primitive) {
    const std::string& name = model.meshes[mesh].name;
    return "mesh " + (name.empty() ? std::to_string(mesh) : "\"" + name + "\"") + " primitive " +
           std::to_string(primitive);
}

std::vector<std::string> attributesLostByRefining(const tinygltf::Primitive& primitive) {
    std::vector<std::string> lost;
    for (const auto& [name, accessor] : primitive.attributes) {
        if (name != "POSITION" && name != "NORMAL" && name != "TEXCOORD_0") {
            lost.push_back(name);
        }
    }
    if (!primitive.targets.empty()) {
        lost.push_back("morph targets");
    }
    return lost;
}

std::string whyNoSurface(const tinygltf::Primitive& primitive) {
    switch (primitive.mode) {
        case -1:
        case TINYGLTF_MODE_TRIANGLES:
        case TINYGLTF_MODE_TRIANGLE_STRIP:
        case TINYGLTF_MODE_TRIANGLE_FAN:
            break;
        case TINYGLTF_MODE_POINTS:
            return "it draws points";
        case TINYGLTF_MODE_LINE:
        case TINYGLTF_MODE_LINE_LOOP:
        case TINYGLTF_MODE_LINE_STRIP:
            return "it draws lines";
        default:
            return "its mode (" + std::to_string(primitive.mode) + ") is none of glTF's";
    }
    return attribute(primitive, "POSITION") < 0 ? "it has no POSITION" : "";
}

ObjMesh primitiveMesh(const tinygltf::Model& model, const tinygltf::Primitive& primitive,
                      const std::string& name, std::uint64_t maxBytes) {
    const std::vector<float> positions =
        readFloatAccessor(model, attribute(primitive, "POSITION"), 3, maxBytes);
    requireFinite(positions, "its POSITION");
    const std::size_t vertices = positions.size() / 3;
    if (vertices >= kNone) {
        throw GltfError("it has more vertices than the tool takes");
    }
    std::vector<float> uvs;
    if (const int texture = attribute(primitive, "TEXCOORD_0"); texture >= 0) {
        uvs = readFloatAccessor(model, texture, 2, maxBytes);
        requireFinite(uvs, "its TEXCOORD_0");
        if (uvs.size() / 2 != vertices) {
            throw GltfError("its TEXCOORD_0 has " + std::to_string(uvs.size() / 2) +
                            " elements, its POSITION " + std::to_string(vertices));
        }
    }
    std::vector<std::uint32_t> drawn;
    if (primitive.indices >= 0) {
        drawn = readIndexAccessor(model, primitive.indices, maxBytes);
        for (std::uint32_t index : drawn) {
            if (index >= vertices) {
                throw GltfError("its indices name vertex " + std::to_string(index) + " of " +
                                std::to_string(vertices));
            }
        }
    } else {
        drawn.resize(vertices);
        for (std::uint32_t v = 0; v < vertices; ++v) {
            drawn[v] = v;
        }
    }
    const std::vector<std::uint32_t> corners = triangleCorners(drawn, primitive.mode);
    std::vector<std::uint32_t>().swap(drawn);

    ObjMesh mesh;
    mesh.sourcePath = name;
    mesh.corners.reserve(corners.size());
    mesh.faceTypes.assign(corners.size() / 3,
                          Face{uvs.empty() ? kPositionOnly : kPositionTexture, 3});
    Welder welder(positions, uvs, mesh);
    for (std::uint32_t vertex : corners) {
        mesh.corners.push_back(welder.corner(vertex));
    }
    mesh.indexFaces();
    return mesh;
}

}  // namespace faceloom

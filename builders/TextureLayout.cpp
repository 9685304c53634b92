#include "builders/TextureLayout.h"

#include <algorithm>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "builders/CornerFans.h"
#include "builders/SurfaceBuild.h"
#include "mesh/SharedArray.h"

namespace faceloom {

bool faceHasTexture(const ObjMesh& mesh, std::uint32_t face) {
    if (mesh.faceTypes[face].x == kCornersUnread) {
        return false;
    }
    for (const vec2<unsigned int>& corner : mesh.faceCorners(face)) {
        if (corner.y < 1 || corner.y > mesh.uvCount) {
            return false;
        }
    }
    return true;
}

namespace {

// The texture coordinate each corner is taken to name: 0 on a face without texture.
// Counts the faces without texture that still name some (`brokenFaces`) and the faces
// that name one twice (`repeatingFaces`) in `layout`.
std::vector<std::uint32_t> cornerTextures(const ObjMesh& faces, TextureLayout& layout) {
    std::vector<std::uint32_t> texture(faces.cornerCount, 0);
    std::vector<std::uint32_t> indices;
    for (std::uint32_t face = 0; face < faces.faceCount; ++face) {
        const ObjMesh::FaceCorners corners = faces.faceCorners(face);
        if (!faceHasTexture(faces, face)) {
            bool anyIndex = false;
            for (const vec2<unsigned int>& corner : corners) {
                anyIndex = anyIndex || corner.y != 0;
            }
            layout.brokenFaces += anyIndex;
            continue;
        }
        indices.clear();
        for (std::uint32_t k = 0; k < corners.size(); ++k) {
            texture[faces.faceStarts[face] + k] = corners[k].y;
            indices.push_back(corners[k].y);
        }
        layout.repeatingFaces += firstRepeated(indices) != kNoneRepeated;
    }
    return texture;
}

// Per layout vertex (of `vertexCount`), whether its pair of position and texture
// coordinate is laid out on more than one fan, from the corners (position, layout
// vertex) and the texture coordinate each names.
std::vector<bool> laidOutTwice(const std::vector<vec2<unsigned int>>& corners,
                               const std::vector<std::uint32_t>& texture, std::size_t vertexCount) {
    // (position, texture coordinate, layout vertex) once each.
    std::vector<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>> uses;
    for (std::size_t c = 0; c < corners.size(); ++c) {
        if (texture[c] != 0) {
            uses.emplace_back(corners[c].x, texture[c], corners[c].y);
        }
    }
    std::sort(uses.begin(), uses.end());
    uses.erase(std::unique(uses.begin(), uses.end()), uses.end());
    std::vector<bool> twice(vertexCount, false);
    for (std::size_t i = 0; i + 1 < uses.size(); ++i) {
        const auto& [position, t, vertex] = uses[i];
        const auto& [nextPosition, nextT, nextVertex] = uses[i + 1];
        if (position == nextPosition && t == nextT) {
            twice[vertex - 1] = twice[nextVertex - 1] = true;
        }
    }
    return twice;
}

}  // namespace

std::optional<TextureLayout> layoutFromConnectivity(const ObjMesh& faces) {
    if (!hasPolygonFaces(faces) || faces.cornerCount > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    TextureLayout layout;
    layout.mesh = faces;
    const std::vector<std::uint32_t> texture = cornerTextures(faces, layout);

    const std::vector<std::uint64_t> fans = cornerFans(
        faces, [&](std::uint64_t fa, std::uint64_t ga, std::uint64_t fb, std::uint64_t gb) {
            return texture[fa] == texture[ga] && texture[fb] == texture[gb];
        });

    // Every corner of a fan names the same texture coordinate: agreeing edges are the
    // only links. So the fan alone names the layout vertex.
    std::vector<vec2<float>> uvs(faces.uvs.get(), faces.uvs.get() + faces.uvCount);
    std::vector<bool> numberTaken(faces.uvCount, false);
    constexpr std::uint32_t kUnnumbered = 0;
    std::vector<std::uint32_t> vertexOfFan(faces.cornerCount, kUnnumbered);  // 1-based
    std::vector<vec2<unsigned int>> corners(faces.corners.get(),
                                            faces.corners.get() + faces.cornerCount);
    for (std::uint64_t c = 0; c < faces.cornerCount; ++c) {
        std::uint32_t& vertex = vertexOfFan[fans[c]];
        if (vertex == kUnnumbered) {
            const std::uint32_t t = texture[c];
            if (t != 0 && !numberTaken[t - 1]) {
                numberTaken[t - 1] = true;
                vertex = t;
            } else {
                if (uvs.size() >= std::numeric_limits<std::uint32_t>::max()) {
                    return std::nullopt;
                }
                const vec2<float> uv = t != 0 ? uvs[t - 1] : vec2<float>{0.0f, 0.0f};
                uvs.push_back(uv);
                vertex = static_cast<std::uint32_t>(uvs.size());
            }
        }
        corners[c].y = vertex;
    }
    layout.keep = laidOutTwice(corners, texture, uvs.size());
    layout.mesh.uvs = toSharedArray(uvs);
    layout.mesh.uvCount = static_cast<std::uint32_t>(uvs.size());
    layout.mesh.corners = toSharedArray(corners);
    return layout;
}

ObjMesh faceIslands(const ObjMesh& layout) {
    ObjMesh islands = layout;
    std::vector<vec2<float>> uvs;
    std::vector<vec2<unsigned int>> corners(layout.corners.get(),
                                            layout.corners.get() + layout.cornerCount);
    uvs.reserve(layout.cornerCount);
    for (vec2<unsigned int>& corner : corners) {
        uvs.push_back(layout.uvs[corner.y - 1]);
        corner.y = static_cast<std::uint32_t>(uvs.size());
    }
    islands.uvs = toSharedArray(uvs);
    islands.uvCount = static_cast<std::uint32_t>(uvs.size());
    islands.corners = toSharedArray(corners);
    return islands;
}

std::vector<bool> texturedFaces(const ObjMesh& faces) {
    std::vector<bool> textured(faces.faceCount);
    bool all = true;
    for (std::uint32_t face = 0; face < faces.faceCount; ++face) {
        textured[face] = faceHasTexture(faces, face);
        all = all && textured[face];
    }
    return all ? std::vector<bool>{} : textured;
}

bool refinesTexture(const ObjMesh& mesh, Diagnostics& diagnostics) {
    if (mesh.uvCount == 0) {
        return false;
    }
    if (mesh.faceCount == 0 || !hasPolygonFaces(mesh)) {
        return true;
    }
    for (std::uint32_t face = 0; face < mesh.faceCount; ++face) {
        if (faceHasTexture(mesh, face)) {
            return true;
        }
    }
    diagnostics.progress("Warning : No face of [" + mesh.sourcePath() +
                         "] names a texture coordinate at every corner, so its " +
                         std::to_string(mesh.uvCount) +
                         " texture coordinates are unused and it is refined without texture\n");
    return false;
}

}  // namespace faceloom

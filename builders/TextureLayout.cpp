#include "TextureLayout.h"

#include <algorithm>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "CornerFans.h"
#include "MeshTopology.h"

namespace faceloom {

bool faceHasTexture(const ObjMesh& mesh, std::uint32_t face) {
    if (mesh.faceTypes[face].form == kCornersUnread) {
        return false;
    }
    for (const Corner& corner : mesh.faceCorners(face)) {
        if (corner.texture < 1 || corner.texture > mesh.uvCount()) {
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
    std::vector<std::uint32_t> texture(faces.cornerCount(), 0);
    std::vector<std::uint32_t> indices;
    for (std::uint32_t face = 0; face < faces.faceCount(); ++face) {
        const ObjMesh::FaceCorners corners = faces.faceCorners(face);
        if (!faceHasTexture(faces, face)) {
            bool anyIndex = false;
            for (const Corner& corner : corners) {
                anyIndex = anyIndex || corner.texture != 0;
            }
            layout.brokenFaces += anyIndex;
            continue;
        }
        indices.clear();
        for (std::uint32_t k = 0; k < corners.size(); ++k) {
            texture[faces.faceStarts[face] + k] = corners[k].texture;
            indices.push_back(corners[k].texture);
        }
        layout.repeatingFaces += firstRepeated(indices) != kNoneRepeated;
    }
    return texture;
}

// Per layout vertex (of `vertexCount`), whether its pair of position and texture
// coordinate is laid out on more than one fan, from the corners (position, layout
// vertex) and the texture coordinate each names.
std::vector<bool> laidOutTwice(const std::vector<Corner>& corners,
                               const std::vector<std::uint32_t>& texture, std::size_t vertexCount) {
    // (position, texture coordinate, layout vertex) once each.
    std::vector<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>> uses;
    for (std::size_t c = 0; c < corners.size(); ++c) {
        if (texture[c] != 0) {
            uses.emplace_back(corners[c].position, texture[c], corners[c].texture);
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
    if (!hasPolygonFaces(faces) ||
        faces.cornerCount() > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    TextureLayout layout;
    const std::vector<std::uint32_t> texture = cornerTextures(faces, layout);

    const std::vector<std::uint64_t> fans =
        cornerFans(faces,
                   [&](std::uint64_t fa, std::uint64_t ga, std::uint64_t fb, std::uint64_t gb) {
                       return texture[fa] == texture[ga] && texture[fb] == texture[gb];
                   })
            .fanOf;

    // Every corner of a fan names the same texture coordinate: agreeing edges are the
    // only links. So the fan alone names the layout vertex.
    std::vector<vec2<float>> uvs = faces.uvs;
    std::vector<bool> numberTaken(faces.uvCount(), false);
    constexpr std::uint32_t kUnnumbered = 0;
    std::vector<std::uint32_t> vertexOfFan(faces.cornerCount(), kUnnumbered);  // 1-based
    std::vector<Corner> corners = faces.corners;
    for (std::uint64_t c = 0; c < faces.cornerCount(); ++c) {
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
        corners[c].texture = vertex;
    }
    layout.keep = laidOutTwice(corners, texture, uvs.size());
    layout.mesh = withFacesOf(faces);
    layout.mesh.positions = faces.positions;
    layout.mesh.uvs = std::move(uvs);
    layout.mesh.corners = std::move(corners);
    return layout;
}

ObjMesh faceIslands(const ObjMesh& layout) {
    ObjMesh islands = withFacesOf(layout);
    islands.positions = layout.positions;
    islands.corners = layout.corners;
    islands.uvs.reserve(layout.cornerCount());
    for (Corner& corner : islands.corners) {
        islands.uvs.push_back(layout.uvs[corner.texture - 1]);
        corner.texture = static_cast<std::uint32_t>(islands.uvs.size());
    }
    return islands;
}

std::vector<bool> texturedFaces(const ObjMesh& faces) {
    std::vector<bool> textured(faces.faceCount());
    bool all = true;
    for (std::uint32_t face = 0; face < faces.faceCount(); ++face) {
        textured[face] = faceHasTexture(faces, face);
        all = all && textured[face];
    }
    return all ? std::vector<bool>{} : textured;
}

bool refinesTexture(const ObjMesh& mesh, Diagnostics& diagnostics) {
    if (mesh.uvCount() == 0) {
        return false;
    }
    if (mesh.faceCount() == 0 || !hasPolygonFaces(mesh)) {
        return true;
    }
    for (std::uint32_t face = 0; face < mesh.faceCount(); ++face) {
        if (faceHasTexture(mesh, face)) {
            return true;
        }
    }
    diagnostics.progress("Warning : No face of [" + mesh.sourcePath +
                         "] names a texture coordinate at every corner, so its " +
                         std::to_string(mesh.uvCount()) +
                         " texture coordinates are unused and it is refined without texture\n");
    return false;
}

}  // namespace faceloom

#include "SurfaceBuild.h"

namespace faceloom {

void readFacetIndices(const ObjMesh& mesh, std::uint32_t face, CornerSide side,
                      FacetIndices& facet) {
    facet.indices.clear();
    facet.problem.clear();
    facet.unread = mesh.faceTypes[face].form == kCornersUnread;
    if (facet.unread) {
        // A facet without corners is outside the builder's protocol: the face fails the
        // surface instead of being skipped, so both surfaces still pair facet for facet.
        facet.problem = "ERROR : Can't read the corners of face " + std::to_string(face + 1) +
                        " [" + mesh.sourcePath + "]";
        return;
    }
    for (const Corner& corner : mesh.faceCorners(face)) {
        // 1-based to 0-based in 32-bit arithmetic.
        facet.indices.push_back(indexOf(corner, side) - 1u);
    }
    while (facet.indices.size() < 3) {
        facet.indices.push_back(kNoneRepeated);
    }
    const std::uint32_t repeated = firstRepeated(facet.indices);
    if (repeated != kNoneRepeated) {
        facet.problem = "ERROR : Face " + std::to_string(face + 1) + " of [" + mesh.sourcePath +
                        "] names " +
                        (side == CornerSide::kPosition ? "position " : "texture coordinate ") +
                        std::to_string(repeated + 1u) + " twice";
    }
}

const char* noFacesMessage(CornerSide side) {
    return side == CornerSide::kPosition ? "ERROR : NULL Mesh" : "ERROR : NULL 2D Data";
}

std::string unsoundMessage(const ObjMesh& mesh) {
    return "ERROR : The faces of [" + mesh.sourcePath +
           "] don't link into a surface the refinement can take";
}

}  // namespace faceloom

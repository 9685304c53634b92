#include "InputLimits.h"

#include <vector>

namespace faceloom {

namespace {

// The first index (1-based) used by more than kMaxFacesAtVertex faces, or 0. Indices
// out of range are left for the builders to report.
std::uint32_t busiestIndex(const ObjMesh& mesh, std::uint32_t count, bool texture) {
    std::vector<std::uint32_t> faces(count);
    for (const Corner& corner : mesh.corners) {
        const std::uint32_t index = texture ? corner.texture : corner.position;
        if (index >= 1 && index <= count && ++faces[index - 1] > kMaxFacesAtVertex) {
            return index;
        }
    }
    return 0;
}

}  // namespace

std::string inputLimitRefusal(const ObjMesh& mesh) {
    const std::string where = "[" + mesh.sourcePath + "]";
    // The corners at an index count the faces that meet there (a face that names a
    // vertex twice is refused by the builders anyway).
    for (const bool texture : {false, true}) {
        const std::uint32_t count = texture ? mesh.uvCount() : mesh.vertexCount();
        if (const std::uint32_t index = busiestIndex(mesh, count, texture)) {
            return "ERROR : More than " + std::to_string(kMaxFacesAtVertex) + " faces of " + where +
                   " meet at " + (texture ? "texture coordinate " : "position ") +
                   std::to_string(index) +
                   ": the surface builder's time grows with the square of the faces at a "
                   "vertex, so " +
                   std::to_string(kMaxFacesAtVertex) + " is the most it takes";
        }
    }
    return "";
}

}  // namespace faceloom

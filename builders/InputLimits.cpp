#include "InputLimits.h"

#include <vector>

namespace faceloom {

std::string inputLimitRefusal(const ObjMesh& mesh) {
    // The corners at a position count the faces that meet there (a face that names a
    // vertex twice is refused by the builders anyway). Texture coordinates need no
    // count of their own: a layout vertex is one coordinate at one position, on one fan
    // of the faces there, so no more faces meet at it than at its position, however
    // many positions name the coordinate. Indices out of range are left for the
    // builders to report.
    const std::uint32_t count = mesh.vertexCount();
    std::vector<std::uint32_t> faces(count);
    for (const Corner& corner : mesh.corners) {
        const std::uint32_t index = corner.position;
        if (index >= 1 && index <= count && ++faces[index - 1] > kMaxFacesAtVertex) {
            return "ERROR : More than " + std::to_string(kMaxFacesAtVertex) + " faces of [" +
                   mesh.sourcePath + "] meet at position " + std::to_string(index) +
                   ": the surface builder's time grows with the square of the faces at a "
                   "vertex, so " +
                   std::to_string(kMaxFacesAtVertex) + " is the most it takes";
        }
    }
    return "";
}

}  // namespace faceloom

#include "output/PrintedSurfaces.h"

#include <sstream>

namespace {

// Calls onVertex(lineStream) and onFacet(lineStream) for the "v" and "f" lines of a
// printed text; every other line (the printer's comments, blank lines) is skipped.
template <class OnVertex, class OnFacet>
void forEachLine(const std::string& text, OnVertex onVertex, OnFacet onFacet) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string word;
        if (!(words >> word)) {
            continue;
        }
        if (word == "v") {
            onVertex(words);
        } else if (word == "f") {
            onFacet(words);
        }
    }
}

}  // namespace

RefinedMesh readPrintedSurfaces(const std::string& meshText, const std::string& uvText,
                                bool& textureMismatch) {
    RefinedMesh mesh;
    forEachLine(
        meshText,
        [&](std::istringstream& words) {
            vec3<float> p;
            words >> p.x >> p.y >> p.z;
            mesh.positions.push_back(p);
        },
        [&](std::istringstream& words) {
            // Every refined facet is a quadrilateral.
            for (int j = 0; j < 4; ++j) {
                vec2<std::uint32_t> corner;
                words >> corner.x;
                mesh.corners.push_back(corner);
            }
        });

    textureMismatch = false;
    if (uvText.empty()) {
        return mesh;
    }
    std::size_t filled = 0;  // corner entries the texture pass has filled
    forEachLine(
        uvText,
        [&](std::istringstream& words) {
            vec2<float> t;
            words >> t.x >> t.y;
            mesh.uvs.push_back(t);
        },
        [&](std::istringstream& words) {
            // Never fill a corner the position text did not create.
            if (filled + 4 > mesh.corners.size()) {
                textureMismatch = true;
                return;
            }
            for (int j = 0; j < 4; ++j) {
                words >> mesh.corners[filled + j].y;
            }
            filled += 4;
        });
    textureMismatch = textureMismatch || filled != mesh.corners.size();
    mesh.textured = !textureMismatch;
    return mesh;
}

#include "output/PrintedSurfaces.h"

#include <sstream>
#include <vector>

namespace {

// Calls onVertex(words) and onFacet(words) for the "v" and "f" lines of a printed
// text, `words` being the rest of the line; every other line (the printer's
// comments, blank lines) is skipped.
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
                                const FacetPairing* pairing) {
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
    if (pairing == nullptr) {
        return mesh;
    }

    std::vector<std::uint32_t> textureCorners;  // four per texture facet
    forEachLine(
        uvText,
        [&](std::istringstream& words) {
            vec2<float> t;
            words >> t.x >> t.y;
            mesh.uvs.push_back(t);
        },
        [&](std::istringstream& words) {
            for (int j = 0; j < 4; ++j) {
                std::uint32_t index = 0;
                words >> index;
                textureCorners.push_back(index);
            }
        });

    const std::size_t facets = pairing->textureFacet.size();
    if (mesh.facetCount() != facets || textureCorners.size() != 4 * facets) {
        mesh.uvs.clear();
        return mesh;
    }
    for (std::size_t k = 0; k < facets; ++k) {
        const std::size_t t = pairing->textureFacet[k];
        for (std::size_t a = 0; a < 4; ++a) {
            mesh.corners[4 * k + a].y = textureCorners[4 * t + (a + pairing->cornerShift[k]) % 4];
        }
    }
    mesh.textured = true;
    return mesh;
}

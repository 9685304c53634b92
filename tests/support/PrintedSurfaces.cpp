#include "support/PrintedSurfaces.h"

#include <sstream>
#include <vector>

#include <CGAL/boost/graph/IO/OBJ.h>

using namespace faceloom;

namespace test {

namespace {

// Calls onVertex(words) and onFacet(words) for the "v" and "f" lines of a printed
// text, `words` being the rest of the line; the printer's comments and blank lines
// are skipped.
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

std::string printSurface(const Polyhedron& surface) {
    std::ostringstream text;
    CGAL::IO::write_OBJ(text, surface);
    return text.str();
}

RefinedMesh readPrintedSurfaces(const std::string& meshText, const std::string& uvText,
                                const FacetLineage& textureLineage, const FacetPairing& pairing) {
    RefinedMesh mesh;
    forEachLine(
        meshText,
        [&](std::istringstream& words) {
            vec3<float> p;
            words >> p.x >> p.y >> p.z;
            mesh.positions.push_back(p);
        },
        [&](std::istringstream& words) {
            for (int j = 0; j < 4; ++j) {
                std::uint32_t index = 0;
                words >> index;
                mesh.positionCorners.push_back(index - 1);
            }
        });
    if (uvText.empty()) {
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
    mesh.textureCorners.resize(textureCorners.size());
    for (std::size_t t = 0; t < textureCorners.size() / 4; ++t) {
        const std::uint32_t p = pairing.positionFacet(textureLineage.slots()[t]);
        for (unsigned a = 0; a < 4; ++a) {
            mesh.textureCorners[4 * p + a] =
                textureCorners[4 * t + pairing.textureCorner(p, a, textureLineage.rotations()[t])] -
                1;
        }
    }
    mesh.textured = true;
    return mesh;
}

}  // namespace test

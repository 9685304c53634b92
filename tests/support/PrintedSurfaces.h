#pragma once

#include <string>

#include "builders/Polyhedron.h"
#include "output/RefinedMesh.h"
#include "refine/FacetLineage.h"
#include "refine/FacetPairing.h"

namespace test {

using namespace faceloom;

// The reference hand-over: prints both refined surfaces with CGAL's Wavefront printer
// and reads the texts back, the way the tool first did it. The tool now reads the
// surfaces directly; its files must come out byte for byte the same as through this.
std::string printSurface(const Polyhedron& surface);

// Reads the printed position text into positions and corners, and the printed
// texture text (when `uvText` is not empty) into texture coordinates and the texture
// indices of the corners, paired by descent as the tool pairs them.
RefinedMesh readPrintedSurfaces(const std::string& meshText, const std::string& uvText,
                                const FacetLineage& textureLineage, const FacetPairing& pairing);

}  // namespace test

#pragma once

#include <cstdint>
#include <exception>
#include <iostream>

#include <CGAL/Polyhedron_incremental_builder_3.h>

#include "builders/SurfaceCheck.h"
#include "mesh/ObjMesh.h"

// The walk both surface builders share: one vertex per entry of their vertex source,
// one facet per face of the record, with the face's corners in file order. Both
// builders walk the faces identically, so that whenever both succeed facet k of one
// surface lies over facet k of the other, corner j over corner j.
//
// How a build ended. On any failure the structure is left empty.
enum class BuildOutcome {
    kBuilt,
    kNoFaces,     // reported with the builder's own message
    kUnreadFace,  // a face whose corners could not be read; reported
    kRejected,    // CGAL refused the faces, or linked them unsoundly; reported when verbose
    kException,   // a std::exception, its text reported
};

// Builds the surface and says how it went. Only a kRejected build may succeed from
// another face list (a repaired one), so only its report depends on `verbose`: CGAL's
// diagnostics and the message for an unsound structure.
template <class HDS, class PointOf, class IndexOf>
BuildOutcome buildSurface(HDS& hds, const ObjMesh& mesh, bool verbose, const char* emptyMessage,
                  std::uint32_t vertexCount, PointOf pointOf, IndexOf indexOf) {
    try {
        CGAL::Polyhedron_incremental_builder_3<HDS> builder(hds, verbose);
        if (mesh.faceCount == 0) {
            std::cerr << emptyMessage << std::endl;
            return BuildOutcome::kNoFaces;
        }
        builder.begin_surface(vertexCount, mesh.faceCount, 2 * mesh.cornerCount + 2,
                              CGAL::Polyhedron_incremental_builder_3<HDS>::RELATIVE_INDEXING);
        for (std::uint32_t i = 0; i < vertexCount; ++i) {
            builder.add_vertex(pointOf(i));
        }

        const auto faceTypes = mesh.getFaceTypes();
        const auto corners = mesh.getCorners();
        bool unreadFace = false;
        std::uint64_t first = 0;  // the face's first entry in `corners`
        for (std::uint32_t face = 0; face < mesh.faceCount && !builder.error(); ++face) {
            if (faceTypes[face].x == kCornersUnread) {
                // A facet without corners is outside the builder's protocol: the face
                // fails the surface instead of being skipped, so both surfaces still
                // pair facet for facet.
                std::cerr << "ERROR : Can't read the corners of face " << face + 1 << " ["
                          << mesh.sourcePath() << "]" << std::endl;
                unreadFace = true;
                break;
            }
            builder.begin_facet();
            for (std::uint32_t k = 0; k < faceTypes[face].y; ++k) {
                // 1-based to 0-based in 32-bit arithmetic: a missing index (0) becomes
                // 4294967295, which the builder rejects as out of range.
                builder.add_vertex_to_facet(static_cast<std::uint32_t>(indexOf(corners[first + k]) - 1u));
            }
            builder.end_facet();
            first += faceTypes[face].y;
        }

        if (builder.error() || unreadFace) {
            // end_surface() keeps a half-linked surface after a failed check; only
            // rollback() takes back what this build added.
            builder.rollback();
            return unreadFace ? BuildOutcome::kUnreadFace : BuildOutcome::kRejected;
        }
        builder.end_surface();
        if (!isSoundSurface(hds)) {
            hds.clear();
            if (verbose) {
                std::cerr << "ERROR : The faces of [" << mesh.sourcePath()
                          << "] don't link into a surface the refinement can take" << std::endl;
            }
            return BuildOutcome::kRejected;
        }
        return BuildOutcome::kBuilt;
    } catch (const std::exception& e) {
        // The builder may have stopped inside a facet: don't keep half-linked pieces.
        hds.clear();
        std::cerr << e.what() << std::endl;
        return BuildOutcome::kException;
    }
}

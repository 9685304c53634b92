#pragma once

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include <CGAL/Modifier_base.h>
#include <CGAL/Polyhedron_incremental_builder_3.h>

#include "builders/CgalMessages.h"
#include "builders/SurfaceCheck.h"
#include "console/Diagnostics.h"
#include "mesh/ObjMesh.h"

namespace faceloom {

// The walk both surface builders share: one vertex per entry of their vertex source,
// one facet per face of the record, with the face's corners in file order. Both
// builders walk the faces identically, so that whenever both succeed facet k of one
// surface lies over facet k of the other, corner j over corner j.
//
constexpr std::uint32_t kNoneRepeated = 0xffffffffu;

// The first index that stands twice in `indices`, or kNoneRepeated. (An index of
// kNoneRepeated itself is out of range: the builder reports it.)
inline std::uint32_t firstRepeated(const std::vector<std::uint32_t>& indices) {
    if (indices.size() <= 16) {
        for (std::size_t i = 0; i < indices.size(); ++i) {
            for (std::size_t j = i + 1; j < indices.size(); ++j) {
                if (indices[i] == indices[j] && indices[i] != kNoneRepeated) {
                    return indices[i];
                }
            }
        }
        return kNoneRepeated;
    }
    std::vector<std::uint32_t> sorted(indices);
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        if (sorted[i] == sorted[i - 1] && sorted[i] != kNoneRepeated) {
            return sorted[i];
        }
    }
    return kNoneRepeated;
}

// How a build ended. On any failure the structure is left empty.
enum class BuildOutcome {
    kBuilt,
    kNoFaces,     // reported with the builder's own message
    kUnreadFace,  // a face whose corners could not be read; reported
    kRejected,    // CGAL refused the faces or linked them unsoundly, or a face runs through
                  // one vertex twice; reported when verbose
    kException,   // a std::exception, its text reported
};

// Builds the surface and says how it went. Only a kRejected build may succeed from
// another face list (a repaired one), so only its report depends on `verbose`: CGAL's
// diagnostics and the message for an unsound structure.
//
// `vertexNoun` names the vertices in messages ("position", "texture coordinate").
template <class HDS, class PointOf, class IndexOf>
BuildOutcome buildSurface(HDS& hds, const ObjMesh& mesh, bool verbose, Diagnostics& diagnostics,
                          const char* emptyMessage, const char* vertexNoun,
                          std::uint32_t vertexCount, PointOf pointOf, IndexOf indexOf) {
    CgalMessages cgalMessages(diagnostics);
    const auto report = [&](const std::string& line) { cgalMessages.report(line); };
    try {
        CGAL::Polyhedron_incremental_builder_3<HDS> builder(hds, verbose);
        if (mesh.faceCount == 0) {
            report(emptyMessage);
            return BuildOutcome::kNoFaces;
        }
        builder.begin_surface(vertexCount, mesh.faceCount, 2 * mesh.cornerCount + 2,
                              CGAL::Polyhedron_incremental_builder_3<HDS>::RELATIVE_INDEXING);
        for (std::uint32_t i = 0; i < vertexCount; ++i) {
            builder.add_vertex(pointOf(i));
        }

        const auto faceTypes = mesh.getFaceTypes();
        bool unreadFace = false, repeatedCorner = false;
        std::vector<std::uint32_t> faceIndices;
        for (std::uint32_t face = 0; face < mesh.faceCount && !builder.error(); ++face) {
            if (faceTypes[face].x == kCornersUnread) {
                // A facet without corners is outside the builder's protocol: the face
                // fails the surface instead of being skipped, so both surfaces still
                // pair facet for facet.
                report("ERROR : Can't read the corners of face " + std::to_string(face + 1) + " [" +
                       mesh.sourcePath() + "]");
                unreadFace = true;
                break;
            }
            // 1-based to 0-based in 32-bit arithmetic: a missing index (0) becomes
            // 4294967295, which the builder rejects as out of range.
            faceIndices.clear();
            for (const vec2<unsigned int>& corner : mesh.faceCorners(face)) {
                faceIndices.push_back(static_cast<std::uint32_t>(indexOf(corner) - 1u));
            }
            // A face of fewer than three corners is no polygon either: padded with
            // missing corners, it is refused as one naming a vertex that doesn't exist.
            while (faceIndices.size() < 3) {
                faceIndices.push_back(kNoneRepeated);
            }
            // A face through one vertex twice is no polygon. CGAL's builder refuses some
            // such faces, but from others it links a broken structure and may then loop
            // forever on a later face (found by fuzzing): refuse them all up front.
            const std::uint32_t repeated = firstRepeated(faceIndices);
            if (repeated != kNoneRepeated) {
                if (verbose) {
                    report("ERROR : Face " + std::to_string(face + 1) + " of [" +
                           mesh.sourcePath() + "] names " + vertexNoun + " " +
                           std::to_string(repeated + 1u) + " twice");
                }
                repeatedCorner = true;
                break;
            }
            builder.begin_facet();
            for (std::uint32_t index : faceIndices) {
                builder.add_vertex_to_facet(index);
            }
            builder.end_facet();
        }

        if (builder.error() || unreadFace || repeatedCorner) {
            // end_surface() keeps a half-linked surface after a failed check; only
            // rollback() takes back what this build added.
            builder.rollback();
            return unreadFace ? BuildOutcome::kUnreadFace : BuildOutcome::kRejected;
        }
        builder.end_surface();
        if (!isSoundSurface(hds)) {
            hds.clear();
            if (verbose) {
                report("ERROR : The faces of [" + mesh.sourcePath() +
                       "] don't link into a surface the refinement can take");
            }
            return BuildOutcome::kRejected;
        }
        return BuildOutcome::kBuilt;
    } catch (const std::exception& e) {
        // The builder may have stopped inside a facet: don't keep half-linked pieces.
        hds.clear();
        report(e.what());
        return BuildOutcome::kException;
    }
}

// What both surface builders hold: the record they read (not owned; it must outlive
// the build), where to report, whether CGAL may print its diagnostics, and how the
// last build ended.
template <class HDS>
class SurfaceBuilder : public CGAL::Modifier_base<HDS> {
public:
    BuildOutcome outcome() const { return outcome_; }
    bool succeeded() const { return outcome_ == BuildOutcome::kBuilt; }

protected:
    SurfaceBuilder(const ObjMesh* mesh, Diagnostics& diagnostics, bool verbose)
        : mesh(mesh), diagnostics(diagnostics), verbose(verbose) {}

    const ObjMesh* mesh;
    Diagnostics& diagnostics;
    bool verbose;
    BuildOutcome outcome_ = BuildOutcome::kException;
};

}  // namespace faceloom

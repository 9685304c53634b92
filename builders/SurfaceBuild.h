#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include <CGAL/Modifier_base.h>
#include <CGAL/Polyhedron_incremental_builder_3.h>

#include "CgalMessages.h"
#include "Diagnostics.h"
#include "MeshTopology.h"
#include "ObjMesh.h"
#include "SurfaceCheck.h"

namespace faceloom {

// The walk both surface builders share: one vertex per position (or texture
// coordinate) of the record, one facet per face, with the face's corners in file
// order. Both builders walk the faces identically, so that whenever both succeed
// facet k of one surface lies over facet k of the other, corner j over corner j.

// How a build ended. On any failure the structure is left empty.
enum class BuildOutcome {
    kBuilt,
    kNoFaces,     // reported with the builder's own message
    kUnreadFace,  // a face whose corners could not be read; reported
    kRejected,    // CGAL refused the faces or linked them unsoundly, or a face runs through
                  // one vertex twice; reported when verbose
    kException,   // a std::exception, its text reported
};

// What is wrong with a face before CGAL sees it, and its 0-based vertex indices.
struct FacetIndices {
    std::vector<std::uint32_t> indices;
    std::string problem;  // the error line, or "" for a face the builder may take
    bool unread = false;  // the problem is that its corners could not be read
};

// Fills `facet` with face `face`'s indices on `side`: a missing index (0) becomes
// 4294967295, which CGAL rejects as out of range, and so does the padding of a face of
// fewer than three corners. A face that can't be read, or runs through one vertex
// twice, is a problem: CGAL's builder refuses some faces of the second kind, but from
// others it links a broken structure and may then loop forever on a later face (found
// by fuzzing).
void readFacetIndices(const ObjMesh& mesh, std::uint32_t face, CornerSide side,
                      FacetIndices& facet);

// The builder's message for a record without faces.
const char* noFacesMessage(CornerSide side);

// The message for faces CGAL accepted but linked into no sound surface.
std::string unsoundMessage(const ObjMesh& mesh);

// Builds the surface of `side` of `mesh` into `hds` and says how it went. Only a
// kRejected build may succeed from another face list (a repaired one), so only its
// report depends on `verbose`: CGAL's diagnostics, and the messages for a face through
// one vertex twice and for an unsound structure.
template <class HDS>
BuildOutcome buildSurface(HDS& hds, const ObjMesh& mesh, CornerSide side, bool verbose,
                          Diagnostics& diagnostics) {
    using Builder = CGAL::Polyhedron_incremental_builder_3<HDS>;
    using Point = typename HDS::Vertex::Point;
    CgalMessages cgalMessages(diagnostics);
    try {
        Builder builder(hds, verbose);
        if (mesh.faceCount() == 0) {
            cgalMessages.report(noFacesMessage(side));
            return BuildOutcome::kNoFaces;
        }
        const bool texture = side == CornerSide::kTexture;
        const std::uint32_t vertices = texture ? mesh.uvCount() : mesh.vertexCount();
        builder.begin_surface(vertices, mesh.faceCount(), 2 * mesh.cornerCount() + 2,
                              Builder::RELATIVE_INDEXING);
        for (std::uint32_t i = 0; i < vertices; ++i) {
            builder.add_vertex(texture ? Point(mesh.uvs[i].x, mesh.uvs[i].y, 0.0f)
                                       : Point(mesh.positions[i].x, mesh.positions[i].y,
                                               mesh.positions[i].z));
        }
        FacetIndices facet;
        for (std::uint32_t face = 0; face < mesh.faceCount() && !builder.error(); ++face) {
            readFacetIndices(mesh, face, side, facet);
            if (!facet.problem.empty()) {
                if (verbose || facet.unread) {
                    cgalMessages.report(facet.problem);
                }
                break;
            }
            builder.begin_facet();
            for (std::uint32_t index : facet.indices) {
                builder.add_vertex_to_facet(index);
            }
            builder.end_facet();
        }
        if (builder.error() || !facet.problem.empty()) {
            // end_surface() keeps a half-linked surface after a failed check; only
            // rollback() takes back what this build added.
            builder.rollback();
            return facet.unread ? BuildOutcome::kUnreadFace : BuildOutcome::kRejected;
        }
        builder.end_surface();
        if (!isSoundSurface(hds)) {
            hds.clear();
            if (verbose) {
                cgalMessages.report(unsoundMessage(mesh));
            }
            return BuildOutcome::kRejected;
        }
        return BuildOutcome::kBuilt;
    } catch (const std::exception& e) {
        // The builder may have stopped inside a facet: don't keep half-linked pieces.
        hds.clear();
        cgalMessages.report(e.what());
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
        : mesh_(mesh), diagnostics_(diagnostics), verbose_(verbose) {}

    // Builds the surface of `side` and keeps how it went.
    void build(HDS& hds, CornerSide side) {
        outcome_ = buildSurface(hds, *mesh_, side, verbose_, diagnostics_);
    }

private:
    const ObjMesh* mesh_;
    Diagnostics& diagnostics_;
    bool verbose_;
    BuildOutcome outcome_ = BuildOutcome::kException;
};

}  // namespace faceloom

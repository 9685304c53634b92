#include "app/RunSubdivision.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <string>

#include <CGAL/Timer.h>

#include "app/CatmullClarkStep.h"
#include "app/FacetLineage.h"
#include "app/FacetPairing.h"
#include "app/InputLimits.h"
#include "app/MemoryBudget.h"
#include "app/SurfaceHandOver.h"
#include "builders/FaceOrientationRepair.h"
#include "builders/PlaneBuilder.h"
#include "builders/Polyhedron.h"
#include "builders/TextureSeamSplit.h"
#include "builders/TriQuadBuilder.h"
#include "output/MaterialLibraryPath.h"
#include "output/MergedObjWriter.h"
#include "output/OutputFile.h"

namespace {

// Progress lines go out at once, so that they keep their place among error lines
// when both streams share a console or a log.
void progress(const char* line) {
    std::fputs(line, stdout);
    std::fflush(stdout);
}

// Every phase ends with stop, print, reset, so that each printed time is the
// phase's own processor time.
void endPhase(CGAL::Timer& timer, int steps = 0) {
    timer.stop();
    if (steps > 0) {
        std::printf("Finish [%d] Steps In [%f] Second\n", steps, timer.time());
    } else {
        std::printf("Finished In [%f] Second\n", timer.time());
    }
    std::fflush(stdout);
    timer.reset();
}

// Adds the wall time since the last lap to a phase of PhaseTimes, when asked to.
class PhaseClock {
public:
    explicit PhaseClock(PhaseTimes* times) : times_(times) {}
    void lap(double PhaseTimes::*phase) {
        const auto now = std::chrono::steady_clock::now();
        if (times_ != nullptr) {
            times_->*phase += std::chrono::duration<double>(now - last_).count();
        }
        last_ = now;
    }

private:
    PhaseTimes* times_;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

// Refines a surface by `steps` steps: one timed phase with its two console lines.
// Every new facet is named by its descent, so that the two surfaces can be paired;
// that bookkeeping is timed as pairing, apart from the refinement.
void refinePhase(const char* beginLine, Polyhedron& surface, FacetLineage& lineage, int steps,
                 CGAL::Timer& timer, PhaseClock& clock, double PhaseTimes::*phase) {
    timer.start();
    progress(beginLine);
    for (int i = 0; i < steps; ++i) {
        lineage.beforeStep(surface);
        refineOneStep(surface);
        clock.lap(phase);
        lineage.afterStep(surface);
        clock.lap(&PhaseTimes::pairing);
    }
    endPhase(timer, steps);
}

// Gives every refined facet the material of the face it descends from, and the
// library lines their paths as seen from the output's directory.
void takeMaterials(const ObjMesh& faces, const FacetLineage& lineage, const char* outputPath,
                   Refinement& result) {
    RefinedMesh& refined = result.mesh;
    for (const std::string& library : faces.materialLibraries) {
        refined.materialLibraries.push_back(
            rewriteMaterialLibraries(library, faces.sourcePath(), outputPath));
    }
    if (!faces.faceMaterials) {
        return;  // a library but no face that uses it
    }
    const std::vector<std::uint32_t> inputFaces = lineage.inputFaces();
    if (inputFaces.size() != refined.facetCount()) {
        std::cerr << "ERROR : Materials dropped, the refined facets could not be traced to their "
                     "faces ["
                  << outputPath << "]" << std::endl;
        result.clean = false;
        return;
    }
    refined.materialNames = faces.materialNames;
    refined.facetMaterials.resize(inputFaces.size());
    for (std::size_t f = 0; f < inputFaces.size(); ++f) {
        refined.facetMaterials[f] = faces.faceMaterials[inputFaces[f]];
    }
}

bool writeOutput(const RefinedMesh& refined, const char* outputPath) {
    OutputFile file(outputPath);
    if (!file.open() || !writeMergedObj(refined, file) || !file.commit()) {
        std::cerr << "ERROR : Can't write to [" << outputPath
                  << "]: " << std::strerror(file.error()) << std::endl;
        return false;
    }
    return true;
}

// Another face list to build from when CGAL refuses the first, and the warning to
// print when it builds.
struct Repair {
    ObjMesh mesh;
    std::string warning;
};

std::optional<Repair> orientedFaces(const ObjMesh& mesh) {
    std::optional<OrientedFaces> oriented = orientFaces(mesh);
    if (!oriented) {
        return std::nullopt;
    }
    return Repair{std::move(oriented->mesh),
                  "Warning : Turned " + std::to_string(oriented->turnedFaces) +
                      " faces and split " + std::to_string(oriented->splitVertices) +
                      " vertices of [" + mesh.sourcePath() + "] to build its surface\n"};
}

std::optional<Repair> splitLayout(const ObjMesh& mesh) {
    std::optional<SplitTexture> split = splitTextureSeams(mesh);
    if (!split) {
        return std::nullopt;
    }
    return Repair{std::move(split->mesh),
                  "Warning : Split " + std::to_string(split->sharedBefore) +
                      " shared texture coordinates into " + std::to_string(split->after) +
                      " to build the texture layout of [" + mesh.sourcePath() + "]\n"};
}

// Builds a surface from `mesh` with a Builder. When CGAL refuses the faces, tries once
// more from what `repair` makes of them; `repaired` then holds the faces the surface
// was built from. Only when that fails too is the refusal reported, as the plain build
// reports it. Returns the record the surface was built from, or null.
template <template <class> class Builder>
const ObjMesh* buildSurfaceFrom(const ObjMesh& mesh, Polyhedron& surface,
                                std::optional<ObjMesh>& repaired,
                                std::optional<Repair> (*repair)(const ObjMesh&)) {
    Builder<HDS> plain(&mesh, /*verbose=*/false);
    surface.delegate(plain);
    if (plain.succeeded()) {
        return &mesh;
    }
    if (plain.outcome() != BuildOutcome::kRejected) {
        return nullptr;  // reported already; no other face list can help
    }
    if (std::optional<Repair> fixed = repair(mesh)) {
        Builder<HDS> builder(&fixed->mesh, false);
        surface.delegate(builder);
        if (builder.succeeded()) {
            progress(fixed->warning.c_str());
            repaired = std::move(fixed->mesh);
            return &*repaired;
        }
    }
    Builder<HDS> reporting(&mesh, true);
    surface.delegate(reporting);
    return nullptr;
}

}  // namespace

Refinement refineMesh(const ObjMesh& mesh, int steps, const char* outputName, PhaseTimes* times) {
    PhaseClock clock(times);
    CGAL::Timer phaseTimer;
    const bool withTexture = mesh.uvCount != 0;
    Refinement result;
    std::optional<FacetPairing> pairing;
    std::optional<ObjMesh> repairedFaces;
    const ObjMesh* faces = &mesh;  // the faces the position surface was built from

    // Only one refined surface is held at a time: the position surface is handed
    // over and released before the texture surface is built.
    {
        Polyhedron meshPolyhedron;
        progress("Begin To Build Polyhedron Mesh\n");
        phaseTimer.start();
        const ObjMesh* built =
            buildSurfaceFrom<TriQuadBuilder>(mesh, meshPolyhedron, repairedFaces, &orientedFaces);
        endPhase(phaseTimer);
        clock.lap(&PhaseTimes::build);
        result.hasOutput = built != nullptr;
        if (built != nullptr) {
            faces = built;
        }

        FacetLineage lineage(meshPolyhedron, *faces, FacetLineage::Side::kPositions);
        clock.lap(&PhaseTimes::pairing);
        refinePhase("Begin To Subdividing Mesh\n", meshPolyhedron, lineage, steps, phaseTimer,
                    clock, &PhaseTimes::refinePositions);

        if (result.hasOutput) {
            takePositions(meshPolyhedron, &lineage, result.mesh);
            clock.lap(&PhaseTimes::handOver);
            if (withTexture) {
                pairing.emplace(lineage);
                clock.lap(&PhaseTimes::pairing);
            }
            if (faces->faceMaterials || !faces->materialLibraries.empty()) {
                takeMaterials(*faces, lineage, outputName, result);
                clock.lap(&PhaseTimes::handOver);
            }
        }
    }
    clock.lap(&PhaseTimes::handOver);  // releasing the surface

    if (withTexture) {
        Polyhedron uvPolyhedron;
        std::optional<ObjMesh> repairedLayout;
        progress("Begin To Build Polyhedron UV\n");
        phaseTimer.start();
        const ObjMesh* layout =
            buildSurfaceFrom<PlaneBuilder>(*faces, uvPolyhedron, repairedLayout, &splitLayout);
        endPhase(phaseTimer);
        clock.lap(&PhaseTimes::build);

        FacetLineage lineage(uvPolyhedron, layout != nullptr ? *layout : *faces,
                             FacetLineage::Side::kTexture);
        clock.lap(&PhaseTimes::pairing);
        refinePhase("Begin To Subdividing UV\n", uvPolyhedron, lineage, steps, phaseTimer, clock,
                    &PhaseTimes::refineTexture);

        if (layout == nullptr) {
            result.clean = false;  // the builder said why
        }
        if (result.hasOutput &&
            !(layout != nullptr && takeTexture(uvPolyhedron, lineage, *pairing, result.mesh))) {
            // Written without texture rather than with texture indices that name nothing.
            std::cerr << "ERROR : Texture coordinates dropped, their layout could not be refined "
                         "with the mesh ["
                      << outputName << "]" << std::endl;
            result.clean = false;
        }
        clock.lap(&PhaseTimes::handOver);
    }
    clock.lap(&PhaseTimes::handOver);  // releasing the surface
    if (result.hasOutput) {
        if (const char* part = nonFinitePart(result.mesh)) {
            std::cerr << "ERROR : The refined " << part << " of [" << mesh.sourcePath()
                      << "] overflow single precision (its numbers are too close to 3.4e38 "
                         "to refine): nothing written"
                      << std::endl;
            result.hasOutput = false;
        }
    }
    if (!result.hasOutput) {
        result.clean = false;  // the builder said why
    }
    return result;
}

bool runSubdivision(ObjMesh& mesh, const char* outputPath, int steps, PhaseTimes* times) {
    try {
        std::string refusal = inputLimitRefusal(mesh);
        if (refusal.empty()) {
            refusal = memoryRefusal(mesh, steps, availableMemory());
        }
        if (!refusal.empty()) {
            std::cerr << refusal << std::endl;
            return false;
        }
        Refinement refinement = refineMesh(mesh, steps, outputPath, times);
        if (!refinement.hasOutput) {
            return false;  // nothing to write: the output path stays as it was
        }
        const auto start = std::chrono::steady_clock::now();
        const bool written = writeOutput(refinement.mesh, outputPath);
        if (times != nullptr) {
            times->write +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        return written && refinement.clean;
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        return false;
    }
}

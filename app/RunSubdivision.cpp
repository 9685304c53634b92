#include "app/RunSubdivision.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>

#include <CGAL/Timer.h>

#include "app/FacetLineage.h"
#include "app/FacetPairing.h"
#include "app/MemoryBudget.h"
#include "app/Refinement.h"
#include "app/SurfaceHandOver.h"
#include "builders/PlaneBuilder.h"
#include "builders/Polyhedron.h"
#include "builders/TriQuadBuilder.h"
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

// Builds a surface with `builder`: one timed phase with its two console lines.
template <class Builder>
void buildPhase(const char* beginLine, Polyhedron& surface, Builder& builder, CGAL::Timer& timer,
                PhaseClock& clock) {
    progress(beginLine);
    timer.start();
    surface.delegate(builder);
    endPhase(timer);
    clock.lap(&PhaseTimes::build);
}

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

bool writeOutput(const RefinedMesh& refined, const char* outputPath) {
    OutputFile file(outputPath);
    if (!file.open() || !writeMergedObj(refined, file) || !file.commit()) {
        std::cerr << "ERROR : Can't write to [" << outputPath << "]" << std::endl;
        return false;
    }
    return true;
}

}  // namespace

Refinement refineMesh(const ObjMesh& mesh, int steps, const char* outputName, PhaseTimes* times) {
    PhaseClock clock(times);
    CGAL::Timer phaseTimer;
    const bool withTexture = mesh.uvCount != 0;
    Refinement result;
    std::optional<FacetPairing> pairing;

    // Only one refined surface is held at a time: the position surface is handed
    // over and released before the texture surface is built.
    {
        TriQuadBuilder<HDS> positionBuilder(&mesh);
        Polyhedron meshPolyhedron;
        buildPhase("Begin To Build Polyhedron Mesh\n", meshPolyhedron, positionBuilder, phaseTimer,
                   clock);
        result.hasOutput = positionBuilder.succeeded();

        FacetLineage lineage(meshPolyhedron, mesh, FacetLineage::Side::kPositions);
        clock.lap(&PhaseTimes::pairing);
        refinePhase("Begin To Subdividing Mesh\n", meshPolyhedron, lineage, steps, phaseTimer, clock,
                    &PhaseTimes::refinePositions);

        if (result.hasOutput) {
            takePositions(meshPolyhedron, &lineage, result.mesh);
            clock.lap(&PhaseTimes::handOver);
            if (withTexture) {
                pairing.emplace(lineage);
                clock.lap(&PhaseTimes::pairing);
            }
        }
    }
    clock.lap(&PhaseTimes::handOver);  // releasing the surface

    if (withTexture) {
        PlaneBuilder<HDS> uvBuilder(&mesh);
        Polyhedron uvPolyhedron;
        buildPhase("Begin To Build Polyhedron UV\n", uvPolyhedron, uvBuilder, phaseTimer, clock);
        FacetLineage lineage(uvPolyhedron, mesh, FacetLineage::Side::kTexture);
        clock.lap(&PhaseTimes::pairing);
        refinePhase("Begin To Subdividing UV\n", uvPolyhedron, lineage, steps, phaseTimer, clock,
                    &PhaseTimes::refineTexture);

        if (!uvBuilder.succeeded()) {
            result.clean = false;  // the builder said why
        }
        if (result.hasOutput &&
            !(uvBuilder.succeeded() && takeTexture(uvPolyhedron, lineage, *pairing, result.mesh))) {
            // Written without texture rather than with texture indices that name nothing.
            std::cerr << "ERROR : Texture coordinates dropped, their layout could not be refined "
                         "with the mesh ["
                      << outputName << "]" << std::endl;
            result.clean = false;
        }
        clock.lap(&PhaseTimes::handOver);
    }
    clock.lap(&PhaseTimes::handOver);  // releasing the surface
    if (!result.hasOutput) {
        result.clean = false;  // the builder said why
    }
    return result;
}

bool runSubdivision(ObjMesh& mesh, const char* outputPath, int steps, PhaseTimes* times) {
    try {
        const std::string refusal = memoryRefusal(mesh, steps, availableMemory());
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
            times->write += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        return written && refinement.clean;
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        return false;
    }
}

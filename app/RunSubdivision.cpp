#include "app/RunSubdivision.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>

#include <CGAL/Timer.h>

#include "app/FacetLineage.h"
#include "app/FacetPairing.h"
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
template <typename... Args>
void progress(const char* format, Args... args) {
    std::printf(format, args...);
    std::fflush(stdout);
}

// Every phase ends with stop, print, reset, so that each printed time is the
// phase's own processor time.
void endPhase(CGAL::Timer& timer, int steps = 0) {
    timer.stop();
    if (steps > 0) {
        progress("Finish [%d] Steps In [%f] Second\n", steps, timer.time());
    } else {
        progress("Finished In [%f] Second\n", timer.time());
    }
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

void writeOutput(const RefinedMesh& refined, const char* outputPath) {
    OutputFile file;
    if (!file.open(outputPath) || !writeMergedObj(refined, file) || !file.close()) {
        std::cerr << "ERROR : Can't write to [" << outputPath << "]" << std::endl;
    }
}

}  // namespace

void runSubdivision(ObjMesh& mesh, const char* outputPath, int steps, PhaseTimes* times) {
    PhaseClock clock(times);
    try {
        CGAL::Timer phaseTimer;
        const bool withTexture = mesh.uvCount != 0;
        RefinedMesh refined;
        std::optional<FacetPairing> pairing;
        bool positionsBuilt = false;

        // Only one refined surface is held at a time: the position surface is handed
        // over and released before the texture surface is built.
        {
            TriQuadBuilder<HDS> positionBuilder(&mesh);
            Polyhedron meshPolyhedron;
            buildPhase("Begin To Build Polyhedron Mesh\n", meshPolyhedron, positionBuilder,
                       phaseTimer, clock);
            positionsBuilt = positionBuilder.succeeded();

            FacetLineage lineage(meshPolyhedron, mesh, FacetLineage::Side::kPositions);
            clock.lap(&PhaseTimes::pairing);
            refinePhase("Begin To Subdividing Mesh\n", meshPolyhedron, lineage, steps, phaseTimer,
                        clock, &PhaseTimes::refinePositions);

            takePositions(meshPolyhedron, &lineage, refined);
            clock.lap(&PhaseTimes::handOver);
            if (withTexture) {
                pairing.emplace(lineage);
                clock.lap(&PhaseTimes::pairing);
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

            const bool textured = positionsBuilt && uvBuilder.succeeded() &&
                                  takeTexture(uvPolyhedron, lineage, *pairing, refined);
            clock.lap(&PhaseTimes::handOver);
            if (!textured) {
                std::cerr << "ERROR : Texture coordinates dropped, their layout could not be "
                             "refined with the mesh ["
                          << outputPath << "]" << std::endl;
            }
        }
        clock.lap(&PhaseTimes::handOver);  // releasing the surface

        writeOutput(refined, outputPath);
        clock.lap(&PhaseTimes::write);
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
    }
}

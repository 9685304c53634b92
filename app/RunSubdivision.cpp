#include "app/RunSubdivision.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <sstream>

#include <CGAL/Timer.h>
#include <CGAL/boost/graph/IO/OBJ.h>

#include "app/FacetLineage.h"
#include "app/FacetPairing.h"
#include "app/Refinement.h"
#include "builders/PlaneBuilder.h"
#include "builders/Polyhedron.h"
#include "builders/TriQuadBuilder.h"
#include "output/MergedObjWriter.h"
#include "output/OutputFile.h"
#include "output/PrintedSurfaces.h"

namespace {

// Progress lines go out at once, so that they keep their place among error lines
// when both streams share a console or a log.
template <typename... Args>
void progress(const char* format, Args... args) {
    std::printf(format, args...);
    std::fflush(stdout);
}

void endPhase(CGAL::Timer& timer, int steps = 0) {
    timer.stop();
    if (steps > 0) {
        progress("Finish [%d] Steps In [%f] Second\n", steps, timer.time());
    } else {
        progress("Finished In [%f] Second\n", timer.time());
    }
    timer.reset();
}


void writeOutput(const RefinedMesh& refined, const char* outputPath) {
    OutputFile file;
    if (!file.open(outputPath) || !writeMergedObj(refined, file) || !file.close()) {
        std::cerr << "ERROR : Can't write to [" << outputPath << "]" << std::endl;
    }
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

// Refines one step at a time, naming each new facet by its descent so that the two
// surfaces can be paired afterwards. The naming is timed as part of the pairing.
void refine(Polyhedron& surface, FacetLineage& lineage, int steps, PhaseClock& clock,
            double PhaseTimes::*refinePhase) {
    for (int i = 0; i < steps; ++i) {
        lineage.beforeStep(surface);
        clock.lap(&PhaseTimes::pairing);
        refineOneStep(surface);
        clock.lap(refinePhase);
        lineage.afterStep(surface);
        clock.lap(&PhaseTimes::pairing);
    }
}

}  // namespace

void runSubdivision(ObjMesh& mesh, const char* outputPath, int steps, PhaseTimes* times) {
    PhaseClock clock(times);
    try {
        CGAL::Timer phaseTimer;
        TriQuadBuilder<HDS> positionBuilder(&mesh);
        Polyhedron meshPolyhedron;
        Polyhedron uvPolyhedron;

        progress("Begin To Build Polyhedron Mesh\n");
        phaseTimer.start();
        meshPolyhedron.delegate(positionBuilder);
        endPhase(phaseTimer);
        clock.lap(&PhaseTimes::build);

        phaseTimer.start();
        progress("Begin To Subdividing Mesh\n");
        clock.lap(&PhaseTimes::build);
        FacetLineage meshLineage(meshPolyhedron, mesh, FacetLineage::Side::kPositions);
        refine(meshPolyhedron, meshLineage, steps, clock, &PhaseTimes::refinePositions);
        endPhase(phaseTimer, steps);

        std::ostringstream meshText;
        std::ostringstream uvText;
        FacetPairing pairing;
        bool paired = false;
        if (mesh.uvCount != 0) {
            PlaneBuilder<HDS> uvBuilder(&mesh);
            progress("Begin To Build Polyhedron UV\n");
            phaseTimer.start();
            uvPolyhedron.delegate(uvBuilder);
            endPhase(phaseTimer);
            clock.lap(&PhaseTimes::build);

            phaseTimer.start();
            progress("Begin To Subdividing UV\n");
            clock.lap(&PhaseTimes::build);
            FacetLineage uvLineage(uvPolyhedron, mesh, FacetLineage::Side::kTexture);
            refine(uvPolyhedron, uvLineage, steps, clock, &PhaseTimes::refineTexture);
            endPhase(phaseTimer, steps);
            paired = positionBuilder.succeeded() && uvBuilder.succeeded() &&
                     pairFacets(meshLineage, uvLineage, pairing);
            clock.lap(&PhaseTimes::pairing);
            CGAL::IO::write_OBJ(uvText, uvPolyhedron);
        }
        CGAL::IO::write_OBJ(meshText, meshPolyhedron);
        meshPolyhedron.clear();
        uvPolyhedron.clear();

        RefinedMesh refined =
            readPrintedSurfaces(meshText.str(), uvText.str(), paired ? &pairing : nullptr);
        clock.lap(&PhaseTimes::handOver);
        if (mesh.uvCount != 0 && !refined.textured) {
            std::cerr << "ERROR : Texture coordinates dropped, their layout could not be refined "
                         "with the mesh ["
                      << outputPath << "]" << std::endl;
        }
        writeOutput(refined, outputPath);
        clock.lap(&PhaseTimes::write);
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
    }
}

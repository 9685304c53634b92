#include "RunSubdivision.h"

#include <cstring>
#include <exception>
#include <string>

#include "DeferredDiagnostics.h"
#include "ForkJoin.h"
#include "InputLimits.h"
#include "MaterialLibraryPath.h"
#include "MergedObjWriter.h"
#include "NumberingProbe.h"
#include "OutputFile.h"
#include "PositionSide.h"
#include "RepairingBuild.h"
#include "SurfaceHandOver.h"
#include "TextureLayout.h"
#include "TextureSide.h"

namespace faceloom {

namespace {

// One run, step by step. Its parts are members so that whatever the second thread
// works on outlives that thread.
class SubdivisionRun {
public:
    SubdivisionRun(const ObjMesh& mesh, const char* outputName, const RunOptions& options,
                   PhaseReporter& phases, Diagnostics& diagnostics)
        : mesh_(mesh),
          outputName_(outputName),
          options_(options),
          phases_(phases),
          diagnostics_(diagnostics),
          besidePhases_(besideMessages_, phases.times()) {}

    // Refines both sides and pairs them; true when there is a refined mesh to write.
    bool refine();
    RefinedMesh& refined() { return refined_; }
    // Whether the run reported no error so far.
    bool clean() const { return clean_; }

private:
    void refinePositions();
    void refineTexture(PhaseReporter& phases, Diagnostics& diagnostics);

    const ObjMesh& mesh_;
    const char* outputName_;
    const RunOptions& options_;
    PhaseReporter& phases_;
    Diagnostics& diagnostics_;
    // The texture's messages while it refines beside the positions, shown after theirs.
    DeferredDiagnostics besideMessages_;
    PhaseReporter besidePhases_;

    std::optional<PositionSide> positions_;
    std::optional<ObjMesh> repairedFaces_;
    const ObjMesh* faces_ = nullptr;  // the faces both surfaces are built from
    bool withTexture_ = false;
    TextureSide texture_;
    RefinedMesh refined_;
    RefinedPositions handedOver_;
    bool hasOutput_ = false;  // there are refined positions to write
    bool clean_ = true;
};

bool SubdivisionRun::refine() {
    withTexture_ = refinesTexture(mesh_, diagnostics_);
    positions_.emplace();
    positions_->limit = options_.limit;
    texture_.limitSurface = options_.limit.limitSurface;
    positions_->build(mesh_, phases_, diagnostics_);
    // Kept by the run: both sides use them, the texture after the position side is gone.
    repairedFaces_ = std::move(positions_->built.repaired);
    faces_ = repairedFaces_ ? &*repairedFaces_ : &mesh_;
    // The texture beside the positions when both fit at once. Built last levels are four
    // times larger than computed ones: those sides take their turns.
    const bool together = withTexture_ && options_.overlap == SurfaceOverlap::kBothAtOnce &&
                          options_.path == LevelPath::kLastComputed;
    forkJoinIf(
        together,
        [&] {
            refineTexture(together ? besidePhases_ : phases_,
                          together ? besideMessages_ : diagnostics_);
        },
        [&] { refinePositions(); });
    besideMessages_.replay(diagnostics_);
    if (withTexture_ && !texture_.pair(handedOver_, hasOutput_, outputName_, phases_,
                                       diagnostics_, refined_)) {
        clean_ = false;
    }
    texture_ = TextureSide();
    handedOver_ = RefinedPositions();
    if (hasOutput_ && !allFinite(refined_.positions)) {
        diagnostics_.error(overflowError("positions", mesh_.sourcePath));
        hasOutput_ = false;
    } else if (hasOutput_ && !allFinite(refined_.uvs)) {
        diagnostics_.error(overflowError("texture coordinates", mesh_.sourcePath));
        hasOutput_ = false;
    }
    clean_ = clean_ && hasOutput_;  // without output, the builder said why
    return hasOutput_;
}

void SubdivisionRun::refinePositions() {
    positions_->refine(options_.steps, options_.smoothing, options_.path, phases_, refined_);
    handedOver_ = positions_->handOver(*faces_, withTexture_, outputName_, phases_, diagnostics_,
                                       refined_);
    hasOutput_ = positions_->built.built;
    clean_ = handedOver_.clean;
    positions_.reset();
}

void SubdivisionRun::refineTexture(PhaseReporter& phases, Diagnostics& diagnostics) {
    if (withTexture_) {
        texture_.build(*faces_, options_.smoothing, phases, diagnostics);
        texture_.refine(options_.steps, options_.path, phases);
    }
}

// Writes the refined mesh to `outputPath`; reports what failed.
bool writeFile(const RefinedMesh& refined, const char* outputPath, PhaseReporter& phases,
               Diagnostics& diagnostics) {
    OutputFile file(outputPath);
    const bool written = phases.quietly(&PhaseTimes::write, [&] {
        return file.open() && writeMergedObj(refined, file) && file.commit();
    });
    if (!written) {
        diagnostics.error("ERROR : Can't write to [" + std::string(outputPath) +
                          "]: " + std::strerror(file.error()));
    }
    return written;
}

}  // namespace

std::optional<RunOptions> checkRun(const ObjMesh& mesh, const RunOptions& wanted,
                                   Diagnostics& diagnostics) {
    try {
        RunOptions options = wanted;
        options.path = stepNumberingHolds() ? LevelPath::kLastComputed : LevelPath::kAllBuilt;
        std::string refusal = inputLimitRefusal(mesh);
        if (refusal.empty() && options.path == LevelPath::kAllBuilt && options.limit.any()) {
            // The limit is read off the level before the last in the numbering of
            // CGAL 5.5's step, which this CGAL does not keep.
            refusal = "ERROR : The limit surface of [" + mesh.sourcePath +
                      "] can't be taken: this build's CGAL refines in another order";
        }
        if (refusal.empty()) {
            const MemoryAmounts available = availableMemory();
            const RunMemory memory(mesh, options.limit);
            refusal = memory.refusal(options.steps, available);
            options.overlap = memory.overlap(options.steps, available);
        }
        if (refusal.empty()) {
            return options;
        }
        diagnostics.error(refusal);
    } catch (const std::exception& e) {
        diagnostics.error(e.what());
    }
    return std::nullopt;
}

bool runSubdivision(const ObjMesh& input, const char* outputPath, const RunOptions& options,
                    Diagnostics& diagnostics, PhaseTimes* times) {
    try {
        PhaseReporter phases(diagnostics, times);
        const std::optional<ObjMesh> simple = simplePolygons(input, diagnostics);
        SubdivisionRun run(simple ? *simple : input, outputPath, options, phases, diagnostics);
        if (!run.refine()) {
            return false;  // nothing to write: the output stays as it was
        }
        for (std::string& library : run.refined().materialLibraries) {
            library = rewriteMaterialLibraries(library, input.sourcePath, outputPath);
        }
        return writeFile(run.refined(), outputPath, phases, diagnostics) && run.clean();
    } catch (const std::exception& e) {
        diagnostics.error(e.what());
        return false;
    }
}

std::optional<RefinedMesh> refineMesh(const ObjMesh& input, const char* outputName,
                                      const RunOptions& options, Diagnostics& diagnostics,
                                      bool* clean, PhaseTimes* times) {
    std::optional<RefinedMesh> refined;
    bool reportedNothing = false;
    try {
        PhaseReporter phases(diagnostics, times);
        const std::optional<ObjMesh> simple = simplePolygons(input, diagnostics);
        SubdivisionRun run(simple ? *simple : input, outputName, options, phases, diagnostics);
        if (run.refine()) {
            refined = std::move(run.refined());
        }
        reportedNothing = run.clean();
    } catch (const std::exception& e) {
        diagnostics.error(e.what());
        refined.reset();
    }
    if (clean != nullptr) {
        *clean = reportedNothing && refined.has_value();
    }
    return refined;
}

}  // namespace faceloom

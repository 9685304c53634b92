#pragma once

#include <optional>

#include "Diagnostics.h"
#include "LimitSurface.h"
#include "ObjMesh.h"
#include "PhaseReporter.h"
#include "RefinedMesh.h"
#include "RunMemory.h"
#include "SmoothingOptions.h"
#include "SurfaceRefinement.h"

namespace faceloom {

// How one run refines.
struct RunOptions {
    int steps = 3;  // 1 to 6
    SmoothingOptions smoothing;
    // Both surfaces at once when there is room for that (see checkRun).
    SurfaceOverlap overlap = SurfaceOverlap::kOneAtATime;
    // The last level computed when CGAL numbers its steps as that relies on (checkRun).
    LevelPath path = LevelPath::kLastComputed;
    // What the last level takes from the limit surface.
    LimitOptions limit;
};

// The checks before a run of the `wanted` steps, smoothing and limit: the input's limits
// and the memory the run needs. Returns the options the run takes, the surfaces'
// overlap set to what fits and the levels' path to what CGAL allows, or nothing after
// reporting why the mesh can't be refined.
std::optional<RunOptions> checkRun(const ObjMesh& mesh, const RunOptions& wanted,
                                   Diagnostics& diagnostics);

// The tool's one run: refines `mesh` as `options` say and writes the refined, textured
// mesh to `outputPath`. Reports its phases and errors to `diagnostics`. Returns true
// when it reported no error. Fills `times` when given.
//
// The texture is refined beside the positions, on a second thread, when both fit at
// once; then the two are paired and written.
bool runSubdivision(const ObjMesh& mesh, const char* outputPath, const RunOptions& options,
                    Diagnostics& diagnostics, PhaseTimes* times = nullptr);

// The same refinement into memory, for writers that take the whole refined mesh at
// once: the refined mesh, or nothing when there is nothing to write (which it
// reported). `outputName` names the output in messages. `clean` (when given) is set
// to whether it reported no error. Fills `times` when given.
std::optional<RefinedMesh> refineMesh(const ObjMesh& mesh, const char* outputName,
                                      const RunOptions& options, Diagnostics& diagnostics,
                                      bool* clean = nullptr, PhaseTimes* times = nullptr);

}  // namespace faceloom

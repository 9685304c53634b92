#pragma once

#include "Diagnostics.h"
#include "GltfDocument.h"
#include "ObjMesh.h"
#include "PhaseReporter.h"
#include "RunSubdivision.h"

namespace faceloom {

// How a run that reads or writes glTF refines: the same steps, smoothing and limit
// options for every surface in it.
struct RefineSettings {
    RunOptions wanted;            // as checkRun takes them
    PhaseTimes* times = nullptr;  // the phases' wall times, for the benchmark
};

// The runs with glTF on one side or both. Each refines every surface the input holds
// by the tool's own run (the same checks, repairs, warnings and options as an OBJ
// file's), reports to `diagnostics`, writes nothing unless every surface refined, and
// returns true when it reported no error.

// glTF in, glTF out (`binary`: a .glb, otherwise a .gltf and its .bin): each triangle
// primitive refined as a surface of its own, the rest of the document carried
// through. A primitive with attributes the refinement can't carry (vertex colours, a
// second uv set, skin weights, morph targets) is written as it was, with a warning
// naming it and them.
bool refineGltfToGltf(const GltfDocument& document, const char* outputPath, bool binary,
                      const RefineSettings& settings, Diagnostics& diagnostics);

// glTF in, OBJ out: the scene as it is placed (every node's mesh moved by the node's
// transform), one "o" per node and one material name per glTF material; what OBJ
// can't hold (vertex colours, skins, lines, ...) left out with a warning.
bool refineGltfToObj(const GltfDocument& document, const char* outputPath,
                     const RefineSettings& settings, Diagnostics& diagnostics);

// OBJ in, glTF out: one mesh of one primitive per material, the materials named as in
// the OBJ file (their colour and texture taken from its material libraries, where
// those can be read).
bool refineObjToGltf(const ObjMesh& mesh, const char* outputPath, bool binary,
                     const RefineSettings& settings, Diagnostics& diagnostics);

}  // namespace faceloom

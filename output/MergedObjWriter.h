#pragma once

#include "ByteSink.h"
#include "RefinedMesh.h"

namespace faceloom {

// Writes `mesh` as Wavefront OBJ: its "mtllib" lines, all "v x y z" lines, its
// "vn x y z" lines (with normals), then (when textured) all "vt u v" lines, then one
// "f" line per facet, "f p/t p/t p/t p/t" or "f p p p p" (both forms in one file when
// only some facets have texture), with normals "f p/t/p ..." or "f p//p ...". With
// objects, groups or materials the facet lines come grouped by object and group first
// and by material second, each in order of first use, in their own order within a
// run, and each run after the "o", "g" and "usemtl" lines that change from the run
// before.
// Numbers are written as a default C++ stream writes a float widened to double:
// six significant digits in general notation, '.' as decimal point whatever the
// locale. Long blocks are formatted on two threads, in chunks that keep their order.
// Returns false when the sink refused bytes.
bool writeMergedObj(const RefinedMesh& mesh, ByteSink& sink);

}  // namespace faceloom

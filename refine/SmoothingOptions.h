#pragma once

namespace faceloom {

// How texture coordinates are smoothed, named as Blender's Subdivision Surface
// modifier names its "UV Smooth" choices. Each pins more of the texture layout than
// the one after it; kAll pins nothing (the layout is refined as a surface of its own).
enum class UvSmooth {
    kNone,                         // linear: bilinear on each input face
    kKeepCorners,                  // island corners of a single face stay
    kKeepCornersJunctions,         // ... and where three or more islands meet
    kKeepCornersJunctionsConcave,  // ... and island corners bent inwards (over 180°)
    kKeepBoundaries,               // every island border stays where it was
    kAll,                          // smooth everywhere
};

// How the mesh's own border is smoothed (Blender's "Boundary Smooth").
enum class BoundarySmooth {
    kAll,          // border vertices follow the border curve
    kKeepCorners,  // a border vertex of a single face stays where it is
};

// How faces are split and points moved (Blender's "Subdivision Type").
enum class Scheme {
    kCatmullClark,  // smooth
    kSimple,        // split as Catmull-Clark splits, every point on its face: bilinear
};

struct SmoothingOptions {
    UvSmooth uv = UvSmooth::kAll;
    BoundarySmooth boundary = BoundarySmooth::kAll;
    // Simple moves nothing: texture and border modes then change nothing either.
    Scheme scheme = Scheme::kCatmullClark;
};

}  // namespace faceloom

#pragma once

#include "CatmullClarkStep.h"
#include "RefinementRules.h"
#include "SurfaceMesh.h"

namespace faceloom {

// Makes `level`, the surface after one Catmull-Clark step of the built `surface`, item for
// item as CGAL's step makes it (PqqNumbering.h): the same points bit for bit, and every
// vertex, halfedge, edge and facet numbered, linked and pointed to the same way, so that
// the steps after it go on exactly as after CGAL's. In time linear in the corners:
// CGAL's step walks what is left of a facet at every child it cuts off, so a facet of n
// corners costs it n * n / 2 steps.
//
// `surface` keeps its connectivity; `level` is replaced. Room for `reserve` vertices,
// edges and facets is kept in `level` for the steps after it.
void buildFirstLevel(SurfaceMesh& surface, const RefinementRules& rules, const LevelRoom& reserve,
                     SurfaceMesh& level);

}  // namespace faceloom

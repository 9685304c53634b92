// faceloom_osd_reference [options] <steps> <in.obj> <out.obj>
//
// The test oracle: refines an OBJ mesh with OpenSubdiv's Catmark (or Bilinear)
// scheme, carrying its texture coordinates as one face-varying channel, and writes
// the last level as OBJ ("v", "vt", "vn", then "f p/t/n ..." lines). The tests
// compare Faceloom's output against it facet by facet. It reads the file with
// Faceloom's own loader so both see exactly the same faces; it does no repairs, so it
// only suits meshes that are clean surfaces to begin with.
//
// Options use Faceloom's names:
//   --uv-smooth       none | keep-corners | keep-corners-junctions |
//                     keep-corners-junctions-concave | keep-boundaries | all (default)
//   --boundary-smooth all (default) | keep-corners
//   --scheme          catmull-clark (default) | simple
//   --limit-surface   the last level's points moved to their limits
//                     (PrimvarRefiner::Limit and LimitFaceVarying)
//   --normals         one "vn" per vertex: the cross product of the limit tangents,
//                     or, where that is degenerate, the normalised sum of the unit
//                     normals of the facets around the vertex (of the refined level,
//                     before any move to the limit)
//
// Positions not used by any face are refined as isolated vertices (OpenSubdiv keeps
// them, as the vertex's only child) and written too.

#include <opensubdiv/far/primvarRefiner.h>
#include <opensubdiv/far/topologyDescriptor.h>
#include <opensubdiv/far/topologyRefinerFactory.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Diagnostics.h"
#include "ObjLoader.h"
#include "OsdPrimvar.h"

using namespace faceloom;

namespace {

using namespace OpenSubdiv;

struct Settings {
    Sdc::Options::FVarLinearInterpolation uvMode = Sdc::Options::FVAR_LINEAR_NONE;
    Sdc::Options::VtxBoundaryInterpolation boundaryMode = Sdc::Options::VTX_BOUNDARY_EDGE_ONLY;
    Sdc::SchemeType scheme = Sdc::SCHEME_CATMARK;
    bool limit = false;
    bool normals = false;
    int steps = 0;
    std::string input, output;
};

template <class Mode, std::size_t N>
bool readMode(const std::pair<const char*, Mode> (&modes)[N], const std::string& name,
              Mode& mode) {
    for (const auto& [key, value] : modes) {
        if (name == key) {
            mode = value;
            return true;
        }
    }
    return false;
}

constexpr std::pair<const char*, Sdc::Options::FVarLinearInterpolation> kUvModes[] = {
    {"none", Sdc::Options::FVAR_LINEAR_ALL},
    {"keep-corners", Sdc::Options::FVAR_LINEAR_CORNERS_ONLY},
    {"keep-corners-junctions", Sdc::Options::FVAR_LINEAR_CORNERS_PLUS1},
    {"keep-corners-junctions-concave", Sdc::Options::FVAR_LINEAR_CORNERS_PLUS2},
    {"keep-boundaries", Sdc::Options::FVAR_LINEAR_BOUNDARIES},
    {"all", Sdc::Options::FVAR_LINEAR_NONE},
};
constexpr std::pair<const char*, Sdc::Options::VtxBoundaryInterpolation> kBoundaryModes[] = {
    {"all", Sdc::Options::VTX_BOUNDARY_EDGE_ONLY},
    {"keep-corners", Sdc::Options::VTX_BOUNDARY_EDGE_AND_CORNER},
};
constexpr std::pair<const char*, Sdc::SchemeType> kSchemes[] = {
    {"catmull-clark", Sdc::SCHEME_CATMARK},
    {"simple", Sdc::SCHEME_BILINEAR},
};

// Takes one option; false (after saying why) when it is unknown or its value is.
bool takeOption(const std::string& arg, Settings& settings) {
    const auto value = [&](const char* key) {
        return arg.rfind(key, 0) == 0 ? std::optional<std::string>(arg.substr(std::strlen(key)))
                                      : std::nullopt;
    };
    bool known = true;
    if (arg == "--limit-surface") {
        settings.limit = true;
    } else if (arg == "--normals") {
        settings.normals = true;
    } else if (const auto uv = value("--uv-smooth=")) {
        known = readMode(kUvModes, *uv, settings.uvMode);
    } else if (const auto boundary = value("--boundary-smooth=")) {
        known = readMode(kBoundaryModes, *boundary, settings.boundaryMode);
    } else if (const auto scheme = value("--scheme=")) {
        known = readMode(kSchemes, *scheme, settings.scheme);
    } else {
        known = false;
    }
    if (!known) {
        std::fprintf(stderr, "ERROR : Unknown option or value [%s]\n", arg.c_str());
    }
    return known;
}

bool parseArguments(int argc, char** argv, Settings& settings) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) == 0) {
            if (!takeOption(arg, settings)) {
                return false;
            }
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 3) {
        std::fprintf(stderr,
                     "Usage : faceloom_osd_reference [--uv-smooth=MODE] [--boundary-smooth=MODE] "
                     "[--scheme=SCHEME] [--limit-surface] [--normals] <steps> <in.obj> "
                     "<out.obj>\n");
        return false;
    }
    // Strict, unlike Faceloom: an oracle that quietly picked another step count
    // would make every comparison meaningless.
    char* end = nullptr;
    const long steps = std::strtol(positional[0].c_str(), &end, 10);
    if (*end != '\0' || steps < 1 || steps > 6) {
        std::fprintf(stderr, "ERROR : Steps must be 1 to 6 [%s]\n", positional[0].c_str());
        return false;
    }
    settings.steps = static_cast<int>(steps);
    settings.input = positional[1];
    settings.output = positional[2];
    return true;
}

// The faces of an OBJ mesh in OpenSubdiv's terms (0-based indices).
struct Topology {
    std::vector<int> cornersPerFace;
    std::vector<Far::Index> positionIndices;
    std::vector<Far::Index> uvIndices;  // empty when some face lacks texture indices
};

bool buildTopology(const ObjMesh& mesh, const std::string& path, Topology& topology) {
    bool everyCornerTextured = mesh.uvCount() > 0;
    std::uint64_t next = 0;
    for (std::uint32_t f = 0; f < mesh.faceCount(); ++f) {
        const unsigned int count = mesh.faceTypes[f].count;
        if (count < 3) {
            std::fprintf(stderr, "ERROR : Can't read the corners of face %u [%s]\n", f + 1,
                         path.c_str());
            return false;
        }
        topology.cornersPerFace.push_back(static_cast<int>(count));
        for (unsigned int c = 0; c < count; ++c, ++next) {
            const Corner corner = mesh.corners[next];
            if (corner.position < 1 || corner.position > mesh.vertexCount()) {
                std::fprintf(stderr, "ERROR : Face %u names no valid position [%s]\n", f + 1,
                             path.c_str());
                return false;
            }
            topology.positionIndices.push_back(static_cast<Far::Index>(corner.position - 1));
            if (corner.texture < 1 || corner.texture > mesh.uvCount()) {
                everyCornerTextured = false;
            }
            topology.uvIndices.push_back(static_cast<Far::Index>(corner.texture) - 1);
        }
    }
    if (!everyCornerTextured) {
        topology.uvIndices.clear();
    }
    return true;
}

std::unique_ptr<Far::TopologyRefiner> createRefiner(const ObjMesh& mesh, Topology& topology,
                                                    const Settings& settings) {
    Far::TopologyDescriptor descriptor;
    descriptor.numVertices = static_cast<int>(mesh.vertexCount());
    descriptor.numFaces = static_cast<int>(mesh.faceCount());
    descriptor.numVertsPerFace = topology.cornersPerFace.data();
    descriptor.vertIndicesPerFace = topology.positionIndices.data();
    Far::TopologyDescriptor::FVarChannel uvChannel;
    if (!topology.uvIndices.empty()) {
        uvChannel.numValues = static_cast<int>(mesh.uvCount());
        uvChannel.valueIndices = topology.uvIndices.data();
        descriptor.numFVarChannels = 1;
        descriptor.fvarChannels = &uvChannel;
    }
    Sdc::Options options;
    options.SetVtxBoundaryInterpolation(settings.boundaryMode);
    options.SetFVarLinearInterpolation(settings.uvMode);
    using Factory = Far::TopologyRefinerFactory<Far::TopologyDescriptor>;
    std::unique_ptr<Far::TopologyRefiner> refiner(
        Factory::Create(descriptor, Factory::Options(settings.scheme, options)));
    if (refiner) {
        // The limit masks need the last level's whole neighbourhood of each vertex.
        Far::TopologyRefiner::UniformOptions uniform(settings.steps);
        uniform.fullTopologyInLastLevel = true;
        refiner->RefineUniform(uniform);
    }
    return refiner;
}

// The last level's points and texture coordinates, refined level by level.
struct LastLevel {
    std::vector<Point> points;
    std::vector<Uv> uvs;
    std::vector<Point> normals;  // when asked for
};

LastLevel refineValues(const ObjMesh& mesh, const Far::TopologyRefiner& refiner, bool textured) {
    // Each level's values follow the previous level's in one array, as
    // PrimvarRefiner reads level-1 values and writes level values.
    std::vector<Point> points(refiner.GetNumVerticesTotal());
    for (std::uint32_t i = 0; i < mesh.vertexCount(); ++i) {
        points[i] = Point{{mesh.positions[i].x, mesh.positions[i].y, mesh.positions[i].z}};
    }
    std::vector<Uv> uvs(textured ? refiner.GetNumFVarValuesTotal(0) : 0);
    for (std::uint32_t i = 0; textured && i < mesh.uvCount(); ++i) {
        uvs[i] = Uv{{mesh.uvs[i].x, mesh.uvs[i].y}};
    }
    const Far::PrimvarRefiner primvarRefiner(refiner);
    std::size_t pointStart = 0, uvStart = 0;
    for (int level = 1; level <= refiner.GetMaxLevel(); ++level) {
        const Far::TopologyLevel& parent = refiner.GetLevel(level - 1);
        Point* src = points.data() + pointStart;
        Point* dst = src + parent.GetNumVertices();
        primvarRefiner.Interpolate(level, src, dst);
        pointStart += parent.GetNumVertices();
        if (textured) {
            Uv* uvSrc = uvs.data() + uvStart;
            Uv* uvDst = uvSrc + parent.GetNumFVarValues(0);
            primvarRefiner.InterpolateFaceVarying(level, uvSrc, uvDst);
            uvStart += parent.GetNumFVarValues(0);
        }
    }
    return {std::vector<Point>(points.begin() + pointStart, points.end()),
            std::vector<Uv>(uvs.begin() + uvStart, uvs.end()),
            {}};
}

using Vector = std::array<double, 3>;

Vector difference(const Point& a, const Point& b) {
    return {double(a.v[0]) - b.v[0], double(a.v[1]) - b.v[1], double(a.v[2]) - b.v[2]};
}

Vector cross(const Vector& a, const Vector& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double length(const Vector& a) {
    return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
}

// The unit normal of each vertex's facets, summed: where the limit tangents are
// degenerate.
std::vector<Vector> facetNormalSums(const Far::TopologyLevel& level,
                                    const std::vector<Point>& points) {
    std::vector<Vector> sums(points.size(), Vector{0, 0, 0});
    for (int f = 0; f < level.GetNumFaces(); ++f) {
        const Far::ConstIndexArray verts = level.GetFaceVertices(f);
        Vector n{0, 0, 0};
        for (int c = 0; c < verts.size(); ++c) {
            const Vector e = cross(difference(points[verts[c]], points[verts[0]]),
                                   difference(points[verts[(c + 1) % verts.size()]],
                                              points[verts[0]]));
            for (int i = 0; i < 3; ++i) {
                n[i] += e[i];
            }
        }
        const double l = length(n);
        for (int c = 0; c < verts.size() && l > 0; ++c) {
            for (int i = 0; i < 3; ++i) {
                sums[verts[c]][i] += n[i] / l;
            }
        }
    }
    return sums;
}

// Moves the last level to its limit (when asked) and computes its normals (when
// asked).
void takeLimits(const Far::TopologyRefiner& refiner, const Settings& settings, bool textured,
                LastLevel& last) {
    const Far::PrimvarRefiner primvarRefiner(refiner);
    std::vector<Point> limit(last.points.size()), du(last.points.size()),
        dv(last.points.size());
    primvarRefiner.Limit(last.points, limit, du, dv);
    const std::vector<Vector> sums =
        settings.normals ? facetNormalSums(refiner.GetLevel(refiner.GetMaxLevel()), last.points)
                         : std::vector<Vector>();
    // The bilinear scheme's limit is the refined level itself. (OpenSubdiv's
    // LimitFaceVarying moves texture coordinates on seams even so, off the refined
    // level and out of their islands, while Limit leaves the vertices.)
    if (settings.limit && settings.scheme != Sdc::SCHEME_BILINEAR) {
        last.points = limit;
        if (textured) {
            std::vector<Uv> uvs(last.uvs.size());
            primvarRefiner.LimitFaceVarying(last.uvs, uvs);
            last.uvs = uvs;
        }
    }
    if (!settings.normals) {
        return;
    }
    for (std::size_t v = 0; v < last.points.size(); ++v) {
        const Vector t1 = difference(du[v], Point{{0, 0, 0}});
        const Vector t2 = difference(dv[v], Point{{0, 0, 0}});
        Vector n = cross(t1, t2);
        if (!(length(n) > 1e-6 * length(t1) * length(t2))) {
            n = sums[v];
        }
        const double l = length(n);
        last.normals.push_back(l > 0 ? Point{{float(n[0] / l), float(n[1] / l), float(n[2] / l)}}
                                     : Point{{0, 0, 0}});
    }
}

bool writeObj(const std::string& path, const Far::TopologyLevel& level, const LastLevel& last,
              bool textured) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                         &std::fclose);
    if (!file) {
        return false;
    }
    std::FILE* out = file.get();
    for (const Point& p : last.points) {
        std::fprintf(out, "v %.9g %.9g %.9g\n", p.v[0], p.v[1], p.v[2]);
    }
    for (const Uv& t : last.uvs) {
        std::fprintf(out, "vt %.9g %.9g\n", t.v[0], t.v[1]);
    }
    for (const Point& n : last.normals) {
        std::fprintf(out, "vn %.9g %.9g %.9g\n", n.v[0], n.v[1], n.v[2]);
    }
    const bool normals = !last.normals.empty();
    for (int f = 0; f < level.GetNumFaces(); ++f) {
        const Far::ConstIndexArray verts = level.GetFaceVertices(f);
        std::fputs("f", out);
        for (int c = 0; c < verts.size(); ++c) {
            std::fprintf(out, " %d", verts[c] + 1);
            if (textured) {
                std::fprintf(out, "/%d", level.GetFaceFVarValues(f)[c] + 1);
            }
            if (normals) {
                std::fprintf(out, textured ? "/%d" : "//%d", verts[c] + 1);
            }
        }
        std::fputs("\n", out);
    }
    const bool written = !std::ferror(out);
    return std::fclose(file.release()) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!parseArguments(argc, argv, settings)) {
        return 1;
    }
    ConsoleDiagnostics console;
    const std::optional<ObjMesh> loaded = loadObj(settings.input.c_str(), LoadLimits{}, console).mesh;
    if (!loaded) {
        return 1;  // the loader said why
    }
    const ObjMesh& mesh = *loaded;
    if (mesh.faceCount() == 0) {
        std::fprintf(stderr, "ERROR : NULL Mesh\n");
        return 1;
    }
    Topology topology;
    if (!buildTopology(mesh, settings.input, topology)) {
        return 1;
    }
    const bool textured = !topology.uvIndices.empty();
    const std::unique_ptr<Far::TopologyRefiner> refiner = createRefiner(mesh, topology, settings);
    if (!refiner) {
        std::fprintf(stderr, "ERROR : OpenSubdiv can't take the faces of [%s]\n",
                     settings.input.c_str());
        return 1;
    }
    LastLevel last = refineValues(mesh, *refiner, textured);
    if (settings.limit || settings.normals) {
        takeLimits(*refiner, settings, textured, last);
    }
    if (!writeObj(settings.output, refiner->GetLevel(settings.steps), last, textured)) {
        std::fprintf(stderr, "ERROR : Can't write to [%s]\n", settings.output.c_str());
        return 1;
    }
    return 0;
}

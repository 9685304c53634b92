// faceloom_osd_reference [--uv-smooth=MODE] [--boundary-smooth=MODE] <steps> <in.obj> <out.obj>
//
// The test oracle: refines an OBJ mesh with OpenSubdiv's Catmark scheme, carrying
// its texture coordinates as one face-varying channel, and writes the last level as
// OBJ ("v", "vt", then "f p/t p/t p/t p/t" lines). The tests compare Faceloom's
// output against it facet by facet. It reads the file with Faceloom's own loader so
// both see exactly the same faces; it does no repairs, so it only suits meshes that
// are clean surfaces to begin with.
//
// Modes use Faceloom's option names:
//   --uv-smooth       none | keep-corners | keep-corners-junctions |
//                     keep-corners-junctions-concave | keep-boundaries | all (default)
//   --boundary-smooth all (default) | keep-corners
//
// Positions not used by any face are refined as isolated vertices (OpenSubdiv keeps
// them, as the vertex's only child) and written too.

#include <opensubdiv/far/primvarRefiner.h>
#include <opensubdiv/far/topologyDescriptor.h>
#include <opensubdiv/far/topologyRefinerFactory.h>

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
    int steps = 0;
    std::string input, output;
};

bool parseUvMode(const std::string& name, Sdc::Options::FVarLinearInterpolation& mode) {
    static const std::pair<const char*, Sdc::Options::FVarLinearInterpolation> kModes[] = {
        {"none", Sdc::Options::FVAR_LINEAR_ALL},
        {"keep-corners", Sdc::Options::FVAR_LINEAR_CORNERS_ONLY},
        {"keep-corners-junctions", Sdc::Options::FVAR_LINEAR_CORNERS_PLUS1},
        {"keep-corners-junctions-concave", Sdc::Options::FVAR_LINEAR_CORNERS_PLUS2},
        {"keep-boundaries", Sdc::Options::FVAR_LINEAR_BOUNDARIES},
        {"all", Sdc::Options::FVAR_LINEAR_NONE},
    };
    for (const auto& [key, value] : kModes) {
        if (name == key) {
            mode = value;
            return true;
        }
    }
    return false;
}

bool parseBoundaryMode(const std::string& name, Sdc::Options::VtxBoundaryInterpolation& mode) {
    if (name == "all") {
        mode = Sdc::Options::VTX_BOUNDARY_EDGE_ONLY;
    } else if (name == "keep-corners") {
        mode = Sdc::Options::VTX_BOUNDARY_EDGE_AND_CORNER;
    } else {
        return false;
    }
    return true;
}

bool parseArguments(int argc, char** argv, Settings& settings) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::string uvKey = "--uv-smooth=", boundaryKey = "--boundary-smooth=";
        if (arg.rfind(uvKey, 0) == 0) {
            if (!parseUvMode(arg.substr(uvKey.size()), settings.uvMode)) {
                std::fprintf(stderr, "ERROR : Unknown texture smoothing mode [%s]\n", argv[i]);
                return false;
            }
        } else if (arg.rfind(boundaryKey, 0) == 0) {
            if (!parseBoundaryMode(arg.substr(boundaryKey.size()), settings.boundaryMode)) {
                std::fprintf(stderr, "ERROR : Unknown boundary smoothing mode [%s]\n", argv[i]);
                return false;
            }
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 3) {
        std::fprintf(stderr,
                     "Usage : faceloom_osd_reference [--uv-smooth=MODE] "
                     "[--boundary-smooth=MODE] <steps> <in.obj> <out.obj>\n");
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

bool writeObj(const std::string& path, const Far::TopologyLevel& level,
              const std::vector<Point>& points, const std::vector<Uv>& uvs, bool textured) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                         &std::fclose);
    if (!file) {
        return false;
    }
    std::FILE* out = file.get();
    for (const Point& p : points) {
        std::fprintf(out, "v %.9g %.9g %.9g\n", p.v[0], p.v[1], p.v[2]);
    }
    for (const Uv& t : uvs) {
        std::fprintf(out, "vt %.9g %.9g\n", t.v[0], t.v[1]);
    }
    for (int f = 0; f < level.GetNumFaces(); ++f) {
        const Far::ConstIndexArray verts = level.GetFaceVertices(f);
        std::fputs("f", out);
        for (int c = 0; c < verts.size(); ++c) {
            if (textured) {
                std::fprintf(out, " %d/%d", verts[c] + 1, level.GetFaceFVarValues(f)[c] + 1);
            } else {
                std::fprintf(out, " %d", verts[c] + 1);
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

    Far::TopologyDescriptor descriptor;
    descriptor.numVertices = static_cast<int>(mesh.vertexCount());
    descriptor.numFaces = static_cast<int>(mesh.faceCount());
    descriptor.numVertsPerFace = topology.cornersPerFace.data();
    descriptor.vertIndicesPerFace = topology.positionIndices.data();
    Far::TopologyDescriptor::FVarChannel uvChannel;
    if (textured) {
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
        Factory::Create(descriptor, Factory::Options(Sdc::SCHEME_CATMARK, options)));
    if (!refiner) {
        std::fprintf(stderr, "ERROR : OpenSubdiv can't take the faces of [%s]\n",
                     settings.input.c_str());
        return 1;
    }
    refiner->RefineUniform(Far::TopologyRefiner::UniformOptions(settings.steps));

    // Each level's values follow the previous level's in one array, as
    // PrimvarRefiner reads level-1 values and writes level values.
    std::vector<Point> points(refiner->GetNumVerticesTotal());
    for (std::uint32_t i = 0; i < mesh.vertexCount(); ++i) {
        points[i] = Point{{mesh.positions[i].x, mesh.positions[i].y, mesh.positions[i].z}};
    }
    std::vector<Uv> uvs(textured ? refiner->GetNumFVarValuesTotal(0) : 0);
    for (std::uint32_t i = 0; textured && i < mesh.uvCount(); ++i) {
        uvs[i] = Uv{{mesh.uvs[i].x, mesh.uvs[i].y}};
    }
    const Far::PrimvarRefiner primvarRefiner(*refiner);
    std::size_t pointStart = 0, uvStart = 0;
    for (int level = 1; level <= settings.steps; ++level) {
        const Far::TopologyLevel& parent = refiner->GetLevel(level - 1);
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

    const Far::TopologyLevel& last = refiner->GetLevel(settings.steps);
    const std::vector<Point> lastPoints(points.begin() + pointStart, points.end());
    const std::vector<Uv> lastUvs(uvs.begin() + uvStart, uvs.end());
    if (!writeObj(settings.output, last, lastPoints, lastUvs, textured)) {
        std::fprintf(stderr, "ERROR : Can't write to [%s]\n", settings.output.c_str());
        return 1;
    }
    return 0;
}

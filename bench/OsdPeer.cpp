// FaceloomOsdPeer <steps> <in.obj> <out.obj>
//
// The benchmark's peer: the same job done the way a user would do it with OpenSubdiv
// instead of Faceloom. Reads the OBJ file (with Faceloom's reader, so both start from
// the same faces), refines the positions and the texture coordinates (as one
// face-varying channel) by OpenSubdiv's Catmark scheme with its default options, and
// writes the last level as OBJ text ("v", "vt", then "f p/t p/t p/t p/t" lines), the
// numbers formatted with std::to_chars. Only OpenSubdiv's public API is used:
// Far::TopologyDescriptor, TopologyRefinerFactory and PrimvarRefiner.

#include <opensubdiv/far/primvarRefiner.h>
#include <opensubdiv/far/topologyDescriptor.h>
#include <opensubdiv/far/topologyRefinerFactory.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Diagnostics.h"
#include "ObjLoader.h"
#include "OsdPrimvar.h"

using namespace faceloom;
using namespace OpenSubdiv;

namespace {

// Text through one buffer, handed to the file when nearly full.
class Output {
public:
    explicit Output(std::FILE* file) : file_(file), buffer_(std::size_t{1} << 20) {}
    void room() {
        if (buffer_.size() - used_ < 256) {
            flush();
        }
    }
    void text(const char* s) {
        while (*s != '\0') {
            buffer_[used_++] = *s++;
        }
    }
    // "keyword x y ..." and a line end.
    template <int N>
    void vertexLine(const char* keyword, const Primvar<N>& value) {
        room();
        text(keyword);
        for (float x : value.v) {
            text(" ");
            number(x);
        }
        text("\n");
    }
    template <class Number>
    void number(Number value) {
        used_ = static_cast<std::size_t>(
            std::to_chars(buffer_.data() + used_, buffer_.data() + buffer_.size(), value).ptr -
            buffer_.data());
    }
    bool flush() {
        ok_ = ok_ && std::fwrite(buffer_.data(), 1, used_, file_) == used_;
        used_ = 0;
        return ok_;
    }

private:
    std::FILE* file_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool ok_ = true;
};

// The last level's positions and texture coordinates, refined from `mesh` by
// `steps` steps, with the refiner that holds the last level's faces; null refiner
// when OpenSubdiv can't take the faces.
struct Refined {
    std::unique_ptr<Far::TopologyRefiner> refiner;
    std::vector<Point> allPoints;  // every level's, the last level's at `points`
    std::vector<Uv> allUvs;
    const Point* points = nullptr;
    const Uv* uvs = nullptr;
};

Refined refine(const ObjMesh& mesh, int steps) {
    std::vector<int> cornersPerFace;
    std::vector<Far::Index> positionIndices, uvIndices;
    for (std::uint32_t f = 0; f < mesh.faceCount(); ++f) {
        cornersPerFace.push_back(static_cast<int>(mesh.faceTypes[f].count));
    }
    for (const Corner& corner : mesh.corners) {
        positionIndices.push_back(static_cast<Far::Index>(corner.position) - 1);
        uvIndices.push_back(static_cast<Far::Index>(corner.texture) - 1);
    }
    Far::TopologyDescriptor descriptor;
    descriptor.numVertices = static_cast<int>(mesh.vertexCount());
    descriptor.numFaces = static_cast<int>(mesh.faceCount());
    descriptor.numVertsPerFace = cornersPerFace.data();
    descriptor.vertIndicesPerFace = positionIndices.data();
    Far::TopologyDescriptor::FVarChannel uvChannel;
    uvChannel.numValues = static_cast<int>(mesh.uvCount());
    uvChannel.valueIndices = uvIndices.data();
    descriptor.numFVarChannels = 1;
    descriptor.fvarChannels = &uvChannel;

    using Factory = Far::TopologyRefinerFactory<Far::TopologyDescriptor>;
    Refined result;
    result.refiner.reset(
        Factory::Create(descriptor, Factory::Options(Sdc::SCHEME_CATMARK, Sdc::Options())));
    if (!result.refiner) {
        return result;
    }
    Far::TopologyRefiner& refiner = *result.refiner;
    refiner.RefineUniform(Far::TopologyRefiner::UniformOptions(steps));

    // As OpenSubdiv's tutorials do it: one buffer holds every level's values, each
    // level's after the previous one's, since PrimvarRefiner reads level - 1 and
    // writes level.
    result.allPoints.resize(refiner.GetNumVerticesTotal());
    for (std::uint32_t i = 0; i < mesh.vertexCount(); ++i) {
        result.allPoints[i] =
            Point{{mesh.positions[i].x, mesh.positions[i].y, mesh.positions[i].z}};
    }
    result.allUvs.resize(refiner.GetNumFVarValuesTotal(0));
    for (std::uint32_t i = 0; i < mesh.uvCount(); ++i) {
        result.allUvs[i] = Uv{{mesh.uvs[i].x, mesh.uvs[i].y}};
    }
    const Far::PrimvarRefiner primvars(refiner);
    Point* points = result.allPoints.data();
    Uv* uvs = result.allUvs.data();
    for (int level = 1; level <= steps; ++level) {
        const Far::TopologyLevel& parent = refiner.GetLevel(level - 1);
        Point* nextPoints = points + parent.GetNumVertices();
        primvars.Interpolate(level, points, nextPoints);
        points = nextPoints;
        Uv* nextUvs = uvs + parent.GetNumFVarValues(0);
        primvars.InterpolateFaceVarying(level, uvs, nextUvs);
        uvs = nextUvs;
    }
    result.points = points;
    result.uvs = uvs;
    return result;
}

// The last level as OBJ text: "v", "vt", then "f p/t p/t p/t p/t" lines.
bool write(const Refined& refined, std::FILE* file) {
    const Far::TopologyLevel& last = refined.refiner->GetLevel(refined.refiner->GetMaxLevel());
    Output out(file);
    for (int i = 0; i < last.GetNumVertices(); ++i) {
        out.vertexLine("v", refined.points[i]);
    }
    for (int i = 0; i < last.GetNumFVarValues(0); ++i) {
        out.vertexLine("vt", refined.uvs[i]);
    }
    for (int f = 0; f < last.GetNumFaces(); ++f) {
        const Far::ConstIndexArray verts = last.GetFaceVertices(f);
        const Far::ConstIndexArray values = last.GetFaceFVarValues(f);
        out.room();
        out.text("f");
        for (int c = 0; c < verts.size(); ++c) {
            out.text(" ");
            out.number(verts[c] + 1);
            out.text("/");
            out.number(values[c] + 1);
        }
        out.text("\n");
    }
    return out.flush();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "Usage : FaceloomOsdPeer <steps> <in.obj> <out.obj>\n");
        return 1;
    }
    const int steps = std::atoi(argv[1]);
    ConsoleDiagnostics console;
    const std::optional<ObjMesh> loaded = loadObj(argv[2], LoadLimits{}, console).mesh;
    if (!loaded || loaded->faceCount() == 0 || steps < 1) {
        std::fprintf(stderr, "ERROR : Nothing to refine in [%s]\n", argv[2]);
        return 1;
    }
    const Refined refined = refine(*loaded, steps);
    if (!refined.refiner) {
        std::fprintf(stderr, "ERROR : OpenSubdiv can't take the faces of [%s]\n", argv[2]);
        return 1;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(argv[3], "wb"), &std::fclose);
    if (!file || !write(refined, file.get()) || std::fclose(file.release()) != 0) {
        std::fprintf(stderr, "ERROR : Can't write to [%s]\n", argv[3]);
        return 1;
    }
    return 0;
}

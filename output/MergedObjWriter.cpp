#include "output/MergedObjWriter.h"

#include <charconv>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "output/FloatFormat.h"

namespace faceloom {

namespace {

// Formats into one large buffer and hands it to the sink when nearly full: the
// output runs to millions of lines, so per-line stream formatting would cost more
// than the refinement itself.
class LineBuffer {
public:
    explicit LineBuffer(ByteSink& sink) : sink_(sink), buffer_(kCapacity) {}

    // Room for one line: a facet line of four 10-digit pairs, or three numbers.
    void reserveLine() {
        if (kCapacity - used_ < kLongestLine) {
            flush();
        }
    }
    void text(const char* s, std::size_t n) {
        std::memcpy(buffer_.data() + used_, s, n);
        used_ += n;
    }
    void character(char c) { buffer_[used_++] = c; }
    void number(float value) {
        used_ =
            static_cast<std::size_t>(formatFloat(buffer_.data() + used_, value) - buffer_.data());
    }
    void number(std::uint32_t value) {
        auto result = std::to_chars(buffer_.data() + used_, buffer_.data() + kCapacity, value);
        used_ = static_cast<std::size_t>(result.ptr - buffer_.data());
    }
    bool flush() {
        if (used_ > 0 && ok_) {
            ok_ = sink_.write(buffer_.data(), used_);
        }
        used_ = 0;
        return ok_;
    }
    // Bytes straight to the sink, after flush(): for lines too long for the buffer.
    void direct(const std::string& bytes) {
        if (ok_) {
            ok_ = sink_.write(bytes.data(), bytes.size());
        }
    }

private:
    static constexpr std::size_t kCapacity = std::size_t{1} << 20;
    static constexpr std::size_t kLongestLine = 256;

    ByteSink& sink_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool ok_ = true;
};

// The facets in the order they are written: grouped by material, the groups in order
// of first use, each group in facet order (a stable counting sort). Also the first
// facet of each group, and the group's material.
struct FacetGroups {
    std::vector<std::uint32_t> order;
    std::vector<std::size_t> starts;  // one past the last: order.size()
    std::vector<std::uint32_t> materials;
};

FacetGroups groupByMaterial(const std::vector<std::uint32_t>& facetMaterials,
                            std::size_t materialCount) {
    // Material m counts at m + 1; no material at 0.
    const auto slot = [](std::uint32_t m) { return m == kNoMaterial ? 0 : std::size_t{m} + 1; };
    std::vector<std::size_t> counts(materialCount + 1), firstUse;
    for (std::uint32_t m : facetMaterials) {
        if (counts[slot(m)]++ == 0) {
            firstUse.push_back(slot(m));
        }
    }
    FacetGroups groups;
    std::vector<std::size_t> next(materialCount + 1);
    std::size_t start = 0;
    for (std::size_t s : firstUse) {
        groups.starts.push_back(start);
        groups.materials.push_back(s == 0 ? kNoMaterial : static_cast<std::uint32_t>(s - 1));
        next[s] = start;
        start += counts[s];
    }
    groups.starts.push_back(start);
    groups.order.resize(facetMaterials.size());
    for (std::size_t f = 0; f < facetMaterials.size(); ++f) {
        groups.order[next[slot(facetMaterials[f])]++] = static_cast<std::uint32_t>(f);
    }
    return groups;
}

void writeFacet(LineBuffer& out, const RefinedMesh& mesh, std::size_t facet) {
    out.reserveLine();
    out.character('f');
    const bool textured = mesh.facetHasTexture(facet);
    for (std::size_t j = 4 * facet; j < 4 * facet + 4; ++j) {
        out.character(' ');
        out.number(mesh.positionCorners[j] + 1);
        if (textured) {
            out.character('/');
            out.number(mesh.textureCorners[j] + 1);
        }
    }
    out.character('\n');
}

// A line of arbitrary length, such as a material name.
void writeTextLine(LineBuffer& out, const char* keyword, const std::string& text) {
    out.flush();
    std::string line = keyword;
    if (!text.empty()) {
        line += ' ' + text;
    }
    line += '\n';
    out.direct(line);
}

// A vertex line: the keyword (with its blank) and the coordinates, blank-separated.
template <std::size_t N>
void writeVertexLine(LineBuffer& out, const char (&keyword)[N],
                     std::initializer_list<float> coordinates) {
    out.reserveLine();
    out.text(keyword, N - 1);
    bool first = true;
    for (float c : coordinates) {
        if (!first) {
            out.character(' ');
        }
        out.number(c);
        first = false;
    }
    out.character('\n');
}

}  // namespace

bool writeMergedObj(const RefinedMesh& mesh, ByteSink& sink) {
    LineBuffer out(sink);
    for (const std::string& library : mesh.materialLibraries) {
        writeTextLine(out, "mtllib", library);
    }
    for (const auto& p : mesh.positions) {
        writeVertexLine(out, "v ", {p.x, p.y, p.z});
    }
    if (mesh.textured && (mesh.textureCorners.size() != mesh.positionCorners.size() ||
                          (!mesh.facetTextured.empty() &&
                           mesh.facetTextured.size() != mesh.positionCorners.size() / 4))) {
        return false;  // never write a facet line that names no texture coordinate
    }
    if (mesh.textured) {
        for (const auto& t : mesh.uvs) {
            writeVertexLine(out, "vt ", {t.x, t.y});
        }
    }
    const std::size_t facets = mesh.positionCorners.size() / 4;
    if (mesh.facetMaterials.size() != facets) {
        for (std::size_t f = 0; f < facets; ++f) {
            writeFacet(out, mesh, f);
        }
        return out.flush();
    }
    const FacetGroups groups = groupByMaterial(mesh.facetMaterials, mesh.materialNames.size());
    for (std::size_t g = 0; g < groups.materials.size(); ++g) {
        if (groups.materials[g] != kNoMaterial) {
            writeTextLine(out, "usemtl", mesh.materialNames[groups.materials[g]]);
        }
        for (std::size_t i = groups.starts[g]; i < groups.starts[g + 1]; ++i) {
            writeFacet(out, mesh, groups.order[i]);
        }
    }
    return out.flush();
}

}  // namespace faceloom

#include "MergedObjWriter.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "FloatFormat.h"
#include "ForkJoin.h"
#include "IndexTexts.h"

namespace faceloom {

namespace {

// Formats into a large buffer and hands it to the sink when nearly full: the output
// runs to millions of lines, so per-line stream formatting would cost more than the
// refinement itself.
class LineBuffer {
public:
    static constexpr std::size_t kLongestLine = 256;

    explicit LineBuffer(ByteSink& sink, std::size_t capacity = std::size_t{1} << 20)
        : sink_(sink), buffer_(capacity) {}

    // Room for one line: a facet line of four 10-digit pairs, or three numbers.
    void reserveLine() {
        if (buffer_.size() - used_ < kLongestLine) {
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
    void index(const IndexTexts& texts, std::uint32_t item) {
        used_ = static_cast<std::size_t>(texts.write(buffer_.data() + used_, item) - buffer_.data());
    }
    bool flush() {
        if (used_ > 0 && ok_) {
            ok_ = sink_.write(buffer_.data(), used_);
        }
        used_ = 0;
        return ok_;
    }
    // Bytes straight to the sink, after flush(): for lines too long for the buffer,
    // and chunks formatted elsewhere.
    template <class Bytes>
    void direct(const Bytes& bytes) {
        if (ok_) {
            ok_ = sink_.write(bytes.data(), bytes.size());
        }
    }
    bool ok() const { return ok_; }

    // What is formatted and not yet handed to the sink, and forgetting it.
    const char* data() const { return buffer_.data(); }
    std::size_t size() const { return used_; }
    void clear() { used_ = 0; }

private:
    ByteSink& sink_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool ok_ = true;
};

// Lines a chunk holds: a few hundred KiB of text, so that one thread formats a chunk
// while the other formats the next, and the chunks still go out in order.
constexpr std::size_t kChunkLines = std::size_t{1} << 13;

// The sink of a chunk's buffer, which has room for the whole chunk and so never hands
// bytes on: should it ever, the write fails rather than put lines out of order.
class NoSink : public ByteSink {
public:
    bool write(const char*, std::size_t) override { return false; }
};

// Writes lines [0, count) with formatLine(buffer, i), in order, through `out`. The
// lines are formatted in chunks, by rounds of two: a helper thread formats a round's
// second chunk while this thread hands on the helper's chunk of the round before, then
// formats and hands on the round's first. The helper never waits for a write: the same
// bytes, in about half the time on two cores.
template <class FormatLine>
void writeLines(LineBuffer& out, std::size_t count, const FormatLine& formatLine) {
    if (count <= kChunkLines) {
        for (std::size_t i = 0; i < count; ++i) {
            formatLine(out, i);
        }
        return;
    }
    out.flush();
    NoSink noSink;
    const std::size_t capacity = (kChunkLines + 1) * LineBuffer::kLongestLine;
    LineBuffer mine(noSink, capacity);
    LineBuffer theirs[2] = {LineBuffer(noSink, capacity), LineBuffer(noSink, capacity)};
    const auto formatChunk = [&](std::size_t chunk, LineBuffer& buffer) {
        buffer.clear();
        const std::size_t first = chunk * kChunkLines;
        for (std::size_t i = first; i < std::min(count, first + kChunkLines); ++i) {
            formatLine(buffer, i);
        }
    };
    const auto hand = [&](const LineBuffer& buffer) {
        out.direct(std::string_view(buffer.data(), buffer.size()));
    };
    const std::size_t chunks = (count + kChunkLines - 1) / kChunkLines;
    std::size_t round = 0;
    for (; 2 * round < chunks && out.ok(); ++round) {
        LineBuffer& helpers = theirs[round % 2];
        forkJoin(
            [&] {
                if (2 * round + 1 < chunks) {
                    formatChunk(2 * round + 1, helpers);
                }
            },
            [&] {
                if (round > 0) {
                    hand(theirs[(round - 1) % 2]);
                }
                formatChunk(2 * round, mine);
                hand(mine);
            });
    }
    if (chunks % 2 == 0 && out.ok()) {
        hand(theirs[(round - 1) % 2]);  // the last round's second chunk
    }
}

// The labels a run of facets is written under: its "o", "g" and "usemtl" lines.
struct Labels {
    std::uint32_t object = kUnnamed;
    std::uint32_t group = kUnnamed;
    std::uint32_t material = kNoMaterial;

    bool operator==(const Labels& other) const {
        return object == other.object && group == other.group && material == other.material;
    }
};

// The facets in the order they are written: grouped by object and group first (in
// order of first use), by material second (in order of first use within the object
// and group), each run in facet order. Also the first facet of each run, and its
// labels.
struct FacetRuns {
    std::vector<std::uint32_t> order;
    std::vector<std::size_t> starts;  // one past the last: order.size()
    std::vector<Labels> labels;
};

FacetRuns groupFacets(const RefinedMesh& mesh) {
    const std::size_t facets = mesh.facetCount();
    const auto labelOf = [&](const std::vector<std::uint32_t>& ofFacet, std::size_t f,
                             std::uint32_t none) {
        return ofFacet.size() == facets ? ofFacet[f] : none;
    };
    // Parts (object and group) and runs (part and material) numbered in order of first
    // use; consecutive facets mostly share their labels, so the last lookup is kept.
    std::unordered_map<std::uint64_t, std::uint32_t> partIds, runIds;
    std::vector<std::uint32_t> partOfRun, runOfFacet(facets);
    std::vector<Labels> labelsOfRun;
    Labels last;
    std::uint32_t lastRun = 0;
    for (std::size_t f = 0; f < facets; ++f) {
        const Labels labels{labelOf(mesh.facetObjects, f, kUnnamed),
                            labelOf(mesh.facetGroups, f, kUnnamed),
                            labelOf(mesh.facetMaterials, f, kNoMaterial)};
        if (f == 0 || !(labels == last)) {
            const std::uint64_t partKey = std::uint64_t{labels.object} << 32 | labels.group;
            const std::uint32_t part =
                partIds.emplace(partKey, static_cast<std::uint32_t>(partIds.size())).first->second;
            const std::uint64_t runKey = std::uint64_t{part} << 32 | labels.material;
            const auto run = runIds.emplace(runKey, static_cast<std::uint32_t>(runIds.size()));
            if (run.second) {
                partOfRun.push_back(part);
                labelsOfRun.push_back(labels);
            }
            last = labels;
            lastRun = run.first->second;
        }
        runOfFacet[f] = lastRun;
    }
    // Runs ordered by part, in order of first use within it; then a stable counting
    // sort of the facets by run.
    std::vector<std::uint32_t> runOrder(partOfRun.size());
    for (std::uint32_t r = 0; r < runOrder.size(); ++r) {
        runOrder[r] = r;
    }
    std::stable_sort(runOrder.begin(), runOrder.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return partOfRun[a] < partOfRun[b]; });
    std::vector<std::size_t> counts(runOrder.size()), next(runOrder.size());
    for (std::uint32_t r : runOfFacet) {
        ++counts[r];
    }
    FacetRuns runs;
    std::size_t start = 0;
    for (std::uint32_t r : runOrder) {
        runs.starts.push_back(start);
        runs.labels.push_back(labelsOfRun[r]);
        next[r] = start;
        start += counts[r];
    }
    runs.starts.push_back(start);
    runs.order.resize(facets);
    for (std::size_t f = 0; f < facets; ++f) {
        runs.order[next[runOfFacet[f]]++] = static_cast<std::uint32_t>(f);
    }
    return runs;
}

void writeFacet(LineBuffer& out, const RefinedMesh& mesh, const IndexTexts& texts,
                std::size_t facet) {
    out.reserveLine();
    out.character('f');
    const bool textured = mesh.facetHasTexture(facet);
    for (std::size_t j = 4 * facet; j < 4 * facet + 4; ++j) {
        out.character(' ');
        out.index(texts, mesh.positionCorners[j]);
        if (textured) {
            out.character('/');
            out.index(texts, mesh.textureCorners[j]);
        }
        if (mesh.withNormals) {
            // Each position's normal has the position's index: p/t/p, or p//p.
            out.text("//", textured ? 1 : 2);
            out.index(texts, mesh.positionCorners[j]);
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

// The "mtllib", "v" and "vn" lines.
bool writePositions(const RefinedMesh& mesh, LineBuffer& out) {
    for (const std::string& library : mesh.materialLibraries) {
        writeTextLine(out, "mtllib", library);
    }
    writeLines(out, mesh.positions.size(), [&](LineBuffer& lines, std::size_t i) {
        const Point3f& p = mesh.positions[i];
        writeVertexLine(lines, "v ", {p.x, p.y, p.z});
    });
    writeLines(out, mesh.withNormals ? mesh.normals.size() : 0,
               [&](LineBuffer& lines, std::size_t i) {
                   const Point3f& n = mesh.normals[i];
                   writeVertexLine(lines, "vn ", {n.x, n.y, n.z});
               });
    return out.flush();
}

// The facet lines grouped under their labels: a label line where the label changes. A
// run without an object (group) gets no line: OBJ has none that takes one back.
void writeLabelledFacets(const RefinedMesh& mesh, const IndexTexts& texts, LineBuffer& out) {
    const FacetRuns runs = groupFacets(mesh);
    Labels written;
    for (std::size_t r = 0; r < runs.labels.size(); ++r) {
        const Labels& labels = runs.labels[r];
        bool newPart = false;
        if (labels.object != written.object && labels.object != kUnnamed) {
            writeTextLine(out, "o", mesh.objectNames[labels.object]);
            newPart = true;
        }
        // Named again after a new object, for readers that start each object without
        // a group.
        if ((labels.group != written.group || newPart) && labels.group != kUnnamed) {
            writeTextLine(out, "g", mesh.groupNames[labels.group]);
            newPart = true;
        }
        // Likewise the material after a new object or group.
        if ((labels.material != written.material || newPart) && labels.material != kNoMaterial) {
            writeTextLine(out, "usemtl", mesh.materialNames[labels.material]);
        }
        written = labels;
        const std::uint32_t* run = runs.order.data() + runs.starts[r];
        writeLines(out, runs.starts[r + 1] - runs.starts[r],
                   [&](LineBuffer& lines, std::size_t i) {
                       writeFacet(lines, mesh, texts, run[i]);
                   });
    }
}

}  // namespace

bool writeMergedObj(const RefinedMesh& mesh, ByteSink& sink) {
    if (mesh.textured && (mesh.textureCorners.size() != mesh.positionCorners.size() ||
                          (!mesh.facetTextured.empty() &&
                           mesh.facetTextured.size() != mesh.positionCorners.size() / 4))) {
        return false;  // never write a facet line that names no texture coordinate
    }
    LineBuffer out(sink);
    if (!writePositions(mesh, out)) {
        return false;
    }
    if (mesh.textured) {
        writeLines(out, mesh.uvs.size(), [&](LineBuffer& lines, std::size_t i) {
            writeVertexLine(lines, "vt ", {mesh.uvs[i].x, mesh.uvs[i].y});
        });
    }
    const std::size_t facets = mesh.facetCount();
    const IndexTexts texts(std::max(mesh.positions.size(), mesh.textured ? mesh.uvs.size() : 0));
    if (mesh.facetMaterials.size() != facets && mesh.facetObjects.size() != facets &&
        mesh.facetGroups.size() != facets) {
        writeLines(out, facets,
                   [&](LineBuffer& lines, std::size_t f) { writeFacet(lines, mesh, texts, f); });
    } else {
        writeLabelledFacets(mesh, texts, out);
    }
    return out.flush();
}

}  // namespace faceloom

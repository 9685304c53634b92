#include "MergedObjWriter.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <future>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "FloatFormat.h"

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
    void number(std::uint32_t value) {
        auto result = std::to_chars(buffer_.data() + used_, buffer_.data() + buffer_.size(), value);
        used_ = static_cast<std::size_t>(result.ptr - buffer_.data());
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
// lines are formatted in chunks: the even chunks by this thread, the odd ones by a
// helper thread, each into a buffer of its own, and handed on in order. The helper
// has two buffers, so that it formats the next odd chunk while this thread hands on
// the last one: the same bytes, in about half the time on two cores.
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
    const auto formatChunk = [&](std::size_t first, LineBuffer& chunk) {
        chunk.clear();
        const std::size_t last = std::min(count, first + kChunkLines);
        for (std::size_t i = first; i < last; ++i) {
            formatLine(chunk, i);
        }
    };
    const auto hand = [&](const LineBuffer& chunk) {
        out.direct(std::string_view(chunk.data(), chunk.size()));
    };
    // The helper's chunk starting at `first`, into buffer `b`, when there is one. The
    // future waits for the helper in its destructor, on every path (an exception
    // included), before the buffers go out of scope.
    std::future<void> helper;
    const auto startHelper = [&](std::size_t first, int b) {
        if (first < count) {
            helper =
                std::async(std::launch::async, [&, first, b] { formatChunk(first, theirs[b]); });
        }
    };
    startHelper(kChunkLines, 0);
    int b = 0;
    for (std::size_t first = 0; first < count && out.ok(); first += 2 * kChunkLines, b ^= 1) {
        formatChunk(first, mine);
        hand(mine);
        if (!helper.valid()) {
            break;  // this was the last chunk
        }
        helper.get();
        startHelper(first + 3 * kChunkLines, b ^ 1);
        hand(theirs[b]);
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
        if (mesh.withNormals) {
            // Each position's normal has the position's index: p/t/p, or p//p.
            out.text("//", textured ? 1 : 2);
            out.number(mesh.positionCorners[j] + 1);
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

MergedObjWriter::MergedObjWriter(ByteSink& sink) : sink_(sink) {}

bool MergedObjWriter::writePositions(const RefinedMesh& mesh) {
    LineBuffer out(sink_);
    for (const std::string& library : mesh.materialLibraries) {
        writeTextLine(out, "mtllib", library);
    }
    for (const auto& p : mesh.positions) {
        writeVertexLine(out, "v ", {p.x, p.y, p.z});
    }
    for (const auto& n : mesh.normals) {
        writeVertexLine(out, "vn ", {n.x, n.y, n.z});
    }
    ok_ = out.flush() && ok_;
    return ok_;
}

bool MergedObjWriter::writeRest(const RefinedMesh& mesh) {
    if (!ok_) {
        return false;
    }
    if (mesh.textured && (mesh.textureCorners.size() != mesh.positionCorners.size() ||
                          (!mesh.facetTextured.empty() &&
                           mesh.facetTextured.size() != mesh.positionCorners.size() / 4))) {
        return ok_ = false;  // never write a facet line that names no texture coordinate
    }
    LineBuffer out(sink_);
    if (mesh.textured) {
        writeLines(out, mesh.uvs.size(), [&](LineBuffer& lines, std::size_t i) {
            writeVertexLine(lines, "vt ", {mesh.uvs[i].x, mesh.uvs[i].y});
        });
    }
    const std::size_t facets = mesh.facetCount();
    if (mesh.facetMaterials.size() != facets && mesh.facetObjects.size() != facets &&
        mesh.facetGroups.size() != facets) {
        writeLines(out, facets,
                   [&](LineBuffer& lines, std::size_t f) { writeFacet(lines, mesh, f); });
        return ok_ = out.flush();
    }
    // A label line is written where the label changes. A run without an object
    // (group) gets no line: OBJ has none that takes one back.
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
                   [&](LineBuffer& lines, std::size_t i) { writeFacet(lines, mesh, run[i]); });
    }
    return ok_ = out.flush();
}

bool writeMergedObj(const RefinedMesh& mesh, ByteSink& sink) {
    MergedObjWriter writer(sink);
    return writer.writePositions(mesh) && writer.writeRest(mesh);
}

}  // namespace faceloom

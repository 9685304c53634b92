#include "output/MergedObjWriter.h"

#include <charconv>
#include <cstring>
#include <vector>

#include "output/FloatFormat.h"

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
        used_ = static_cast<std::size_t>(formatFloat(buffer_.data() + used_, value) - buffer_.data());
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

private:
    static constexpr std::size_t kCapacity = std::size_t{1} << 20;
    static constexpr std::size_t kLongestLine = 256;

    ByteSink& sink_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool ok_ = true;
};

}  // namespace

bool writeMergedObj(const RefinedMesh& mesh, ByteSink& sink) {
    LineBuffer out(sink);
    for (const auto& p : mesh.positions) {
        out.reserveLine();
        out.text("v ", 2);
        out.number(p.x);
        out.character(' ');
        out.number(p.y);
        out.character(' ');
        out.number(p.z);
        out.character('\n');
    }
    if (mesh.textured && mesh.textureCorners.size() != mesh.positionCorners.size()) {
        return false;  // never write a facet line that names no texture coordinate
    }
    if (mesh.textured) {
        for (const auto& t : mesh.uvs) {
            out.reserveLine();
            out.text("vt ", 3);
            out.number(t.x);
            out.character(' ');
            out.number(t.y);
            out.character('\n');
        }
    }
    for (std::size_t c = 0; c + 4 <= mesh.positionCorners.size(); c += 4) {
        out.reserveLine();
        out.character('f');
        for (std::size_t j = c; j < c + 4; ++j) {
            out.character(' ');
            out.number(mesh.positionCorners[j] + 1);
            if (mesh.textured) {
                out.character('/');
                out.number(mesh.textureCorners[j] + 1);
            }
        }
        out.character('\n');
    }
    return out.flush();
}

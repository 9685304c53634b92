// libFuzzer target: arbitrary bytes through the loader and a whole run of one
// refinement step (both surface builders, the pairing and the writer), into memory.
// What is written must be a sound OBJ file: finite numbers, every index in range, four distinct
// corners per facet; anything else aborts, so that libFuzzer reports it.
//
// Bytes that begin as glTF does ("glTF", or '{') go through the glTF reader instead,
// each triangle primitive through the same run, and the glTF writer: what it writes
// must read back, every refined primitive with its triangles.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/syscall.h>
#include <unistd.h>

#include <CGAL/exceptions.h>

#include "GltfAccessor.h"
#include "GltfDocument.h"
#include "GltfGeometry.h"
#include "GltfPrimitive.h"
#include "GltfWriter.h"
#include "ObjLoader.h"
#include "RunSubdivision.h"
#include "support/RecordedDiagnostics.h"

using namespace faceloom;

namespace {

void require(bool sound) {
    if (!sound) {
        std::abort();
    }
}

// Reads one "f" corner, "p", "p/t", "p/t/n" or "p//n", requiring each index to name
// one of `counts` (positions, texture coordinates, normals) read before.
unsigned long checkCorner(const std::string& corner, const std::size_t (&counts)[3]) {
    std::istringstream parts(corner);
    unsigned long position = 0;
    std::string part;
    for (int i = 0; std::getline(parts, part, '/'); ++i) {
        require(i < 3);
        if (part.empty() && i == 1) {
            continue;  // "p//n": no texture coordinate
        }
        std::size_t used = 0;
        const unsigned long index = std::stoul(part, &used);
        require(used == part.size() && index >= 1 && index <= counts[i]);
        position = i == 0 ? index : position;
    }
    require(position != 0);
    return position;
}

// Reads the written text back: "v x y z", "vt u v" and "vn x y z" with finite
// numbers, "f" lines of four corners naming existing, distinct positions (and
// texture coordinates and normals in range).
void checkWritten(const std::string& text) {
    std::istringstream lines(text);
    std::size_t counts[3] = {0, 0, 0};  // positions, texture coordinates, normals
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string keyword;
        fields >> keyword;
        if (keyword == "v" || keyword == "vt" || keyword == "vn") {
            const int count = keyword == "vt" ? 2 : 3;
            for (int i = 0; i < count; ++i) {
                double value = NAN;
                fields >> value;
                require(!fields.fail() && std::isfinite(value));
            }
            ++counts[keyword == "v" ? 0 : keyword == "vt" ? 1 : 2];
        } else if (keyword == "f") {
            unsigned long p[4];
            for (int i = 0; i < 4; ++i) {
                std::string corner;
                require(static_cast<bool>(fields >> corner));
                p[i] = checkCorner(corner, counts);
                for (int j = 0; j < i; ++j) {
                    require(p[j] != p[i]);
                }
            }
            std::string rest;
            require(!(fields >> rest));
        }
    }
}

// The run's output, in memory: an anonymous file named by its descriptor, which the
// run writes to directly as it writes to any open descriptor.
class MemoryFile {
public:
    MemoryFile() : fd_(static_cast<int>(::syscall(SYS_memfd_create, "fuzz", 0))) {
        require(fd_ >= 0);
    }
    ~MemoryFile() { ::close(fd_); }
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }
    std::string text() const {
        std::string text;
        char chunk[1 << 16];
        ssize_t n = 0;
        for (off_t at = 0; (n = ::pread(fd_, chunk, sizeof chunk, at)) > 0; at += n) {
            text.append(chunk, static_cast<std::size_t>(n));
        }
        return text;
    }

private:
    int fd_;
};

// One step, with the limit normals for every other input so that their code is
// fuzzed too.
RunOptions oneStep(const std::string& bytes) {
    RunOptions wanted;
    wanted.steps = 1;
    wanted.limit.normals = bytes.size() % 2 == 1;
    return wanted;
}

void fuzzObj(const std::string& text) {
    const ObjMesh mesh = parseObj(text);
    test::RecordedDiagnostics diagnostics;
    const std::optional<RunOptions> options = checkRun(mesh, oneStep(text), diagnostics);
    if (!options) {
        return;  // the tool refuses it before any work
    }
    const MemoryFile output;
    runSubdivision(mesh, output.path().c_str(), *options, diagnostics);
    checkWritten(output.text());
}

constexpr std::uint64_t kMaxBytes = std::uint64_t{1} << 26;

// The written glTF binary reads back, each refined primitive with all its triangles.
void checkWrittenGltf(const std::string& bytes, const std::vector<RefinedPrimitive>& refined) {
    std::string why;
    const std::optional<GltfDocument> written =
        parseGltf(bytes, "written", "/nonexistent", kMaxBytes, why);
    require(written.has_value());
    for (const RefinedPrimitive& r : refined) {
        const tinygltf::Primitive& primitive =
            written->model.meshes.at(r.mesh).primitives.at(r.primitive);
        const ObjMesh mesh = primitiveMesh(written->model, primitive, "written", kMaxBytes);
        require(mesh.faceCount() == r.geometry.indexCount() / 3);
    }
}

void fuzzGltf(const std::string& bytes) {
    std::string why;
    // Buffers in other files are never found: the fuzzer reads no files.
    const std::optional<GltfDocument> document =
        parseGltf(bytes, "fuzz.glb", "/nonexistent", kMaxBytes, why);
    if (!document) {
        require(!why.empty());
        return;
    }
    test::RecordedDiagnostics diagnostics;
    std::vector<RefinedPrimitive> refined;
    const auto& meshes = document->model.meshes;
    for (std::size_t m = 0; m < meshes.size() && m < 8; ++m) {
        for (std::size_t p = 0; p < meshes[m].primitives.size() && p < 8; ++p) {
            const tinygltf::Primitive& primitive = meshes[m].primitives[p];
            if (!whyNoSurface(primitive).empty() || !attributesLostByRefining(primitive).empty()) {
                continue;
            }
            ObjMesh mesh;
            try {
                mesh = primitiveMesh(document->model, primitive, "fuzz", kMaxBytes);
            } catch (const GltfError&) {
                return;  // reported to the user as what is wrong with the file
            }
            const std::optional<RunOptions> options =
                checkRun(mesh, oneStep(bytes), diagnostics);
            std::optional<RefinedMesh> surface;
            if (options) {
                surface = refineMesh(mesh, "fuzz.glb", *options, diagnostics);
            }
            if (!surface) {
                return;
            }
            refined.push_back({m, p, gltfGeometry(std::move(*surface))});
        }
    }
    const MemoryFile output;
    const GltfWriteFailure failure = writeGltf(*document, refined, output.path(), true);
    if (failure.path.empty()) {
        checkWrittenGltf(output.text(), refined);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        if (text.compare(0, 4, "glTF") == 0 || (!text.empty() && text[0] == '{')) {
            fuzzGltf(text);
        } else {
            fuzzObj(text);
        }
    } catch (const CGAL::Failure_exception&) {
        // A check inside CGAL failed: what the tool handed it was not what it promised.
        std::abort();
    } catch (const std::bad_alloc&) {
        // Running out of memory is reported by the tool, not a fault.
    } catch (const std::length_error&) {
    } catch (const std::runtime_error&) {
        // The loader refused the input (a number that is not finite), with a message.
    }
    return 0;
}

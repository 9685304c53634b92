// libFuzzer target: arbitrary bytes through the loader, both surface builders, one
// refinement step, the pairing and the writer, into memory. What would be written
// must be a sound OBJ file: finite numbers, every index in range, four distinct
// corners per facet; anything else aborts, so that libFuzzer reports it.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>

#include <CGAL/exceptions.h>

#include "app/RunSubdivision.h"
#include "builders/InputLimits.h"
#include "mesh/ObjMesh.h"
#include "output/MergedObjWriter.h"
#include "tests/support/RecordedDiagnostics.h"
#include "tests/support/StringSink.h"

using namespace faceloom;

namespace {

void require(bool sound) {
    if (!sound) {
        std::abort();
    }
}

// Reads the written text back: "v x y z", "vt u v" with finite numbers, "f" lines of
// four corners naming existing, distinct positions (and, on the facets written with
// texture, texture coordinates in range).
void checkWritten(const std::string& text, const RefinedMesh& mesh) {
    std::size_t facet = 0;
    std::istringstream lines(text);
    std::size_t positions = 0, uvs = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string keyword;
        fields >> keyword;
        if (keyword == "v" || keyword == "vt") {
            const int count = keyword == "v" ? 3 : 2;
            for (int i = 0; i < count; ++i) {
                double value = NAN;
                fields >> value;
                require(!fields.fail() && std::isfinite(value));
            }
            ++(keyword == "v" ? positions : uvs);
        } else if (keyword == "f") {
            const bool textured = line.find('/') != std::string::npos;
            require(facet < mesh.facetCount());
            ++facet;
            unsigned long p[4];
            for (int i = 0; i < 4; ++i) {
                char slash = 0;
                unsigned long t = 0;
                fields >> p[i];
                require(!fields.fail() && p[i] >= 1 && p[i] <= positions);
                if (textured) {
                    fields >> slash >> t;
                    require(slash == '/' && !fields.fail() && t >= 1 && t <= uvs);
                }
                for (int j = 0; j < i; ++j) {
                    require(p[j] != p[i]);
                }
            }
            std::string rest;
            require(!(fields >> rest));
        }
    }
    require(facet == mesh.facetCount());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const ObjMesh mesh = ObjMesh::fromText(text);
        if (!inputLimitRefusal(mesh).empty()) {
            return 0;  // the tool refuses it before any work
        }
        test::RecordedDiagnostics diagnostics;
        PhaseReporter phases(diagnostics, nullptr);
        Refinement refinement =
            refineMesh(mesh, 1, SmoothingOptions{}, "fuzz.obj", phases, diagnostics);
        if (refinement.hasOutput) {
            StringSink sink;
            require(writeMergedObj(refinement.mesh, sink));
            checkWritten(sink.text, refinement.mesh);
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

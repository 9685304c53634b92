// libFuzzer target: arbitrary bytes through the loader, both surface builders, one
// refinement step, the pairing and the writer, into memory.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include <CGAL/exceptions.h>

#include "app/RunSubdivision.h"
#include "mesh/ObjMesh.h"
#include "output/MergedObjWriter.h"
#include "tests/support/RecordedDiagnostics.h"
#include "tests/support/StringSink.h"

using namespace faceloom;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const ObjMesh mesh = ObjMesh::fromText(text);
        test::RecordedDiagnostics diagnostics;
        PhaseReporter phases(diagnostics, nullptr);
        Refinement refinement = refineMesh(mesh, 1, SmoothingOptions{}, "fuzz.obj", phases, diagnostics);
        if (refinement.hasOutput) {
            StringSink sink;
            writeMergedObj(refinement.mesh, sink);
        }
    } catch (const CGAL::Failure_exception&) {
        // A check inside CGAL failed: what the tool handed it was not what it promised.
        std::abort();
    } catch (const std::bad_alloc&) {
        // Running out of memory is reported by the tool, not a fault.
    } catch (const std::length_error&) {
    }
    return 0;
}

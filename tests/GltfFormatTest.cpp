// glTF in and out, through the real binary: every pair of formats gives the surface an
// OBJ file of the same triangles gives, however the glTF file encodes them; documents
// are carried through; what can't be refined or read is said, never dropped silently.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ObjLoader.h"
#include "support/GltfFile.h"
#include "support/TestSupport.h"

namespace {

using test::Json;

const double kTolerance = 2e-5;

std::string exampleFile(const std::string& name) {
    return std::string(FACELOOM_SOURCE_DIR) + "/examples/" + name;
}

// Runs the tool and expects it to succeed.
std::string refine(const std::vector<std::string>& args) {
    const test::RunResult r = test::runTool(args);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    return r.out;
}

// The meshes the routes are compared on: the suite's, with seams, islands and
// boundaries of every kind, and a real exporter's file. (Not those whose seams have the
// same uvs on both sides: glTF has one vertex per position and uv, so to glTF such a
// seam is none.)
const char* const kMeshes[] = {"cube_cross_layout.obj", "torus_two_seams.obj", "open_cylinder_with_seam.obj",
                               "three_islands_meet_at_a_vertex.obj",
                               "islands_touching_at_one_corner.obj", "mirrored_texture_strip.obj",
                               "cube_without_texture.obj"};

TEST(GltfFormatTest, EveryPairOfFormatsRefinesTheSameSurfaceAsObj) {
    test::TempDir dir;
    std::vector<std::string> paths;
    for (const char* name : kMeshes) {
        paths.push_back(test::dataFile(name));
    }
    paths.push_back(exampleFile("vase.obj"));
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const std::string text = test::readFile(path);
        const std::string obj = dir.file("in.obj"), glb = dir.file("in.glb");
        test::writeFile(obj, test::triangulatedObj(text));
        test::gltfOf(test::splitTriangles(text)).writeGlb(glb);
        refine({"1", obj, dir.file("a.obj")});
        const std::string expected = test::readFile(dir.file("a.obj"));
        // glTF -> OBJ: every split vertex welded, every seam kept.
        refine({"1", glb, dir.file("b.obj")});
        test::expectSameSurface(expected, test::readFile(dir.file("b.obj")), kTolerance);
        // OBJ -> glTF and glTF -> glTF, read back without the tool.
        refine({"1", obj, dir.file("c.glb")});
        refine({"1", glb, dir.file("d.gltf")});
        for (const char* out : {"c.glb", "d.gltf"}) {
            test::expectValidGltf(dir.file(out));
            test::expectSameSurface(expected, test::objOfWrittenGltf(dir.file(out)), kTolerance);
        }
    }
}

TEST(GltfFormatTest, OptionsAndRepairsApplyToGltfAsToObj) {
    test::TempDir dir;
    const std::vector<std::vector<std::string>> runs = {
        {"--uv-smooth=keep-boundaries", "--boundary-smooth=keep-corners", "2"},
        {"--uv-smooth=keep-corners-junctions", "1"},
        {"--uv-smooth=none", "1"}};
    const std::string text = test::readFile(test::dataFile("three_islands_meet_at_a_vertex.obj"));
    test::writeFile(dir.file("in.obj"), test::triangulatedObj(text));
    test::gltfOf(test::splitTriangles(text)).writeGlb(dir.file("in.glb"));
    for (std::vector<std::string> args : runs) {
        args.push_back(dir.file("in.obj"));
        args.push_back(dir.file("a.obj"));
        refine(args);
        args[args.size() - 2] = dir.file("in.glb");
        args.back() = dir.file("b.obj");
        refine(args);
        test::expectSameSurface(test::readFile(dir.file("a.obj")),
                                test::readFile(dir.file("b.obj")), kTolerance);
    }
    // The same repairs, and the same warnings, naming the primitive.
    const std::string bent = test::readFile(test::dataFile("edge_shared_by_three_faces.obj"));
    test::writeFile(dir.file("bent.obj"), test::triangulatedObj(bent));
    test::gltfOf(test::splitTriangles(bent)).writeGlb(dir.file("bent.glb"));
    const std::string objOut = refine({"1", dir.file("bent.obj"), dir.file("a.obj")});
    const std::string gltfOut = refine({"1", dir.file("bent.glb"), dir.file("b.obj")});
    const std::string warning = "Warning : Turned 0 faces and split 4 vertices of [";
    EXPECT_NE(objOut.find(warning + dir.file("bent.obj") + "] to build its surface"),
              std::string::npos)
        << objOut;
    EXPECT_NE(gltfOut.find(warning + dir.file("bent.glb") +
                           " mesh \"surface\" primitive 0] to build its surface"),
              std::string::npos)
        << gltfOut;
    test::expectSameSurface(test::readFile(dir.file("a.obj")), test::readFile(dir.file("b.obj")),
                            kTolerance);
}

// One variant of a glTF file of the same triangles, and how close it comes to the
// float original (normalized uvs round to 1/65535).
struct Encoding {
    const char* name;
    double tolerance;
    void (*build)(const test::Triangles& t, test::GltfBuilder& b, Json& attributes, Json& primitive);
};

std::vector<std::uint32_t> asShorts(const std::vector<float>& values, float scale) {
    std::vector<std::uint32_t> shorts;
    for (float v : values) {
        shorts.push_back(static_cast<std::uint32_t>(std::lround(v * scale)) & 0xFFFF);
    }
    return shorts;
}

const Encoding kEncodings[] = {
    {"8-bit indices", kTolerance,
     [](const test::Triangles& t, test::GltfBuilder& b, Json&, Json& primitive) {
         primitive["indices"] = b.indices(t.indices, test::kUnsignedByte);
     }},
    {"16-bit indices", kTolerance,
     [](const test::Triangles& t, test::GltfBuilder& b, Json&, Json& primitive) {
         primitive["indices"] = b.indices(t.indices, test::kUnsignedShort);
     }},
    {"no indices", kTolerance, [](const test::Triangles&, test::GltfBuilder&, Json&, Json&) {}},
    {"interleaved", kTolerance,
     [](const test::Triangles& t, test::GltfBuilder& b, Json& attributes, Json&) {
         std::vector<float> both;
         for (std::size_t v = 0; v < t.positions.size() / 3; ++v) {
             both.insert(both.end(), t.positions.begin() + 3 * v, t.positions.begin() + 3 * v + 3);
             both.insert(both.end(), t.uvs.begin() + 2 * v, t.uvs.begin() + 2 * v + 2);
         }
         const std::size_t view = b.view(both.data(), both.size() * 4, 20, 34962);
         const std::size_t n = both.size() / 5;
         attributes["POSITION"] = b.accessor(view, test::kFloat, n, "VEC3",
                                             {{"min", {-1, -1, -1}}, {"max", {1, 1, 1}}});
         attributes["TEXCOORD_0"] = b.accessor(view, test::kFloat, n, "VEC2", {{"byteOffset", 12}});
     }},
    {"normalized uvs", 1e-4,
     [](const test::Triangles& t, test::GltfBuilder& b, Json& attributes, Json&) {
         const std::vector<std::uint32_t> shorts = asShorts(t.uvs, 65535.0f);
         std::vector<std::uint16_t> data(shorts.begin(), shorts.end());
         attributes["TEXCOORD_0"] = b.accessor(b.view(data.data(), data.size() * 2, 0, 34962),
                                               test::kUnsignedShort, data.size() / 2, "VEC2",
                                               {{"normalized", true}});
     }},
    {"sparse positions", kTolerance,
     [](const test::Triangles& t, test::GltfBuilder& b, Json& attributes, Json&) {
         const std::size_t n = t.positions.size() / 3;
         std::vector<std::uint32_t> all(n);
         for (std::uint32_t i = 0; i < n; ++i) {
             all[i] = i;
         }
         const std::size_t spots = b.view(all.data(), all.size() * 4);
         const std::size_t values = b.view(t.positions.data(), t.positions.size() * 4);
         Json sparse = {{"count", n},
                        {"indices", {{"bufferView", spots}, {"componentType", test::kUnsignedInt}}},
                        {"values", {{"bufferView", values}}}};
         b.doc["accessors"].push_back({{"componentType", test::kFloat}, {"count", n}, {"type", "VEC3"},
                                       {"min", {-1, -1, -1}}, {"max", {1, 1, 1}}, {"sparse", sparse}});
         attributes["POSITION"] = b.doc["accessors"].size() - 1;
     }},
    {"quantized positions", kTolerance,
     [](const test::Triangles& t, test::GltfBuilder& b, Json& attributes, Json&) {
         const std::vector<std::uint32_t> shorts = asShorts(t.positions, 1.0f);
         std::vector<std::uint16_t> data;
         for (std::size_t v = 0; v < shorts.size(); v += 3) {  // each element padded to 8 bytes
             data.insert(data.end(), {std::uint16_t(shorts[v]), std::uint16_t(shorts[v + 1]),
                                      std::uint16_t(shorts[v + 2]), 0});
         }
         attributes["POSITION"] = b.accessor(b.view(data.data(), data.size() * 2, 8, 34962),
                                             test::kShort, data.size() / 4, "VEC3",
                                             {{"min", {-1, -1, -1}}, {"max", {1, 1, 1}}});
         b.doc["extensionsUsed"] = {"KHR_mesh_quantization"};
         b.doc["extensionsRequired"] = {"KHR_mesh_quantization"};
     }},
};

TEST(GltfFormatTest, EveryEncodingOfTheTrianglesReadsAsTheSameMesh) {
    test::TempDir dir;
    const test::Triangles triangles =
        test::splitTriangles(test::readFile(test::dataFile("cube_cross_layout.obj")));
    test::gltfOf(triangles).writeGlb(dir.file("plain.glb"));
    refine({"2", dir.file("plain.glb"), dir.file("plain.obj")});
    const std::string expected = test::readFile(dir.file("plain.obj"));
    for (const Encoding& encoding : kEncodings) {
        SCOPED_TRACE(encoding.name);
        test::GltfBuilder b;
        Json attributes = {{"POSITION", b.floats(triangles.positions, "VEC3")},
                           {"TEXCOORD_0", b.floats(triangles.uvs, "VEC2")}};
        Json primitive = Json::object();
        encoding.build(triangles, b, attributes, primitive);
        primitive["attributes"] = attributes;
        b.mesh(Json::array({primitive}), "surface");
        b.writeGlb(dir.file("variant.glb"));
        refine({"2", dir.file("variant.glb"), dir.file("variant.obj")});
        test::expectSameSurface(expected, test::readFile(dir.file("variant.obj")), encoding.tolerance);
        // Quantized positions become floats: the output needs the extension no more.
        refine({"1", dir.file("variant.glb"), dir.file("variant_out.glb")});
        EXPECT_FALSE(test::readBack(dir.file("variant_out.glb")).doc.contains("extensionsRequired"));
    }
}

TEST(GltfFormatTest, StripsAndFansAreTheirTriangles) {
    test::TempDir dir;
    // A pentagon as a fan, and a strip of two quads, against their triangles listed.
    const std::string pentagon = test::readFile(test::dataFile("pentagon.obj"));
    const std::string strip =
        "v 0 0 0\nv 0 1 0\nv 1 0 0\nv 1 1 0\nv 2 0 0\nv 2 1 0\n"
        "vt 0 0\nvt 0 1\nvt 0.5 0\nvt 0.5 1\nvt 1 0\nvt 1 1\n"
        "f 1/1 2/2 3/3\nf 3/3 2/2 4/4\nf 3/3 4/4 5/5\nf 5/5 4/4 6/6\n";
    const std::vector<std::pair<std::string, int>> cases = {{pentagon, 6}, {strip, 5}};
    for (const auto& [text, mode] : cases) {
        SCOPED_TRACE(mode);
        const faceloom::ObjMesh mesh = faceloom::parseObj(text);
        std::vector<float> positions, uvs;
        for (std::size_t v = 0; v < mesh.positions.size(); ++v) {
            positions.insert(positions.end(), {mesh.positions[v].x, mesh.positions[v].y, mesh.positions[v].z});
            uvs.insert(uvs.end(), {mesh.uvs[v].x, 1.0f - mesh.uvs[v].y});
        }
        test::GltfBuilder b;
        Json attributes = {{"POSITION", b.floats(positions, "VEC3")}, {"TEXCOORD_0", b.floats(uvs, "VEC2")}};
        // The strip joins a second run to the first by repeating vertices, as
        // exporters do: the triangles that makes are no faces.
        const std::vector<std::uint32_t> drawn =
            mode == 6 ? std::vector<std::uint32_t>{0, 1, 2, 3, 4}
                      : std::vector<std::uint32_t>{0, 1, 2, 3, 3, 2, 2, 3, 4, 5};
        b.mesh(Json::array({{{"attributes", attributes}, {"indices", b.indices(drawn)}, {"mode", mode}}}));
        b.writeGlb(dir.file("drawn.glb"));
        test::writeFile(dir.file("listed.obj"), test::triangulatedObj(text));
        refine({"2", dir.file("listed.obj"), dir.file("a.obj")});
        refine({"2", dir.file("drawn.glb"), dir.file("b.obj")});
        test::expectSameSurface(test::readFile(dir.file("a.obj")), test::readFile(dir.file("b.obj")),
                                kTolerance);
    }
}

}  // namespace

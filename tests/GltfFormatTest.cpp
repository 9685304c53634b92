// glTF in and out, through the real binary: every pair of formats gives the surface an
// OBJ file of the same triangles gives, however the glTF file encodes them; documents
// are carried through; what can't be refined or read is said, never dropped silently.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ObjLoader.h"
#include "support/GltfFile.h"
#include "support/ObjFile.h"
#include "support/TestSupport.h"

namespace {

using test::Json;

const double kTolerance = 2e-5;

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
const char* const kMeshes[] = {"torus_two_seams.obj",
                               "open_cylinder_with_seam.obj",
                               "three_islands_meet_at_a_vertex.obj",
                               "islands_touching_at_one_corner.obj",
                               "mirrored_texture_strip.obj",
                               "cube_without_texture.obj"};

TEST(GltfFormatTest, EveryPairOfFormatsRefinesTheSameSurfaceAsObj) {
    test::TempDir dir;
    std::vector<std::string> paths;
    for (const char* name : kMeshes) {
        paths.push_back(test::dataFile(name));
    }
    paths.push_back(test::cubeFile());
    paths.push_back(test::exampleFile("vase.obj"));
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
    const std::string warning = "Warning : Parted the faces at 1 edges shared by three or more "
                                "faces of [";
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

// One variant of a glTF file of the same triangles: the same numbers in, so the same
// numbers out.
struct Encoding {
    const char* name;
    void (*build)(const test::Triangles& t, test::GltfBuilder& b, Json& attributes,
                  Json& primitive);
};

std::vector<std::uint32_t> asShorts(const std::vector<float>& values, float scale) {
    std::vector<std::uint32_t> shorts;
    for (float v : values) {
        shorts.push_back(static_cast<std::uint32_t>(std::lround(v * scale)) & 0xFFFF);
    }
    return shorts;
}

const Encoding kEncodings[] = {
    {"8-bit indices",
     [](const test::Triangles& t, test::GltfBuilder& b, Json&, Json& primitive) {
         primitive["indices"] = b.indices(t.indices, test::kUnsignedByte);
     }},
    {"16-bit indices",
     [](const test::Triangles& t, test::GltfBuilder& b, Json&, Json& primitive) {
         primitive["indices"] = b.indices(t.indices, test::kUnsignedShort);
     }},
    {"no indices", [](const test::Triangles&, test::GltfBuilder&, Json&, Json&) {}},
    {"interleaved",
     [](const test::Triangles& t, test::GltfBuilder& b, Json& attributes, Json&) {
         std::vector<float> both;
         for (std::size_t v = 0; v < t.positions.size() / 3; ++v) {
             both.insert(both.end(), t.positions.begin() + 3 * v, t.positions.begin() + 3 * v + 3);
             both.insert(both.end(), t.uvs.begin() + 2 * v, t.uvs.begin() + 2 * v + 2);
         }
         const std::size_t view = b.view(both.data(), both.size() * 4, 20, 34962);
         const std::size_t n = both.size() / 5;
         attributes["POSITION"] =
             b.accessor(view, test::kFloat, n, "VEC3", {{"min", {-1, -1, -1}}, {"max", {1, 1, 1}}});
         attributes["TEXCOORD_0"] = b.accessor(view, test::kFloat, n, "VEC2", {{"byteOffset", 12}});
     }},
    {"normalized uvs",
     [](const test::Triangles& t, test::GltfBuilder& b, Json& attributes, Json&) {
         const std::vector<std::uint32_t> shorts = asShorts(t.uvs, 65535.0f);
         std::vector<std::uint16_t> data(shorts.begin(), shorts.end());
         attributes["TEXCOORD_0"] =
             b.accessor(b.view(data.data(), data.size() * 2, 0, 34962), test::kUnsignedShort,
                        data.size() / 2, "VEC2", {{"normalized", true}});
     }},
    {"sparse positions",
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
         b.doc["accessors"].push_back({{"componentType", test::kFloat},
                                       {"count", n},
                                       {"type", "VEC3"},
                                       {"min", {-1, -1, -1}},
                                       {"max", {1, 1, 1}},
                                       {"sparse", sparse}});
         attributes["POSITION"] = b.doc["accessors"].size() - 1;
     }},
    {"quantized positions",
     [](const test::Triangles& t, test::GltfBuilder& b, Json& attributes, Json&) {
         const std::vector<std::uint32_t> shorts = asShorts(t.positions, 1.0f);
         std::vector<std::uint16_t> data;
         for (std::size_t v = 0; v < shorts.size(); v += 3) {  // each element padded to 8 bytes
             data.insert(data.end(), {std::uint16_t(shorts[v]), std::uint16_t(shorts[v + 1]),
                                      std::uint16_t(shorts[v + 2]), 0});
         }
         attributes["POSITION"] =
             b.accessor(b.view(data.data(), data.size() * 2, 8, 34962), test::kShort,
                        data.size() / 4, "VEC3", {{"min", {-1, -1, -1}}, {"max", {1, 1, 1}}});
         b.doc["extensionsUsed"] = {"KHR_mesh_quantization"};
         b.doc["extensionsRequired"] = {"KHR_mesh_quantization"};
     }},
};

TEST(GltfFormatTest, EveryEncodingOfTheTrianglesReadsAsTheSameMesh) {
    test::TempDir dir;
    test::Triangles triangles =
        test::splitTriangles(test::readFile(test::cubeFile()));
    // uvs that 16-bit normalized numbers hold exactly, as glTF reads them.
    for (float& uv : triangles.uvs) {
        uv = static_cast<float>(std::lround(uv * 65535.0f)) / 65535.0f;
    }
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
        test::expectSameSurface(expected, test::readFile(dir.file("variant.obj")), 0);
        // Quantized positions become floats: the output needs the extension no more.
        refine({"1", dir.file("variant.glb"), dir.file("variant_out.glb")});
        EXPECT_FALSE(
            test::readBack(dir.file("variant_out.glb")).doc.contains("extensionsRequired"));
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
            positions.insert(positions.end(),
                             {mesh.positions[v].x, mesh.positions[v].y, mesh.positions[v].z});
            uvs.insert(uvs.end(), {mesh.uvs[v].x, 1.0f - mesh.uvs[v].y});
        }
        test::GltfBuilder b;
        Json attributes = {{"POSITION", b.floats(positions, "VEC3")},
                           {"TEXCOORD_0", b.floats(uvs, "VEC2")}};
        // The strip joins a second run to the first by repeating vertices, as
        // exporters do: the triangles that makes are no faces.
        const std::vector<std::uint32_t> drawn =
            mode == 6 ? std::vector<std::uint32_t>{0, 1, 2, 3, 4}
                      : std::vector<std::uint32_t>{0, 1, 2, 3, 3, 2, 2, 3, 4, 5};
        b.mesh(Json::array(
            {{{"attributes", attributes}, {"indices", b.indices(drawn)}, {"mode", mode}}}));
        b.writeGlb(dir.file("drawn.glb"));
        test::writeFile(dir.file("listed.obj"), test::triangulatedObj(text));
        refine({"2", dir.file("listed.obj"), dir.file("a.obj")});
        // Wound alike, as the list is: nothing to turn.
        const std::string out = refine({"2", dir.file("drawn.glb"), dir.file("b.obj")});
        EXPECT_EQ(out.find("Warning"), std::string::npos) << out;
        test::expectSameSurface(test::readFile(dir.file("a.obj")),
                                test::readFile(dir.file("b.obj")), kTolerance);
    }
}

}  // namespace

namespace {

// The smallest PNG: one transparent pixel.
const unsigned char kPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
    0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78,
    0x9C, 0x63, 0x00, 0x01, 0x00, 0x00, 0x05, 0x00, 0x01, 0x0D, 0x0A, 0x2D, 0xB4, 0x00,
    0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

// A scene of a textured body, a wire of lines and a painted part (vertex colours),
// under a node hierarchy with an animation, a camera, materials with an extension and
// extras, an embedded and an external image.
test::GltfBuilder sceneDocument() {
    const test::Triangles body =
        test::splitTriangles(test::readFile(test::cubeFile()));
    test::GltfBuilder b;
    Json bodyAttributes = {{"POSITION", b.floats(body.positions, "VEC3")},
                           {"TEXCOORD_0", b.floats(body.uvs, "VEC2")}};
    b.mesh(
        Json::array({{{"attributes", bodyAttributes},
                      {"indices", b.indices(body.indices)},
                      {"material", 0}}}),
        "Body",
        {{"name", "Body"}, {"rotation", {0, 0.7071068, 0, 0.7071068}}, {"extras", {{"tag", 7}}}});
    const std::vector<float> wire = {0, 0, 0, 1, 0, 0, 1, 1, 0};
    b.mesh(Json::array({{{"attributes", {{"POSITION", b.floats(wire, "VEC3")}}}, {"mode", 3}}}),
           "Wire");
    const std::vector<float> colours = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    b.mesh(
        Json::array(
            {{{"attributes",
               {{"POSITION", b.floats(wire, "VEC3")}, {"COLOR_0", b.floats(colours, "VEC3")}}}}}),
        "Painted", {{"translation", {3, 0, 0}}});
    const std::vector<float> times = {0, 1}, places = {0, 0, 0, 0, 2, 0};
    const std::size_t input = b.accessor(b.view(times.data(), 8), test::kFloat, 2, "SCALAR",
                                         {{"min", {0}}, {"max", {1}}});
    const std::size_t output = b.accessor(b.view(places.data(), 24), test::kFloat, 2, "VEC3");
    const Json sampler = {{"input", input}, {"output", output}};
    const Json channel = {{"sampler", 0}, {"target", {{"node", 2}, {"path", "translation"}}}};
    b.doc["animations"] =
        Json::array({{{"samplers", Json::array({sampler})}, {"channels", Json::array({channel})}}});
    b.doc["nodes"].push_back({{"name", "Eye"}, {"camera", 0}, {"children", {0, 1}}});
    b.doc["scenes"][0]["nodes"] = {3, 2};
    b.doc["cameras"] = {
        {{"type", "perspective"}, {"perspective", {{"yfov", 0.8}, {"znear", 0.1}}}}};
    b.doc["images"] = {{{"bufferView", b.view(kPng, sizeof kPng)}, {"mimeType", "image/png"}},
                       {{"uri", "tex/a%20b.png"}}};
    b.doc["samplers"] = {{{"magFilter", 9729}}};
    b.doc["textures"] = {{{"sampler", 0}, {"source", 0}}, {{"source", 1}}};
    b.doc["materials"] = {
        {{"name", "Skin"},
         {"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 0}}}}},
         {"emissiveTexture", {{"index", 1}}},
         {"emissiveFactor", {1, 1, 1}},
         {"extensions", {{"KHR_materials_emissive_strength", {{"emissiveStrength", 2}}}}},
         {"extras", {{"painter", "someone"}}}}};
    b.doc["extensionsUsed"] = {"KHR_materials_emissive_strength"};
    return b;
}

}  // namespace

TEST(GltfFormatTest, TheDocumentIsCarriedThroughAroundTheRefinedPrimitives) {
    test::TempDir dir;
    const test::GltfBuilder input = sceneDocument();
    ::mkdir(dir.file("tex").c_str(), 0755);
    ::mkdir(dir.file("out").c_str(), 0755);
    test::writeFile(dir.file("tex/a b.png"),
                    std::string(reinterpret_cast<const char*>(kPng), sizeof kPng));
    input.writeGlb(dir.file("scene.glb"));
    for (const char* output : {"out/scene.glb", "scene_out.gltf"}) {
        SCOPED_TRACE(output);
        const std::string out = refine({"1", dir.file("scene.glb"), dir.file(output)});
        const std::string where = "Warning : [" + dir.file("scene.glb") + "] mesh ";
        EXPECT_NE(out.find(where + "\"Wire\" primitive 0: it draws lines: written as it was\n"),
                  std::string::npos)
            << out;
        EXPECT_NE(out.find(where +
                           "\"Painted\" primitive 0 has COLOR_0, which the refinement can't carry: "
                           "written as it was, unrefined\n"),
                  std::string::npos)
            << out;
        test::expectValidGltf(dir.file(output));
        const test::ReadBack written = test::readBack(dir.file(output));
        const Json& doc = written.doc;
        for (const char* part : {"asset", "scene", "scenes", "nodes", "cameras", "materials",
                                 "textures", "samplers", "extensionsUsed"}) {
            EXPECT_EQ(doc[part], input.doc[part]) << part;
        }
        // The embedded image's bytes, the external one named from the output's directory.
        const Json& view = doc["bufferViews"][doc["images"][0]["bufferView"].get<std::size_t>()];
        EXPECT_EQ(written.bin.substr(view["byteOffset"].get<std::size_t>(),
                                     view["byteLength"].get<std::size_t>()),
                  std::string(reinterpret_cast<const char*>(kPng), sizeof kPng));
        EXPECT_EQ(doc["images"][1]["uri"], output[0] == 'o' ? "../tex/a%20b.png" : "tex/a%20b.png");
        // The animation and the unrefined primitives read what they read before.
        test::ReadBack original{input.doc, input.bin};
        original.doc["buffers"] = {{{"byteLength", input.bin.size()}}};
        const auto same = [&](const Json& before, const Json& after) {
            EXPECT_EQ(test::accessorValues(original, before.get<std::size_t>()),
                      test::accessorValues(written, after.get<std::size_t>()));
        };
        same(input.doc["animations"][0]["samplers"][0]["output"],
             doc["animations"][0]["samplers"][0]["output"]);
        for (std::size_t mesh : {1, 2}) {
            const Json& before = input.doc["meshes"][mesh]["primitives"][0];
            const Json& after = doc["meshes"][mesh]["primitives"][0];
            EXPECT_EQ(after.size(), before.size());
            for (const auto& [name, index] : before["attributes"].items()) {
                same(index, after["attributes"][name]);
            }
        }
        // The body refined in place: its material kept, nothing left of its old data.
        const Json& body = doc["meshes"][0]["primitives"][0];
        EXPECT_EQ(body["material"], 0);
        EXPECT_EQ(body["attributes"].size(), 3u);
        EXPECT_EQ(doc["accessors"].size(), input.doc["accessors"].size() - 3 + 4);
    }
}

namespace {

// A glb of the cube's split triangles, the mesh "surface".
std::string cubeGlb() {
    return test::gltfOf(
               test::splitTriangles(test::readFile(test::cubeFile())))
        .glb();
}

void putUint32(std::string& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(&bytes[at], &value, 4);
}

// Expects the run on `input` to fail before writing: its message, no output, the file
// that was there kept.
void expectRefused(const std::string& input, const std::string& output,
                   const std::string& message) {
    test::writeFile(output, "what was there");
    const test::RunResult r = test::runTool({"1", input, output});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.substr(0, message.size()), message) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;  // one line
    EXPECT_EQ(r.out.find("Begin"), std::string::npos) << r.out;
    EXPECT_EQ(test::readFile(output), "what was there");
}

}  // namespace

TEST(GltfFormatTest, AnOutputOfNoKnownFormatIsRefusedBeforeAnyWork) {
    test::TempDir dir;
    for (const char* name : {"out.stl", "out", "out.obj.bak"}) {
        const test::RunResult r = test::runTool({"1", dir.file("missing.obj"), dir.file(name)});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "ERROR : Can't tell what to write to [" + dir.file(name) +
                             "]: its extension names no format Faceloom writes: .obj (Wavefront "
                             "OBJ), .gltf (glTF, its data in a .bin file beside it) or .glb (glTF "
                             "binary)\n");
        EXPECT_FALSE(test::fileExists(dir.file(name)));
    }
}

TEST(GltfFormatTest, TheInputIsReadForWhatItIsWhateverItsName) {
    test::TempDir dir;
    test::writeFile(dir.file("binary.obj"), cubeGlb());
    test::GltfBuilder b =
        test::gltfOf(test::splitTriangles(test::readFile(test::cubeFile())));
    b.writeGltf(dir.file("json.glb"), "json.bin");
    test::writeFile(dir.file("text.gltf"), test::readFile(test::cubeFile()));
    for (const char* name : {"binary.obj", "json.glb", "text.gltf"}) {
        SCOPED_TRACE(name);
        refine({"1", dir.file(name), dir.file("out.GLB")});
        test::expectValidGltf(dir.file("out.GLB"));
        refine({"1", dir.file(name), dir.file("out.Obj")});
        // The cube's 6 quads by 4, or its 12 triangles by 3.
        EXPECT_EQ(test::parseObj(test::readFile(dir.file("out.Obj"))).f.size(),
                  name[0] == 't' ? 24u : 36u);
    }
}

TEST(GltfFormatTest, BrokenGltfIsReportedWithWhatIsWrongNeverACrash) {
    test::TempDir dir;
    const std::string good = cubeGlb();
    const std::uint32_t jsonLength = [&] {
        std::uint32_t n;
        std::memcpy(&n, &good[12], 4);
        return n;
    }();
    struct Case {
        const char* name;
        std::string bytes;
        std::string why;
    };
    std::vector<Case> cases = {
        {"truncated", good.substr(0, 100),
         "it is cut short: its header gives " + std::to_string(good.size()) +
             " bytes, the file has 100"},
        {"json chunk too long", good, "its JSON chunk's length"},
        {"bin chunk too long", good, "its BIN chunk's length"},
        {"version 1", good, "it is a glTF binary of version 1, and only version 2 is read"},
        {"not glTF", std::string("\x01\x02\x03 binary", 10), "it is neither a glTF binary"},
        {"empty", "", "it is neither a glTF binary"},
    };
    putUint32(cases[1].bytes, 12, jsonLength + 4000);
    putUint32(cases[2].bytes, 20 + jsonLength, static_cast<std::uint32_t>(good.size()));
    putUint32(cases[3].bytes, 4, 1);
    // Documents that parse, with accessors that don't hold.
    const auto broken = [&](const char* name, auto change, const std::string& why) {
        test::GltfBuilder b = test::gltfOf(
            test::splitTriangles(test::readFile(test::dataFile("single_triangle.obj"))));
        change(b);
        cases.push_back({name, b.glb(), why});
    };
    broken(
        "count past view", [](test::GltfBuilder& b) { b.doc["accessors"][0]["count"] = 999; },
        "mesh \"surface\" primitive 0: accessor 0 (buffer view 0): its 999 elements run past the "
        "end of the view");
    broken(
        "view past buffer",
        [](test::GltfBuilder& b) { b.doc["bufferViews"][1]["byteOffset"] = 4000; },
        "mesh \"surface\" primitive 0: accessor 1 (buffer view 1) runs past the end of its buffer");
    broken(
        "index past vertices", [](test::GltfBuilder& b) { b.bin[b.bin.size() - 4] = 99; },
        "mesh \"surface\" primitive 0: its indices name vertex 99 of 3");
    broken(
        "not finite", [](test::GltfBuilder& b) { b.bin.replace(0, 4, "\x00\x00\xc0\x7f", 4); },
        "mesh \"surface\" primitive 0: its POSITION holds a number that is not finite");
    broken(
        "no such accessor",
        [](test::GltfBuilder& b) { b.doc["meshes"][0]["primitives"][0]["indices"] = 42; },
        "primitive indices accessor out of bounds");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFile(dir.file("in.glb"), c.bytes);
        expectRefused(dir.file("in.glb"), dir.file("out.glb"),
                      "ERROR : Can't read [" + dir.file("in.glb") + "]: " + c.why);
    }
    test::writeFile(dir.file("in.gltf"), "{\"asset\": {\"version\": \"2.0\"},");
    expectRefused(dir.file("in.gltf"), dir.file("out.glb"),
                  "ERROR : Can't read [" + dir.file("in.gltf") + "]: its JSON does not parse: ");
    test::gltfOf(test::splitTriangles(test::readFile(test::dataFile("single_triangle.obj"))))
        .writeGltf(dir.file("in.gltf"), "in.bin");
    std::remove(dir.file("in.bin").c_str());
    expectRefused(dir.file("in.gltf"), dir.file("out.glb"),
                  "ERROR : Can't read [" + dir.file("in.gltf") + "]: File not found : in.bin");
}

TEST(GltfFormatTest, RequiredExtensionsAreHonouredOrRefusedByName) {
    test::TempDir dir;
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"KHR_draco_mesh_compression",
         "it requires KHR_draco_mesh_compression (compressed geometry), "
         "which Faceloom does not read: write it uncompressed"},
        {"EXT_meshopt_compression",
         "it requires EXT_meshopt_compression (compressed geometry), "
         "which Faceloom does not read: write it uncompressed"},
        {"EXT_unheard_of",
         "it requires the extension EXT_unheard_of, which Faceloom does not know"}};
    for (const auto& [extension, why] : refused) {
        test::GltfBuilder b =
            test::gltfOf(test::splitTriangles(test::readFile(test::dataFile("single_quad.obj"))));
        b.doc["extensionsUsed"] = b.doc["extensionsRequired"] = {extension};
        b.writeGlb(dir.file("in.glb"));
        expectRefused(dir.file("in.glb"), dir.file("out.gltf"),
                      "ERROR : Can't read [" + dir.file("in.glb") + "]: " + why);
        EXPECT_FALSE(test::fileExists(dir.file("out.bin")));
    }
    // One that changes nothing the tool touches is carried, still required.
    test::GltfBuilder b =
        test::gltfOf(test::splitTriangles(test::readFile(test::dataFile("single_quad.obj"))));
    b.doc["extensionsUsed"] = b.doc["extensionsRequired"] = {"KHR_texture_transform"};
    b.writeGlb(dir.file("in.glb"));
    refine({"1", dir.file("in.glb"), dir.file("out.glb")});
    EXPECT_EQ(test::readBack(dir.file("out.glb")).doc["extensionsRequired"],
              b.doc["extensionsRequired"]);
}

TEST(GltfFormatTest, WhatCantBeCarriedIsWrittenUnrefinedAndSaid) {
    test::TempDir dir;
    test::GltfBuilder b =
        test::gltfOf(test::splitTriangles(test::readFile(test::dataFile("single_quad.obj"))));
    const std::size_t n = b.doc["accessors"][0]["count"].get<std::size_t>();
    const std::vector<std::uint32_t> joints(4 * n, 0);
    const std::vector<float> weights(4 * n, 0.25f), moved(3 * n, 0.5f);
    Json& primitive = b.doc["meshes"][0]["primitives"][0];
    primitive["attributes"]["JOINTS_0"] =
        b.accessor(b.view(joints.data(), joints.size()), test::kUnsignedByte, n, "VEC4");
    primitive["attributes"]["WEIGHTS_0"] =
        b.accessor(b.view(weights.data(), weights.size() * 4), test::kFloat, n, "VEC4");
    primitive["targets"] = {{{"POSITION", b.floats(moved, "VEC3")}}};
    b.writeGlb(dir.file("in.glb"));
    const std::string out = refine({"1", dir.file("in.glb"), dir.file("out.glb")});
    EXPECT_EQ(out, "Warning : [" + dir.file("in.glb") +
                       "] mesh \"surface\" primitive 0 has JOINTS_0, "
                       "WEIGHTS_0 and morph targets, which the refinement can't carry: written as "
                       "it was, unrefined\n");
    const test::ReadBack written = test::readBack(dir.file("out.glb"));
    EXPECT_EQ(written.doc["meshes"], b.doc["meshes"]);
    EXPECT_EQ(written.doc["accessors"], b.doc["accessors"]);
    // An OBJ file holds none of it anyway: the surface is refined, and that is said.
    const std::string obj = refine({"1", dir.file("in.glb"), dir.file("out.obj")});
    EXPECT_NE(
        obj.find("has JOINTS_0, WEIGHTS_0 and morph targets, which OBJ can't hold: left out\n"),
        std::string::npos)
        << obj;
    EXPECT_EQ(test::parseObj(test::readFile(dir.file("out.obj"))).f.size(), 6u);
}

TEST(GltfFormatTest, IndicesAre16BitWhereTheVerticesAllow) {
    test::TempDir dir;
    // A grid of 110 x 110 quads as triangles: one step makes more than 65535 vertices.
    for (const int side : {4, 110}) {
        std::vector<float> positions;
        std::vector<std::uint32_t> indices;
        for (int y = 0; y <= side; ++y) {
            for (int x = 0; x <= side; ++x) {
                positions.insert(positions.end(), {float(x), float(y), 0.0f});
            }
        }
        for (std::uint32_t y = 0; y < std::uint32_t(side); ++y) {
            for (std::uint32_t x = 0; x < std::uint32_t(side); ++x) {
                const std::uint32_t a = y * (side + 1) + x, c = a + side + 2;
                indices.insert(indices.end(), {a, a + 1, c, a, c, c - 1});
            }
        }
        test::GltfBuilder b;
        b.mesh(Json::array({{{"attributes", {{"POSITION", b.floats(positions, "VEC3")}}},
                             {"indices", b.indices(indices)}}}));
        b.writeGlb(dir.file("grid.glb"));
        refine({"1", dir.file("grid.glb"), dir.file("out.glb")});
        test::expectValidGltf(dir.file("out.glb"));
        const test::ReadBack written = test::readBack(dir.file("out.glb"));
        const Json& primitive = written.doc["meshes"][0]["primitives"][0];
        const Json& position =
            written.doc["accessors"][primitive["attributes"]["POSITION"].get<std::size_t>()];
        const Json& index = written.doc["accessors"][primitive["indices"].get<std::size_t>()];
        EXPECT_EQ(position["count"].get<std::size_t>() < 65535, side == 4);
        EXPECT_EQ(index["componentType"], side == 4 ? test::kUnsignedShort : test::kUnsignedInt);
        EXPECT_EQ(index["count"],
                  6 * 3 * indices.size() / 3);  // 3 quads a triangle, 2 triangles a quad
    }
}

TEST(GltfFormatTest, NormalsAreUnitAndPointOutOfTheSurface) {
    test::TempDir dir;
    for (const std::string& path : {test::cubeFile(), test::dataFile("cube_without_texture.obj")}) {
        refine({"2", path, dir.file("cube.glb")});
        const test::ReadBack written = test::readBack(dir.file("cube.glb"));
        const Json& attributes = written.doc["meshes"][0]["primitives"][0]["attributes"];
        const auto positions =
            test::accessorValues(written, attributes["POSITION"].get<std::size_t>());
        const auto normals = test::accessorValues(written, attributes["NORMAL"].get<std::size_t>());
        ASSERT_EQ(normals.size(), positions.size());
        for (std::size_t v = 0; v < normals.size(); ++v) {
            const auto& n = normals[v];
            const auto& p = positions[v];  // the cube is centred on the origin
            EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0, 1e-6);
            EXPECT_GT(n[0] * p[0] + n[1] * p[1] + n[2] * p[2],
                      0.5 * std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]))
                << path << " vertex " << v;
        }
    }
}

TEST(GltfFormatTest, ObjFromGltfHoldsTheSceneAsPlaced) {
    test::TempDir dir;
    test::GltfBuilder b =
        test::gltfOf(test::splitTriangles(test::readFile(test::cubeFile())));
    b.doc["nodes"][0]["name"] = "Here";
    b.doc["nodes"].push_back(
        {{"name", "There"}, {"mesh", 0}, {"translation", {10, 0, 0}}, {"scale", {-1, 1, 1}}});
    b.doc["scenes"][0]["nodes"].push_back(1);
    b.doc["materials"] = {{{"name", "Paint"}}};
    b.doc["meshes"][0]["primitives"][0]["material"] = 0;
    b.writeGlb(dir.file("in.glb"));
    refine({"1", dir.file("in.glb"), dir.file("out.obj")});
    const test::ObjFile obj = test::parseObj(test::readFile(dir.file("out.obj")));
    ASSERT_TRUE(obj.wellFormed());
    ASSERT_EQ(obj.f.size(), 72u);
    for (std::size_t f = 0; f < obj.f.size(); ++f) {
        const bool there = f >= 36;
        EXPECT_EQ(obj.facetObject[f], there ? "There" : "Here");
        EXPECT_EQ(obj.facetMaterial[f], "Paint");
        // Every facet faces away from its cube's centre, the mirrored cube's too.
        std::array<double, 3> centre{}, normal{};
        const auto& c = obj.f[f];
        for (std::size_t k = 0; k < 4; ++k) {
            const auto& p = obj.v[c[k].p - 1];
            const auto& q = obj.v[c[(k + 1) % 4].p - 1];
            normal = {normal[0] + p[1] * q[2] - p[2] * q[1], normal[1] + p[2] * q[0] - p[0] * q[2],
                      normal[2] + p[0] * q[1] - p[1] * q[0]};
            for (int i = 0; i < 3; ++i) {
                centre[i] += p[i] / 4;
            }
        }
        centre[0] -= there ? 10 : 0;
        EXPECT_GT(normal[0] * centre[0] + normal[1] * centre[1] + normal[2] * centre[2], 0) << f;
    }
}

TEST(GltfFormatTest, AFailedWriteLeavesNoFile) {
    test::TempDir dir;
    test::writeFile(dir.file("in.glb"), cubeGlb());
    const test::RunResult r =
        test::runTool({"1", dir.file("in.glb"), dir.file("missing/out.gltf")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR : Can't write to [" + dir.file("missing/out.bin") +
                         "]: No such file or directory\n");
    // A .glb over a directory: nothing of it is left beside.
    ::mkdir(dir.file("taken.glb").c_str(), 0755);
    const test::RunResult taken = test::runTool({"1", dir.file("in.glb"), dir.file("taken.glb")});
    EXPECT_EQ(taken.status, 1);
    EXPECT_EQ(taken.err.rfind("ERROR : Can't write to [" + dir.file("taken.glb") + "]: ", 0), 0u)
        << taken.err;
    const test::RunResult list = test::runProgram({"ls", "-A", dir.path()});
    EXPECT_EQ(list.out, "in.glb\ntaken.glb\n");
}

TEST(GltfFormatTest, ObjMaterialsBecomeGltfMaterials) {
    test::TempDir dir;
    ::mkdir(dir.file("tex").c_str(), 0755);
    ::mkdir(dir.file("out").c_str(), 0755);
    test::writeFile(dir.file("tex/grain map.png"),
                    std::string(reinterpret_cast<const char*>(kPng), sizeof kPng));
    test::writeFile(dir.file("cube.mtl"),
                    "newmtl wood\nKd 0.5 0.25 0\nmap_Kd -s 2 2 1 -clamp on tex/grain map.png\n"
                    "newmtl glass\nKd 0 0 1\nd 0.25\n");
    std::string obj = "mtllib cube.mtl\n";
    int face = 0;
    for (const std::string& line :
         test::splitLines(test::readFile(test::cubeFile()))) {
        if (line.rfind("f ", 0) == 0) {
            obj += face++ < 2 ? "usemtl glass\n" : "usemtl wood\n";
        }
        obj += line + "\n";
    }
    test::writeFile(dir.file("cube.obj"), obj);
    refine({"1", dir.file("cube.obj"), dir.file("out/cube.glb")});
    test::expectValidGltf(dir.file("out/cube.glb"));
    const Json doc = test::readBack(dir.file("out/cube.glb")).doc;
    ASSERT_EQ(doc["meshes"][0]["primitives"].size(), 2u);
    EXPECT_EQ(doc["materials"][0]["name"], "glass");
    EXPECT_EQ(doc["materials"][0]["alphaMode"], "BLEND");
    EXPECT_EQ(doc["materials"][0]["pbrMetallicRoughness"]["baseColorFactor"],
              Json({0, 0, 1, 0.25}));
    EXPECT_EQ(doc["materials"][1]["pbrMetallicRoughness"]["baseColorFactor"],
              Json({0.5, 0.25, 0, 1}));
    EXPECT_EQ(doc["materials"][1]["pbrMetallicRoughness"]["metallicFactor"], 0);
    EXPECT_EQ(doc["images"], Json::array({{{"uri", "../tex/grain%20map.png"}}}));
    // Two faces of glass, four of wood; each primitive has the vertices it uses only
    // (the glass's two joined quads refine to a grid of 3 x 5).
    for (std::size_t p = 0; p < 2; ++p) {
        const Json& primitive = doc["meshes"][0]["primitives"][p];
        EXPECT_EQ(primitive["material"], p);
        EXPECT_EQ(doc["accessors"][primitive["indices"].get<std::size_t>()]["count"],
                  (p == 0 ? 2 : 4) * 4 * 6);
        EXPECT_EQ(doc["accessors"][primitive["attributes"]["POSITION"].get<std::size_t>()]["count"],
                  p == 0 ? 15 : 34);
    }
}

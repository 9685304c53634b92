// glTF in and out, through the real binary: every pair of formats gives the surface an
// OBJ file of the same triangles gives, however the glTF file encodes them; documents
// are carried through; what can't be refined or read is said, never dropped silently.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "ObjLoader.h"
#include "support/GltfFile.h"
#include "support/ObjFile.h"
#include "support/TestSupport.h"

namespace {

using test::Json;

const double kTolerance = 1e-5;  // of the size of the surface

// Runs the tool and expects it to succeed.
std::string refine(const std::vector<std::string>& args) {
    const test::RunResult r = test::runTool(args);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    return r.out;
}

test::Triangles trianglesOf(const std::string& path) {
    return test::splitTriangles(test::readFile(path));
}

// The smallest PNG: one transparent pixel.
const std::string kPng(
    "\x89\x50\x4E\x47\x0D\x0A\x1A\x0A\x00\x00\x00\x0D\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00"
    "\x00\x01\x08\x06\x00\x00\x00\x1F\x15\xC4\x89\x00\x00\x00\x0A\x49\x44\x41\x54\x78\x9C\x63"
    "\x00\x01\x00\x00\x05\x00\x01\x0D\x0A\x2D\xB4\x00\x00\x00\x00\x49\x45\x4E\x44\xAE\x42\x60\x82",
    67);

void expectSaid(const std::string& out, const std::string& text) {
    EXPECT_NE(out.find(text), std::string::npos) << out;
}

// Expects the run to fail before writing: its one-line message, no output, the file
// that was there kept.
void expectRefused(const std::string& input, const std::string& output,
                   const std::string& message) {
    test::writeFile(output, "what was there");
    const test::RunResult r = test::runTool({"1", input, output});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.substr(0, message.size()), message) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(r.out.find("Begin"), std::string::npos) << r.out;
    EXPECT_EQ(test::readFile(output), "what was there");
}

// The warning lines of a run's output, `input` in them named "[input]".
std::string warningsOf(const std::string& out, const std::string& input) {
    std::string warnings;
    for (std::string line : test::splitLines(out)) {
        const auto at = line.find(input);
        if (line.rfind("Warning", 0) == 0) {
            warnings +=
                (at > line.size() ? line : line.replace(at, input.size(), "[input]")) + "\n";
        }
    }
    return warnings;
}

}  // namespace

TEST(GltfFormatTest, EveryPairOfFormatsRefinesTheSameSurfaceAsObj) {
    test::TempDir dir;
    // Seams, islands, boundaries and repairs of every kind, and a real exporter's file.
    // (Not seams with the same uvs on both sides: to glTF, one vertex per position and
    // uv, such a seam is none.)
    const std::string islands = test::dataFile("three_islands_meet_at_a_vertex.obj");
    std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
        {test::cubeFile(), {}},
        {test::exampleFile("vase.obj"), {}},
        {islands, {"--uv-smooth=keep-boundaries", "--boundary-smooth=keep-corners"}},
        {islands, {"--uv-smooth=keep-corners-junctions"}},
        {islands, {"--uv-smooth=none"}}};
    for (const char* name : {"torus_two_seams.obj", "open_cylinder_with_seam.obj",
                             "islands_touching_at_one_corner.obj", "mirrored_texture_strip.obj",
                             "cube_without_texture.obj", "edge_shared_by_three_faces.obj"}) {
        runs.push_back({test::dataFile(name), {}});
    }
    // Each input is named for another format, as it is read for what it is: the OBJ
    // text, the glTF binary and the glTF JSON with its .bin.
    const std::string obj = dir.file("obj.gltf"), glb = dir.file("glb.obj"),
                      json = dir.file("json.glb");
    std::string warnings;
    for (const auto& [path, options] : runs) {
        SCOPED_TRACE(path);
        const test::Triangles t = trianglesOf(path);
        test::writeFile(obj, t.obj);
        test::writeFile(glb, test::gltfOf(t).glb());
        test::gltfOf(t).writeGltf(json, "json.bin");
        const auto run = [&, &options = options](const std::string& in, const char* out) {
            std::vector<std::string> args = options;
            args.insert(args.end(), {"1", in, dir.file(out)});
            return refine(args);
        };
        const std::string objSaid = run(obj, "a.obj"), gltfSaid = run(json, "b.OBJ");
        // glTF -> OBJ: every split vertex welded, every seam kept, every repair said alike.
        const std::string expected = test::readFile(dir.file("a.obj"));
        test::expectSameSurface(expected, test::readFile(dir.file("b.OBJ")), kTolerance);
        warnings += warningsOf(objSaid, "[" + obj + "]");
        EXPECT_EQ(warningsOf(gltfSaid, "[" + json + " mesh \"surface\" primitive 0]"),
                  warningsOf(objSaid, "[" + obj + "]"));
        // OBJ -> glTF and glTF -> glTF, read back without the tool.
        run(obj, "c.glb");
        run(glb, "d.GLTF");
        for (const char* out : {"c.glb", "d.GLTF"}) {
            test::expectValidGltf(dir.file(out));
            test::expectSameSurface(expected, test::objOfWrittenGltf(dir.file(out)), kTolerance);
        }
    }
    expectSaid(warnings,
               "Warning : Parted the faces at 1 edges shared by three or more faces of "
               "[input] to build its surface\n");
}

namespace {

// The plain file of the triangles, and three variants that between them use every other
// encoding glTF has for them.
std::vector<test::GltfBuilder> encodings(const test::Triangles& t) {
    const std::size_t n = t.positions.size() / 3;
    const Json box = {{"min", {-1, -1, -1}}, {"max", {1, 1, 1}}};
    std::vector<test::GltfBuilder> files(4, test::gltfOf(t));
    const auto primitive = [&](std::size_t i) -> Json& {
        return files[i].doc["meshes"][0]["primitives"][0];
    };
    // 8-bit indices, normalized 16-bit uvs, positions all a sparse substitution.
    test::GltfBuilder& a = files[1];
    std::vector<std::uint16_t> uvs;
    for (float uv : t.uvs) {
        uvs.push_back(static_cast<std::uint16_t>(std::lround(uv * 65535.0f)));
    }
    primitive(1)["indices"] = a.indices(t.indices, test::kUnsignedByte);
    primitive(1)["attributes"]["TEXCOORD_0"] =
        a.accessor(a.view(uvs.data(), uvs.size() * 2), test::kUnsignedShort, n, "VEC2",
                   {{"normalized", true}});
    std::vector<std::uint32_t> all(n);
    std::iota(all.begin(), all.end(), 0u);
    Json sparse = {{"componentType", test::kFloat}, {"count", n}, {"type", "VEC3"}};
    sparse["sparse"] = {
        {"count", n},
        {"indices",
         {{"bufferView", a.view(all.data(), n * 4)}, {"componentType", test::kUnsignedInt}}},
        {"values", {{"bufferView", a.view(t.positions.data(), n * 12)}}}};
    sparse.update(box);
    a.doc["accessors"].push_back(sparse);
    primitive(1)["attributes"]["POSITION"] = a.doc["accessors"].size() - 1;
    // 16-bit indices, positions quantized to shorts, each element padded to 8 bytes.
    test::GltfBuilder& b = files[2];
    std::vector<std::int16_t> xyz;
    for (std::size_t i = 0; i < t.positions.size(); i += 3) {  // the cube's corners are at ±1
        xyz.insert(xyz.end(), {std::int16_t(t.positions[i]), std::int16_t(t.positions[i + 1]),
                               std::int16_t(t.positions[i + 2]), 0});
    }
    primitive(2)["indices"] = b.indices(t.indices, test::kUnsignedShort);
    primitive(2)["attributes"]["POSITION"] = b.accessor(
        b.view(xyz.data(), xyz.size() * 2, {{"byteStride", 8}}), test::kShort, n, "VEC3", box);
    b.doc["extensionsUsed"] = b.doc["extensionsRequired"] = {"KHR_mesh_quantization"};
    // No indices, positions and uvs interleaved.
    test::GltfBuilder& c = files[3];
    std::vector<float> both;
    for (std::size_t v = 0; v < n; ++v) {
        both.insert(both.end(), &t.positions[3 * v], &t.positions[3 * v + 3]);
        both.insert(both.end(), &t.uvs[2 * v], &t.uvs[2 * v + 2]);
    }
    const std::size_t view = c.view(both.data(), both.size() * 4, {{"byteStride", 20}});
    primitive(3).erase("indices");
    primitive(3)["attributes"] = {
        {"POSITION", c.accessor(view, test::kFloat, n, "VEC3", box)},
        {"TEXCOORD_0", c.accessor(view, test::kFloat, n, "VEC2", {{"byteOffset", 12}})}};
    return files;
}

}  // namespace

TEST(GltfFormatTest, EveryEncodingOfTheTrianglesReadsAsTheSameMesh) {
    test::TempDir dir;
    test::Triangles t = trianglesOf(test::cubeFile());
    for (float& uv : t.uvs) {  // as 16-bit normalized numbers hold them exactly
        uv = static_cast<float>(std::lround(uv * 65535.0f)) / 65535.0f;
    }
    const std::vector<test::GltfBuilder> files = encodings(t);
    std::string expected;
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        test::writeFile(dir.file("in.glb"), files[i].glb());
        refine({"2", dir.file("in.glb"), dir.file("out.obj")});
        expected = i == 0 ? test::readFile(dir.file("out.obj")) : expected;
        test::expectSameSurface(expected, test::readFile(dir.file("out.obj")), 0);
        // Quantized positions become floats: the output needs the extension no more.
        refine({"1", dir.file("in.glb"), dir.file("out.glb")});
        EXPECT_FALSE(test::readBack(dir.file("out.glb")).doc.contains("extensionsRequired"));
    }
}

TEST(GltfFormatTest, StripsAndFansAreTheirTriangles) {
    test::TempDir dir;
    // A pentagon as a fan, and two quads as a strip whose second run is joined to the
    // first by repeated vertices, as exporters do: the triangles that makes are no faces.
    const std::string strip =
        "v 0 0 0\nv 0 1 0\nv 1 0 0\nv 1 1 0\nv 2 0 0\nv 2 1 0\n"
        "vt 0 0\nvt 0 1\nvt 0.5 0\nvt 0.5 1\nvt 1 0\nvt 1 1\n"
        "f 1/1 2/2 3/3\nf 3/3 2/2 4/4\nf 3/3 4/4 5/5\nf 5/5 4/4 6/6\n";
    const std::vector<std::tuple<std::string, int, std::vector<std::uint32_t>>> cases = {
        {test::readFile(test::dataFile("pentagon.obj")), 6, {0, 1, 2, 3, 4}},
        {strip, 5, {0, 1, 2, 3, 3, 2, 2, 3, 4, 5}}};
    for (const auto& [text, mode, drawn] : cases) {
        SCOPED_TRACE(mode);
        // Each vertex is the position and uv of one index, as in both files.
        const faceloom::ObjMesh mesh = faceloom::parseObj(text);
        test::Triangles vertices{{}, {}, drawn, ""};
        for (std::size_t v = 0; v < mesh.positions.size(); ++v) {
            const auto& p = mesh.positions[v];
            vertices.positions.insert(vertices.positions.end(), {p.x, p.y, p.z});
            vertices.uvs.insert(vertices.uvs.end(), {mesh.uvs[v].x, 1.0f - mesh.uvs[v].y});
        }
        test::GltfBuilder b = test::gltfOf(vertices);
        b.doc["meshes"][0]["primitives"][0]["mode"] = mode;
        test::writeFile(dir.file("drawn.glb"), b.glb());
        test::writeFile(dir.file("listed.obj"), test::splitTriangles(text).obj);
        refine({"2", dir.file("listed.obj"), dir.file("a.obj")});
        // Wound alike, as the list is: nothing to turn.
        const std::string out = refine({"2", dir.file("drawn.glb"), dir.file("b.obj")});
        EXPECT_EQ(out.find("Warning"), std::string::npos) << out;
        test::expectSameSurface(test::readFile(dir.file("a.obj")),
                                test::readFile(dir.file("b.obj")), kTolerance);
    }
}

namespace {

// A scene of a textured body, a wire of lines and a painted, morphing part, under a
// node hierarchy with an animation, a camera, materials with extensions and extras,
// an embedded and an external image.
test::GltfBuilder sceneDocument() {
    test::GltfBuilder b = test::gltfOf(trianglesOf(test::cubeFile()));
    b.doc["meshes"][0]["name"] = "Body";
    b.doc["meshes"][0]["primitives"][0]["material"] = 0;
    b.doc["nodes"][0].update(
        {{"name", "Body"}, {"rotation", {0, 0.7071068, 0, 0.7071068}}, {"extras", {{"tag", 7}}}});
    const std::vector<float> wire = {0, 0, 0, 1, 0, 0, 1, 1, 0},
                             colours = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    b.mesh({{{"attributes", {{"POSITION", b.floats(wire, "VEC3")}}}, {"mode", 3}}}, "Wire");
    b.mesh({{{"attributes",
              {{"POSITION", b.floats(wire, "VEC3")}, {"COLOR_0", b.floats(colours, "VEC3")}}},
             {"targets", {{{"POSITION", b.floats(colours, "VEC3")}}}}}},
           "Painted", {{"translation", {3, 0, 0}}});
    const std::vector<float> times = {0, 1}, places = {0, 0, 0, 0, 2, 0};
    const Json sampler = {
        {"input", b.accessor(b.view(times.data(), 8), test::kFloat, 2, "SCALAR",
                             {{"min", {0}}, {"max", {1}}})},
        {"output", b.accessor(b.view(places.data(), 24), test::kFloat, 2, "VEC3")}};
    const Json channel = {{"sampler", 0}, {"target", {{"node", 2}, {"path", "translation"}}}};
    b.doc["animations"] = {{{"samplers", {sampler}}, {"channels", {channel}}}};
    b.doc["nodes"].push_back({{"name", "Eye"}, {"camera", 0}, {"children", {0, 1}}});
    b.doc["scenes"][0]["nodes"] = {3, 2};
    b.doc["images"] = {
        {{"bufferView", b.view(kPng.data(), kPng.size())}, {"mimeType", "image/png"}},
        {{"uri", "tex/a%20b.png"}}};
    b.doc.update(Json::parse(R"({
      "cameras": [{"type": "perspective", "perspective": {"yfov": 0.8, "znear": 0.1}}],
      "samplers": [{"magFilter": 9729}],
      "textures": [{"sampler": 0, "source": 0}, {"source": 1}],
      "materials": [{"name": "Skin", "emissiveTexture": {"index": 1}, "emissiveFactor": [1, 1, 1],
        "pbrMetallicRoughness": {"baseColorTexture":
          {"index": 0, "extensions": {"KHR_texture_transform": {"scale": [2, 2]}}}},
        "extensions": {"KHR_materials_emissive_strength": {"emissiveStrength": 2}},
        "extras": {"painter": "someone"}}],
      "extensionsUsed": ["KHR_materials_emissive_strength", "KHR_texture_transform"],
      "extensionsRequired": ["KHR_texture_transform"]})"));
    return b;
}

}  // namespace

TEST(GltfFormatTest, TheDocumentIsCarriedThroughAroundTheRefinedPrimitives) {
    test::TempDir dir;
    const test::GltfBuilder input = sceneDocument();
    const test::ReadBack original{input.doc, input.bin};
    ::mkdir(dir.file("tex").c_str(), 0755);
    ::mkdir(dir.file("out").c_str(), 0755);
    test::writeFile(dir.file("tex/a b.png"), kPng);
    test::writeFile(dir.file("scene.glb"), input.glb());
    const std::string where = "Warning : [" + dir.file("scene.glb") + "] mesh ";
    for (const char* output : {"out/scene.glb", "scene_out.gltf"}) {
        SCOPED_TRACE(output);
        const std::string out = refine({"1", dir.file("scene.glb"), dir.file(output)});
        expectSaid(out, where + "\"Wire\" primitive 0: it draws lines: written as it was\n");
        expectSaid(out, where +
                            "\"Painted\" primitive 0 has COLOR_0 and morph targets, which the "
                            "refinement can't carry: written as it was, unrefined\n");
        test::expectValidGltf(dir.file(output));
        const test::ReadBack written = test::readBack(dir.file(output));
        const Json& doc = written.doc;
        for (const char* part : {"asset", "scene", "scenes", "nodes", "cameras", "materials",
                                 "textures", "samplers", "extensionsUsed", "extensionsRequired"}) {
            EXPECT_EQ(doc[part], input.doc[part]) << part;
        }
        // The embedded image's bytes, the external one named from the output's directory.
        const Json& view = doc["bufferViews"][doc["images"][0]["bufferView"].get<std::size_t>()];
        EXPECT_EQ(written.bin.substr(view["byteOffset"], view["byteLength"]), kPng);
        EXPECT_EQ(doc["images"][1]["uri"], output[0] == 'o' ? "../tex/a%20b.png" : "tex/a%20b.png");
        // The animation and the unrefined primitives read what they read before.
        const auto same = [&](const Json& before, const Json& after) {
            EXPECT_EQ(test::accessorValues(original, before), test::accessorValues(written, after));
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
        same(input.doc["meshes"][2]["primitives"][0]["targets"][0]["POSITION"],
             doc["meshes"][2]["primitives"][0]["targets"][0]["POSITION"]);
        // The body refined in place: its material kept, nothing left of its old data.
        const Json& body = doc["meshes"][0]["primitives"][0];
        EXPECT_EQ(body["material"], 0);
        EXPECT_EQ(body["attributes"].size(), 3u);
        EXPECT_EQ(doc["accessors"].size(), input.doc["accessors"].size() - 3 + 4);
    }
    // An OBJ file holds none of it anyway: what has a surface is refined, and that is said.
    const std::string out = refine({"1", dir.file("scene.glb"), dir.file("out.obj")});
    expectSaid(out, where +
                        "\"Painted\" primitive 0 has COLOR_0 and morph targets, which OBJ "
                        "can't hold: left out\n");
    EXPECT_EQ(test::parseObj(test::readFile(dir.file("out.obj"))).f.size(), 36u + 3u);
}

// A primitive without POSITION has no surface to refine: it is kept as it was, and
// that is said. (assimp refuses such a file, so it is only read back here.)
TEST(GltfFormatTest, APrimitiveWithoutPositionsIsKeptAsItWas) {
    test::TempDir dir;
    test::GltfBuilder bare = sceneDocument();
    const std::vector<float> up = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    bare.doc["meshes"][1]["primitives"].push_back(
        {{"attributes", {{"NORMAL", bare.floats(up, "VEC3")}}}});
    test::writeFile(dir.file("bare.glb"), bare.glb());
    expectSaid(refine({"1", dir.file("bare.glb"), dir.file("bare_out.glb")}),
               "Warning : [" + dir.file("bare.glb") +
                   "] mesh \"Wire\" primitive 1: it has no POSITION: written as it was\n");
    const Json kept = test::readBack(dir.file("bare_out.glb")).doc["meshes"][1]["primitives"];
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[1]["attributes"].size(), 1u);
    EXPECT_TRUE(kept[1]["attributes"].contains("NORMAL"));
}

namespace {

// Files that are no sound glTF binary, each with the start of the reason it is refused:
// `good` broken in its chunks, and `triangle`'s document changed.
std::vector<std::pair<std::string, std::string>> brokenGlbs(const test::GltfBuilder& triangle) {
    const std::string good = triangle.glb();
    const auto patched = [&](std::size_t at, std::size_t value) {
        std::string bytes = good;
        const auto v = static_cast<std::uint32_t>(value);
        bytes.replace(at, 4, reinterpret_cast<const char*>(&v), 4);
        return bytes;
    };
    const auto changed = [&](const std::function<void(test::GltfBuilder&)>& change) {
        test::GltfBuilder b = triangle;
        change(b);
        return b.glb();
    };
    std::uint32_t jsonLength = 0;
    std::memcpy(&jsonLength, &good[12], 4);
    const std::string primitive = "mesh \"surface\" primitive 0";
    return {
        {good.substr(0, 100), "it is cut short: its header gives " + std::to_string(good.size()) +
                                  " bytes, the file has 100"},
        {patched(12, jsonLength + 4000), "its JSON chunk's length"},
        {patched(20 + jsonLength, good.size()), "its BIN chunk's length"},
        {patched(4, 1), "it is a glTF binary of version 1, and only version 2 is read"},
        {std::string("\x01\x02\x03 binary", 10), "it is neither a glTF binary"},
        {"", "it is neither a glTF binary"},
        {"{\"asset\": {\"version\": \"2.0\"},", "its JSON does not parse: "},
        {changed([](auto& b) { b.doc["accessors"][0]["count"] = 999; }),
         primitive + ": accessor 0 (buffer view 0): its 999 elements run past the end of the view"},
        {changed([](auto& b) { b.doc["bufferViews"][1]["byteOffset"] = 4000; }),
         primitive + ": accessor 1 (buffer view 1) runs past the end of its buffer"},
        {changed([](auto& b) { b.bin[b.bin.size() - 4] = 99; }),
         primitive + ": its indices name vertex 99 of 3"},
        {changed([](auto& b) { b.bin.replace(0, 4, "\x00\x00\xc0\x7f", 4); }),
         primitive + ": its POSITION holds a number that is not finite"},
        {changed([](auto& b) { b.doc["meshes"][0]["primitives"][0]["indices"] = 42; }),
         "primitive indices accessor out of bounds"},
        {changed([](auto& b) { b.doc["extensionsRequired"] = {"KHR_draco_mesh_compression"}; }),
         "it requires KHR_draco_mesh_compression (compressed geometry), which Faceloom does not "
         "read: write it uncompressed"},
        {changed([](auto& b) { b.doc["extensionsRequired"] = {"EXT_meshopt_compression"}; }),
         "it requires EXT_meshopt_compression (compressed geometry)"},
        {changed([](auto& b) { b.doc["extensionsRequired"] = {"EXT_unheard_of"}; }),
         "it requires the extension EXT_unheard_of, which Faceloom does not know"}};
}

}  // namespace

TEST(GltfFormatTest, WhatCantBeReadIsRefusedBeforeAnyWork) {
    test::TempDir dir;
    for (const char* name : {"out.stl", "out", "out.obj.bak"}) {
        expectRefused(dir.file("missing.obj"), dir.file(name),
                      "ERROR : Can't tell what to write to [" + dir.file(name) +
                          "]: its extension names no format Faceloom writes: .obj (Wavefront "
                          "OBJ), .gltf (glTF, its data in a .bin file beside it) or .glb (glTF "
                          "binary)\n");
    }
    const test::GltfBuilder triangle =
        test::gltfOf(trianglesOf(test::dataFile("single_triangle.obj")));
    for (const auto& [bytes, why] : brokenGlbs(triangle)) {
        SCOPED_TRACE(why);
        test::writeFile(dir.file("in.glb"), bytes);
        expectRefused(dir.file("in.glb"), dir.file("out.gltf"),
                      "ERROR : Can't read [" + dir.file("in.glb") + "]: " + why);
        EXPECT_FALSE(test::fileExists(dir.file("out.bin")));
    }
    triangle.writeGltf(dir.file("in.gltf"), "in.bin");
    std::remove(dir.file("in.bin").c_str());
    expectRefused(dir.file("in.gltf"), dir.file("out.glb"),
                  "ERROR : Can't read [" + dir.file("in.gltf") + "]: File not found : in.bin");
}

TEST(GltfFormatTest, AFailedWriteLeavesNoFile) {
    test::TempDir dir;
    test::writeFile(dir.file("in.glb"), test::gltfOf(trianglesOf(test::cubeFile())).glb());
    const test::RunResult r = test::runTool({"1", dir.file("in.glb"), dir.file("no/out.gltf")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR : Can't write to [" + dir.file("no/out.bin") +
                         "]: No such file or directory\n");
    // A .glb over a directory: nothing of it is left beside.
    ::mkdir(dir.file("taken.glb").c_str(), 0755);
    const test::RunResult taken = test::runTool({"1", dir.file("in.glb"), dir.file("taken.glb")});
    EXPECT_EQ(taken.status, 1);
    EXPECT_EQ(taken.err.rfind("ERROR : Can't write to [" + dir.file("taken.glb") + "]: ", 0), 0u)
        << taken.err;
    EXPECT_EQ(test::runProgram({"ls", "-A", dir.path()}).out, "in.glb\ntaken.glb\n");
}

TEST(GltfFormatTest, IndicesAre16BitWhereTheVerticesAllow) {
    test::TempDir dir;
    // 110 x 110 quads as triangles: one step makes more than 65535 vertices.
    for (const int side : {4, 110}) {
        const test::Triangles grid = test::splitTriangles(test::quadGrid(side, false));
        test::writeFile(dir.file("grid.glb"), test::gltfOf(grid).glb());
        refine({"1", dir.file("grid.glb"), dir.file("out.glb")});
        test::expectValidGltf(dir.file("out.glb"));
        const Json doc = test::readBack(dir.file("out.glb")).doc;
        const Json& primitive = doc["meshes"][0]["primitives"][0];
        const Json& position = doc["accessors"][primitive["attributes"]["POSITION"].get<int>()];
        const Json& index = doc["accessors"][primitive["indices"].get<int>()];
        EXPECT_EQ(position["count"] < 65535, side == 4);
        EXPECT_EQ(index["componentType"], side == 4 ? test::kUnsignedShort : test::kUnsignedInt);
        EXPECT_EQ(index["count"], 6 * grid.indices.size());  // 3 quads a triangle, 6 indices a quad
    }
}

TEST(GltfFormatTest, ObjFromGltfHoldsTheSceneAsPlaced) {
    test::TempDir dir;
    test::GltfBuilder b = test::gltfOf(trianglesOf(test::cubeFile()));
    b.doc["nodes"][0]["name"] = "Here";
    b.doc["nodes"].push_back(
        {{"name", "There"}, {"mesh", 0}, {"translation", {10, 0, 0}}, {"scale", {-1, 1, 1}}});
    b.doc["scenes"][0]["nodes"].push_back(1);
    b.doc["materials"] = {{{"name", "Paint"}}};
    b.doc["meshes"][0]["primitives"][0]["material"] = 0;
    test::writeFile(dir.file("in.glb"), b.glb());
    refine({"1", dir.file("in.glb"), dir.file("out.obj")});
    const test::ObjFile obj = test::parseObj(test::readFile(dir.file("out.obj")));
    ASSERT_TRUE(obj.wellFormed());
    ASSERT_EQ(obj.f.size(), 72u);
    // Each cube where its node puts it, enclosing a positive volume, the mirrored one
    // too: its facets face out.
    std::map<std::string, double> volume, x;
    for (std::size_t f = 0; f < obj.f.size(); ++f) {
        EXPECT_EQ(obj.facetMaterial[f], "Paint");
        const std::string& object = obj.facetObject[f];
        const auto& p = obj.v[obj.f[f][0].p - 1];
        for (std::size_t k = 0; k < 4; ++k) {
            x[object] += obj.v[obj.f[f][k].p - 1][0] / (36 * 4);
        }
        for (std::size_t k = 1; k < 3; ++k) {
            const auto& q = obj.v[obj.f[f][k].p - 1];
            const auto& r = obj.v[obj.f[f][k + 1].p - 1];
            volume[object] += p[0] * (q[1] * r[2] - q[2] * r[1]) +
                              p[1] * (q[2] * r[0] - q[0] * r[2]) +
                              p[2] * (q[0] * r[1] - q[1] * r[0]);
        }
    }
    EXPECT_GT(volume["Here"], 0);
    EXPECT_GT(volume["There"], 0);
    EXPECT_NEAR(x["Here"], 0, 0.5);
    EXPECT_NEAR(x["There"], 10, 0.5);
}

TEST(GltfFormatTest, ObjMaterialsBecomeGltfMaterials) {
    test::TempDir dir;
    ::mkdir(dir.file("tex").c_str(), 0755);
    ::mkdir(dir.file("out").c_str(), 0755);
    test::writeFile(dir.file("tex/grain map.png"), kPng);
    test::writeFile(dir.file("cube.mtl"),
                    "newmtl wood\nKd 0.5 0.25 0\nmap_Kd -s 2 2 1 -clamp on tex/grain map.png\n"
                    "newmtl glass\nKd 0 0 1\nd 0.25\n");
    std::string obj = "mtllib cube.mtl\n";
    int face = 0;
    for (const std::string& line : test::splitLines(test::readFile(test::cubeFile()))) {
        obj += (line.rfind("f ", 0) == 0 ? face++ < 2 ? "usemtl glass\n" : "usemtl wood\n" : "") +
               line + "\n";
    }
    test::writeFile(dir.file("cube.obj"), obj);
    refine({"1", dir.file("cube.obj"), dir.file("out/cube.glb")});
    test::expectValidGltf(dir.file("out/cube.glb"));
    const test::ReadBack written = test::readBack(dir.file("out/cube.glb"));
    const Json& doc = written.doc;
    // Colour, opacity and texture from the library, never metal.
    EXPECT_EQ(nlohmann::json::parse(doc["materials"].dump()), nlohmann::json::parse(R"([
      {"name": "glass", "alphaMode": "BLEND",
       "pbrMetallicRoughness": {"metallicFactor": 0, "baseColorFactor": [0, 0, 1, 0.25]}},
      {"name": "wood", "pbrMetallicRoughness": {"metallicFactor": 0,
       "baseColorFactor": [0.5, 0.25, 0, 1], "baseColorTexture": {"index": 0}}}])"));
    EXPECT_EQ(doc["images"], Json::array({{{"uri", "../tex/grain%20map.png"}}}));
    // Two faces of glass, four of wood; each primitive has the vertices it uses only
    // (the glass's two joined quads refine to a grid of 3 x 5), their normals of unit
    // length and pointing out of the cube, which is centred on the origin.
    ASSERT_EQ(doc["meshes"][0]["primitives"].size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const Json& primitive = doc["meshes"][0]["primitives"][i];
        EXPECT_EQ(primitive["material"], i);
        EXPECT_EQ(doc["accessors"][primitive["indices"].get<int>()]["count"],
                  (i == 0 ? 2 : 4) * 24);
        const auto p = test::accessorValues(written, primitive["attributes"]["POSITION"]);
        const auto n = test::accessorValues(written, primitive["attributes"]["NORMAL"]);
        ASSERT_EQ(p.size(), i == 0 ? 15u : 34u);
        const auto dot = [](const auto& a, const auto& b) {
            return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
        };
        for (std::size_t v = 0; v < p.size(); ++v) {
            EXPECT_NEAR(dot(n[v], n[v]), 1, 1e-6);
            EXPECT_GT(dot(n[v], p[v]), 0.5 * std::sqrt(dot(p[v], p[v]))) << v;
        }
    }
}

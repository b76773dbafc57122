// Writes the seed corpora for the fuzz targets: small valid files and a few
// damaged ones that reach deep into each parser.
//
//   make-fuzz-seeds FUZZDIR     (writes FUZZDIR/corpus/<target>/...)

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/convert_files.h"
#include "io/file_bytes.h"
#include "tools/writers/archive_writers.h"
#include "tools/writers/byte_writer.h"
#include "tools/writers/lgt_writer.h"
#include "tools/writers/md2_writer.h"
#include "tools/writers/picture_writers.h"

namespace {

using namespace meshara::fixtures;
namespace fs = std::filesystem;

Md2Source Tetrahedron(int frames) {
    Md2Source s;
    s.skinWidth = 16;
    s.skinHeight = 16;
    s.texCoords = {{0, 0}, {16, 0}, {8, 16}};
    s.triangles = {{{0, 1, 2}, {0, 1, 2}}, {{0, 3, 1}, {0, 2, 1}}, {{1, 3, 2}, {1, 2, 0}}, {{2, 3, 0}, {2, 0, 1}}};
    for (int f = 0; f < frames; ++f) {
        Md2Source::Frame frame;
        frame.scale[0] = frame.scale[1] = frame.scale[2] = 0.5f + f;
        frame.vertices = {{0, 0, 0, 0}, {200, 0, 0, 1}, {0, 200, 0, 2}, {0, 0, static_cast<uint8_t>(200 - f), 3}};
        s.frames.push_back(frame);
    }
    return s;
}

// A glTF of the triangle in fuzz/convert_files.h, placed at the end of a
// chain of nodes, with a picture beside it when one is named.
std::vector<uint8_t> TriangleGltf(size_t chain, const std::string& picture, const std::string& rootExtras = "") {
    namespace ff = meshara::fuzzfiles;
    std::string nodes;
    for (size_t i = 0; i + 1 < chain; ++i) nodes += "{\"children\":[" + std::to_string(i + 1) + "]},";
    nodes += "{\"mesh\":0}";
    std::string json = "{\"asset\":{\"version\":\"2.0\"}," + rootExtras +
                       "\"buffers\":[{\"uri\":\"" + ff::kTriangle + "\",\"byteLength\":44}],"
                       "\"bufferViews\":[{\"buffer\":0,\"byteOffset\":0,\"byteLength\":36},{\"buffer\":0,\"byteOffset\":36,\"byteLength\":6}],"
                       "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":3,\"type\":\"VEC3\"},"
                       "{\"bufferView\":1,\"componentType\":5123,\"count\":3,\"type\":\"SCALAR\"}],"
                       "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1" +
                       (picture.empty() ? "" : ",\"material\":0") + "}]}],";
    if (!picture.empty())
        json += "\"images\":[{\"uri\":\"" + picture + "\"}],\"textures\":[{\"source\":0}],"
                "\"materials\":[{\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0}}}],";
    json += "\"nodes\":[" + nodes + "],\"scenes\":[{\"nodes\":[0]}],\"scene\":0}";
    return {json.begin(), json.end()};
}

bool Put(const fs::path& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    fs::create_directories(dir);
    if (meshara::WriteFileBytes((dir / name).string(), bytes)) return true;
    std::fprintf(stderr, "make-fuzz-seeds: cannot write %s\n", (dir / name).c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make-fuzz-seeds FUZZDIR\n", stderr);
        return 2;
    }
    const fs::path md2 = fs::path(argv[1]) / "corpus" / "md2";
    bool ok = Put(md2, "tetra-1frame.md2", WriteMd2(Tetrahedron(1)));
    ok = Put(md2, "tetra-3frames.md2", WriteMd2(Tetrahedron(3))) && ok;
    Md2Source noFrames = Tetrahedron(0);
    noFrames.vertexCount = 4;
    ok = Put(md2, "no-frames.md2", WriteMd2(noFrames)) && ok;
    auto badIndex = WriteMd2(Tetrahedron(2));
    PatchU16(badIndex, 68 + 3 * 4 + 2, 4);
    ok = Put(md2, "vertex-index-out-of-range.md2", badIndex) && ok;
    auto truncated = WriteMd2(Tetrahedron(2));
    truncated.resize(truncated.size() - 10);
    ok = Put(md2, "truncated.md2", truncated) && ok;
    auto huge = WriteMd2(Tetrahedron(1));
    PatchS32(huge, md2field::kFrameCount, 2000000000);
    ok = Put(md2, "two-billion-frames.md2", huge) && ok;

    const fs::path skin = fs::path(argv[1]) / "corpus" / "skin";
    IndexedPicture p;
    p.width = 7;
    p.height = 5;
    for (int i = 0; i < 16; ++i) p.palette.push_back({uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 5)});
    for (int i = 0; i < p.width * p.height; ++i) p.indices.push_back(static_cast<uint8_t>(i < 12 ? 3 : i % 16));
    ok = Put(skin, "small.pcx", WritePcx(p)) && ok;
    PcxOptions padded;
    padded.bytesPerLine = 10;
    padded.runsCrossLines = true;
    ok = Put(skin, "padded-cross-line.pcx", WritePcx(p, padded)) && ok;
    ok = Put(skin, "small-8bit.bmp", WriteBmp8(p)) && ok;
    BmpOptions rle;
    rle.rle8 = true;
    rle.infoHeaderSize = 124;
    ok = Put(skin, "small-rle8.bmp", WriteBmp8(p, rle)) && ok;
    ok = Put(skin, "small-24bit.bmp", WriteBmp24(ToRgb(p))) && ok;

    const fs::path lgt = fs::path(argv[1]) / "corpus" / "lgt";
    ok = Put(lgt, "new-light.lgt", WriteLgt(LgtSource{})) && ok;
    LgtSource named;
    named.name = std::string("Spot\0cut", 8);
    named.position[3] = 1;
    named.spotCutoff = 30;
    ok = Put(lgt, "zero-in-name.lgt", WriteLgt(named)) && ok;
    LgtSource empty;
    empty.name.clear();
    ok = Put(lgt, "empty-name.lgt", WriteLgt(empty)) && ok;

    // Archives: a model and its picture, a folder entry, a name in capitals.
    const std::vector<ArchiveFile> files = {{"models/t/tris.md2", WriteMd2(Tetrahedron(2))},
                                            {"models/t/skin.pcx", WritePcx(p)},
                                            {"models/", {}},
                                            {"SOUND/T.WAV", {1, 2, 3}}};
    const fs::path pak = fs::path(argv[1]) / "corpus" / "pak";
    ok = Put(pak, "four-entries.pak", WritePak(files)) && ok;
    ok = Put(pak, "empty.pak", WritePak({})) && ok;
    auto climbing = WritePak({{"models/../x.md2", {1}}});
    ok = Put(pak, "climbing-name.pak", climbing) && ok;
    auto past = WritePak(files);
    PatchS32(past, pakfield::RecordAt(past, 1) + 60, 1 << 20);
    ok = Put(pak, "entry-past-end.pak", past) && ok;
    const fs::path zip = fs::path(argv[1]) / "corpus" / "zip";
    ok = Put(zip, "deflated.zip", WriteZip(files)) && ok;
    ok = Put(zip, "stored.zip", WriteZip(files, {.deflate = false})) && ok;
    ok = Put(zip, "zip64-end.zip", WriteZip(files, {.zip64End = true})) && ok;
    ok = Put(zip, "empty.zip", WriteZip({})) && ok;
    std::vector<ArchiveFile> wrong = files;
    wrong[0].badChecksum = true;
    wrong[1].claimedSize = 5;
    ok = Put(zip, "wrong-checksum-and-size.zip", WriteZip(wrong)) && ok;
    ok = Put(zip, "claims-more.zip", WriteZip(files, {.claimedEntries = 7})) && ok;

    // glTF: external files from fuzz_convert's folder, a chain of nodes past
    // any recursion's reach, and nesting far past the bound.
    const fs::path convert = fs::path(argv[1]) / "corpus" / "convert";
    ok = Put(convert, "external-files.gltf", TriangleGltf(1, meshara::fuzzfiles::kPicture)) && ok;
    ok = Put(convert, "node-chain.gltf", TriangleGltf(20000, "")) && ok;
    const size_t deep = 15000;
    ok = Put(convert, "deep-nesting.gltf",
             TriangleGltf(1, "", "\"extras\":" + std::string(deep, '[') + std::string(deep, ']') + ",")) && ok;
    return ok ? 0 : 1;
}

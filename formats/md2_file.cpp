#include "formats/md2_file.h"
#include "formats/format_names.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "formats/path_input.h"
#include "io/byte_reader.h"
#include "io/file_bytes.h"

namespace meshara {

namespace {

struct Md2Header {
    int32_t version, skinWidth, skinHeight, frameSize, skinCount;
    int32_t vertexCount, texCoordCount, triangleCount, glCommandCount, frameCount;
    int32_t skinsOffset, texCoordOffset, trianglesOffset, framesOffset, glCommandsOffset, endOffset;
};

constexpr int64_t kTexCoordEntrySize = 4;
constexpr int64_t kTriangleEntrySize = 12;
constexpr int64_t kFrameHeadSize = 40;  // scale, translate, name
constexpr int64_t kVertexEntrySize = 4;
constexpr int64_t kSkinNameSize = 64;

// A name field: its bytes up to the first zero.
std::string FixedText(std::span<const uint8_t> field) {
    return std::string(field.begin(), std::find(field.begin(), field.end(), uint8_t{0}));
}

Failure Damaged(std::string detail) { return Failure{ErrorKind::Damaged, std::move(detail), format::kMd2}; }

std::string TableMessage(const char* table, int64_t offset, int64_t count, int64_t entrySize, uint64_t fileSize) {
    return std::string(table) + " table (" + std::to_string(count) + " x " + std::to_string(entrySize) +
           " bytes at offset " + std::to_string(offset) + ") does not fit in the " + std::to_string(fileSize) +
           "-byte file";
}

// The header, read and checked against a file of fileSize bytes: every
// table the model needs must lie inside it. Needs only the header's bytes,
// so a file that cannot hold its own tables is refused unread.
Result<Md2Header> CheckHeader(std::span<const uint8_t> bytes, uint64_t fileSize) {
    if (bytes.size() < 4 || !std::equal(kMd2Magic.begin(), kMd2Magic.end(), bytes.begin()))
        return Failure{ErrorKind::NotThisFormat, "the file does not start with \"IDP2\"", format::kMd2};
    if (bytes.size() < kMd2HeaderSize)
        return Damaged("header needs " + std::to_string(kMd2HeaderSize) + " bytes, the file has " +
                       std::to_string(bytes.size()));

    ByteReader r(bytes);
    r.Seek(4);
    Md2Header h{};
    for (int32_t* field : {&h.version, &h.skinWidth, &h.skinHeight, &h.frameSize, &h.skinCount, &h.vertexCount,
                           &h.texCoordCount, &h.triangleCount, &h.glCommandCount, &h.frameCount, &h.skinsOffset,
                           &h.texCoordOffset, &h.trianglesOffset, &h.framesOffset, &h.glCommandsOffset,
                           &h.endOffset})
        *field = r.S32();

    struct Count {
        const char* field;
        int32_t value;
    };
    for (const Count& c : {Count{"vertex count", h.vertexCount}, Count{"texture-coordinate count", h.texCoordCount},
                           Count{"triangle count", h.triangleCount}, Count{"frame count", h.frameCount}}) {
        if (c.value < 0) return Damaged(std::string(c.field) + " is negative (" + std::to_string(c.value) + ")");
    }

    // Every table must lie inside the file before anything is allocated, so
    // a header claiming billions of entries costs nothing.
    const int64_t frameBytes = kFrameHeadSize + kVertexEntrySize * int64_t{h.vertexCount};
    const size_t size = static_cast<size_t>(std::min<uint64_t>(fileSize, SIZE_MAX));
    if (!TableInside(size, h.texCoordOffset, h.texCoordCount, kTexCoordEntrySize))
        return Damaged(TableMessage("texture-coordinate", h.texCoordOffset, h.texCoordCount, kTexCoordEntrySize,
                                    fileSize));
    if (!TableInside(size, h.trianglesOffset, h.triangleCount, kTriangleEntrySize))
        return Damaged(TableMessage("triangle", h.trianglesOffset, h.triangleCount, kTriangleEntrySize, fileSize));
    if (!TableInside(size, h.framesOffset, h.frameCount, frameBytes))
        return Damaged(TableMessage("frame", h.framesOffset, h.frameCount, frameBytes, fileSize));
    // Only a zero size cannot scale coordinates; a negative one mirrors them.
    if (h.triangleCount > 0 && (h.skinWidth == 0 || h.skinHeight == 0))
        return Damaged("skin size " + std::to_string(h.skinWidth) + " x " + std::to_string(h.skinHeight) +
                       " cannot scale texture coordinates");
    return h;
}

// How far into the file its tables reach; the header checked them all.
uint64_t BytesNeeded(const Md2Header& h, uint64_t fileSize) {
    const int64_t frameBytes = kFrameHeadSize + kVertexEntrySize * int64_t{h.vertexCount};
    struct Table {
        int64_t offset, count, entrySize;
    };
    const Table tables[4] = {{h.texCoordOffset, h.texCoordCount, kTexCoordEntrySize},
                             {h.trianglesOffset, h.triangleCount, kTriangleEntrySize},
                             {h.framesOffset, h.frameCount, frameBytes},
                             {h.skinsOffset, h.skinCount, kSkinNameSize}};
    uint64_t needed = kMd2HeaderSize;
    const size_t size = static_cast<size_t>(std::min<uint64_t>(fileSize, SIZE_MAX));
    for (const Table& t : tables) {
        // Skin names are optional: a table past the end is skipped, not read for.
        if (t.count <= 0 || !TableInside(size, t.offset, t.count, t.entrySize)) continue;
        needed = std::max(needed, static_cast<uint64_t>(t.offset) + static_cast<uint64_t>(t.count * t.entrySize));
    }
    return std::min(needed, fileSize);
}

// Texture coordinates, triangles and skin names, from bytes that hold
// every one of those tables the file can hold (the frames need not be there).
Result<Md2File> ParseTables(std::span<const uint8_t> bytes, const Md2Header& h) {
    ByteReader r(bytes);
    Md2File model;
    model.vertexCount = h.vertexCount;
    model.skinWidth = h.skinWidth;
    model.skinHeight = h.skinHeight;

    // Texture coordinates are only needed while the triangles are built.
    std::vector<double> st(static_cast<size_t>(h.texCoordCount) * 2);
    r.Seek(static_cast<size_t>(h.texCoordCount > 0 ? h.texCoordOffset : 0));
    for (int32_t i = 0; i < h.texCoordCount; ++i) {
        int16_t s = r.S16();
        int16_t t = r.S16();
        st[2 * i] = static_cast<double>(s) / static_cast<double>(h.skinWidth);
        st[2 * i + 1] = static_cast<double>(t) / static_cast<double>(h.skinHeight);
    }

    model.triangles.resize(static_cast<size_t>(h.triangleCount));
    r.Seek(static_cast<size_t>(h.triangleCount > 0 ? h.trianglesOffset : 0));
    static constexpr int kFileCorner[3] = {0, 2, 1};  // reverses the winding
    for (int32_t i = 0; i < h.triangleCount; ++i) {
        uint16_t vertex[3], texCoord[3];
        for (auto& v : vertex) v = r.U16();
        for (auto& t : texCoord) t = r.U16();
        for (int c = 0; c < 3; ++c) {
            if (vertex[c] >= h.vertexCount)
                return Damaged("triangle " + std::to_string(i) + " uses vertex " + std::to_string(vertex[c]) +
                               ", the model has " + std::to_string(h.vertexCount));
        }
        Md2Triangle& tri = model.triangles[static_cast<size_t>(i)];
        for (int c = 0; c < 3; ++c) {
            int from = kFileCorner[c];
            tri.vertex[c] = vertex[from];
            // Models games shipped name coordinates past the table (65535 for
            // "none"): such a corner takes the picture's corner and is counted.
            if (texCoord[from] >= h.texCoordCount) {
                ++model.cornersWithoutTexCoord;
                continue;
            }
            tri.texCoord[c][0] = st[2 * size_t{texCoord[from]}];
            tri.texCoord[c][1] = st[2 * size_t{texCoord[from]} + 1];
        }
    }
    // The bounds were checked up front; a short read here would be a bug in those checks.
    if (r.Truncated()) return Damaged("the file ends inside a table");

    // Skin names only help find a picture; a table that does not fit is
    // left unread rather than a reason to refuse the model.
    if (h.skinCount > 0 && TableInside(bytes.size(), h.skinsOffset, h.skinCount, kSkinNameSize)) {
        r.Seek(static_cast<size_t>(h.skinsOffset));
        for (int32_t i = 0; i < h.skinCount; ++i) model.skinNames.push_back(FixedText(r.View(kSkinNameSize)));
    }
    return model;
}

int64_t FrameBytes(const Md2Header& h) { return kFrameHeadSize + kVertexEntrySize * int64_t{h.vertexCount}; }

// One frame from its record: scale, translation, name, vertices.
void ParseFrame(std::span<const uint8_t> record, int32_t vertexCount, Md2Frame& frame) {
    ByteReader r(record);
    for (float& s : frame.scale) s = r.F32();
    for (float& t : frame.translate) t = r.F32();
    frame.name = FixedText(r.View(16));
    frame.vertices.resize(static_cast<size_t>(vertexCount));
    static_assert(sizeof(Md2PackedVertex) == kVertexEntrySize);
    r.Bytes(frame.vertices.data(), frame.vertices.size() * sizeof(Md2PackedVertex));
}

// Whether every other table the parser reads ends before the frames start,
// so the frames can be read in pieces after them.
bool FramesComeLast(const Md2Header& h, uint64_t fileSize) {
    if (h.frameCount <= 0 || h.framesOffset < static_cast<int64_t>(kMd2HeaderSize)) return false;
    const size_t size = static_cast<size_t>(std::min<uint64_t>(fileSize, SIZE_MAX));
    const struct { int32_t offset, count; int64_t entrySize; } tables[] = {
        {h.texCoordOffset, h.texCoordCount, kTexCoordEntrySize},
        {h.trianglesOffset, h.triangleCount, kTriangleEntrySize},
        {h.skinsOffset, h.skinCount, kSkinNameSize}};
    for (const auto& t : tables) {
        if (t.count <= 0 || !TableInside(size, t.offset, t.count, t.entrySize)) continue;
        if (int64_t{t.offset} + int64_t{t.count} * t.entrySize > int64_t{h.framesOffset}) return false;
    }
    return true;
}

}  // namespace

Result<Md2File> ParseMd2(std::span<const uint8_t> bytes) {
    auto header = CheckHeader(bytes, bytes.size());
    if (!header) return header.Why();
    const Md2Header& h = header.Value();
    auto model = ParseTables(bytes, h);
    if (!model) return model;
    model.Value().frames.resize(static_cast<size_t>(h.frameCount));
    const auto frameBytes = static_cast<size_t>(FrameBytes(h));
    for (size_t f = 0; f < model.Value().frames.size(); ++f)
        ParseFrame(bytes.subspan(static_cast<size_t>(h.framesOffset) + f * frameBytes, frameBytes), h.vertexCount,
                   model.Value().frames[f]);
    return model;
}

Result<Md2Counts> ReadMd2Counts(const std::string& path) {
    auto file = OpenPathInput(path, kMaxModelEntryBytes);
    if (!file) return file.Why();
    std::vector<uint8_t> bytes;
    if (Status read = file.Value().ReadMore(bytes, kMd2HeaderSize); !read) return read.Why();
    auto header = CheckHeader(bytes, file.Value().Size());
    if (!header) return header.Why();
    const Md2Header& h = header.Value();
    return Md2Counts{h.vertexCount, h.triangleCount, h.frameCount, std::max(h.skinCount, 0)};
}

Result<Md2File> ReadMd2File(const std::string& path) {
    auto file = OpenPathInput(path, kMaxModelEntryBytes);
    if (!file) return file.Why();
    auto& f = file.Value();
    std::vector<uint8_t> bytes;
    // The magic and the header first: a file that is no model costs only
    // those bytes, and a model is read no further than its last table.
    if (Status read = f.ReadMore(bytes, kMd2HeaderSize); !read) return read.Why();
    auto header = CheckHeader(bytes, f.Size());
    if (!header) return header.Why();
    const Md2Header& h = header.Value();
    try {
        if (!FramesComeLast(h, f.Size())) {
            if (Status read = f.ReadMore(bytes, BytesNeeded(h, f.Size()) - bytes.size()); !read) return read.Why();
            return ParseMd2(bytes);
        }
        // As most files lay them out, the frames last: read in pieces
        // straight into the model, so the file's bytes and the frames are
        // never held twice (a big model then costs about its size, not double).
        if (Status read = f.ReadMore(bytes, static_cast<uint64_t>(h.framesOffset) - bytes.size()); !read)
            return read.Why();
        auto model = ParseTables(bytes, h);
        if (!model) return model;
        bytes = {};
        std::vector<Md2Frame>& frames = model.Value().frames;
        frames.resize(static_cast<size_t>(h.frameCount));
        // Several frames a read, so a long model costs few calls, in pieces
        // small enough to stay in the processor's cache.
        const auto frameBytes = static_cast<size_t>(FrameBytes(h));
        const size_t framesARead = std::max<size_t>(1, (size_t{256} << 10) / frameBytes);
        std::vector<uint8_t> piece;
        for (size_t first = 0; first < frames.size(); first += framesARead) {
            const size_t count = std::min(framesARead, frames.size() - first);
            piece.clear();
            if (Status read = f.ReadMore(piece, count * frameBytes); !read) return read.Why();
            if (piece.size() != count * frameBytes) return Damaged("the file ends inside a frame");
            for (size_t k = 0; k < count; ++k)
                ParseFrame(std::span(piece).subspan(k * frameBytes, frameBytes), h.vertexCount, frames[first + k]);
        }
        return model;
    } catch (const std::bad_alloc&) {
        return Failure{ErrorKind::CannotOpen, "not enough memory to hold the model"};
    }
}

}  // namespace meshara

#include "export/obj_export.h"
#include "formats/format_names.h"

#include <array>
#include <cstdio>
#include <map>
#include <string_view>

#include <zlib.h>

#include "export/export_mesh.h"
#include "formats/name_text.h"
#include "model/normals.h"

namespace meshara {

namespace {

// Nine significant digits: enough for any float to read back unchanged.
std::string Number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double{v});
    return text;
}

void AppendLine(std::string& out, const char* tag, std::initializer_list<float> values) {
    out += tag;
    for (float v : values) {
        out += ' ';
        out += Number(v);
    }
    out += '\n';
}

// A name as one OBJ/MTL token: blanks and control characters would split it
// or start a line of their own.
std::string Token(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) c = '_';
    return out.empty() ? "model" : out;
}

// Text for a comment: anything that could end the line is shown, not kept.
std::string CommentText(std::string_view text) {
    std::string out;
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", b);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

bool HasControl(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

constexpr std::string_view kStamp = "# stamp of meshara-cli export: crc32 ";
constexpr std::string_view kPictureStamp = ", picture crc32 ";

std::string Hex(uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", v);
    return text;
}

bool ReadHex(std::string_view text, uint32_t& v) {
    if (text.size() != 8) return false;
    v = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) return false;
        v = v << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

std::span<const uint8_t> BytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

uint32_t StampChecksum(std::span<const uint8_t> bytes, uint32_t running) {
    return static_cast<uint32_t>(crc32_z(running, bytes.data(), bytes.size()));
}

std::optional<MaterialStamp> ReadMaterialStamp(std::span<const uint8_t> mtl) {
    const std::string_view text(reinterpret_cast<const char*>(mtl.data()), mtl.size());
    if (!text.ends_with('\n')) return std::nullopt;
    const size_t last = text.rfind('\n', text.size() - 2) + 1;  // 0 when the stamp is the only line
    const std::string_view body = text.substr(0, last), line = text.substr(last, text.size() - last - 1);
    if (!line.starts_with(kStamp)) return std::nullopt;
    std::string_view rest = line.substr(kStamp.size());
    uint32_t own = 0;
    if (!ReadHex(rest.substr(0, 8), own) || own != StampChecksum(BytesOf(body))) return std::nullopt;
    rest.remove_prefix(std::min<size_t>(8, rest.size()));
    MaterialStamp stamp;
    const size_t map = body.rfind("\nmap_Kd ");
    if (rest.empty()) return map == std::string_view::npos ? std::optional(stamp) : std::nullopt;
    if (!rest.starts_with(kPictureStamp) || !ReadHex(rest.substr(kPictureStamp.size()), stamp.pictureChecksum) ||
        map == std::string_view::npos)
        return std::nullopt;
    const size_t name = map + 8;
    stamp.picture = std::string(body.substr(name, body.find('\n', name) - name));
    return stamp;
}

Result<ObjFiles> ExportObj(const Md2Model& model, const ObjExportOptions& options) {
    if (!model.HasFrame(options.frame))
        return Failure{ErrorKind::DoesNotFit, "frame " + std::to_string(options.frame) +
                                                    " is out of range: the model has " +
                                                    std::to_string(model.FrameCount()) + " frames"};
    if (model.triangles.empty()) return Failure{ErrorKind::DoesNotFit, "the model has no triangles", format::kObj};
    if (Status finite = CheckExportablePositions(model, options.frame, options.frame, options.scale); !finite)
        return finite.Why();
    const Md2Frame& frame = model.frames[static_cast<size_t>(options.frame)];
    // The files are named by whoever exports; a name the .obj or .mtl cannot hold is refused, not mangled.
    for (const std::string* name : {&options.materialFile, &options.textureFile})
        if (HasControl(*name)) return Failure{ErrorKind::DoesNotFit, "a file name holds a control character", format::kObj};

    // The file's name as text, as the .obj and .mtl are.
    const std::string modelName = FileNameToUtf8(model.name);
    const std::string material = Token(FileNameToUtf8(FileStem(model.name)));
    ObjFiles files;
    std::string& obj = files.obj;
    obj = "# " + CommentText(modelName) + ", frame " + std::to_string(options.frame) + " (" +
          CommentText(NameToUtf8(frame.name)) +
          "), written by Meshara: Y up, front facing +Z, metres (scale " + Number(static_cast<float>(options.scale)) +
          ")\n";
    obj += "mtllib " + options.materialFile + "\no " + material + "\n";
    // Positions and normals per model vertex, so faces share them as in the
    // model; texture coordinates per distinct pair.
    for (const Vec3d& v : FramePositions(model, options.frame)) {
        const Float3 p = ExportPosition(v, options.scale);
        AppendLine(obj, "v", {p[0], p[1], p[2]});
    }
    const std::vector<Vec3d> normals = FrameNormals(model, options.frame);
    for (const Vec3d& n : normals) {
        const Float3 e = ExportNormal(n);
        AppendLine(obj, "vn", {e[0], e[1], e[2]});
    }
    // OBJ counts v from the bottom of the picture; MD2's t counts from the top.
    std::map<std::array<float, 2>, size_t> texCoords;
    std::string faces;
    for (const Md2Triangle& t : model.triangles) {
        faces += 'f';
        for (int c = 0; c < 3; ++c) {
            const std::array<float, 2> st{static_cast<float>(t.texCoord[c][0]),
                                          static_cast<float>(1.0 - t.texCoord[c][1])};
            const auto [at, added] = texCoords.try_emplace(st, texCoords.size() + 1);
            if (added) AppendLine(obj, "vt", {st[0], st[1]});
            const std::string v = std::to_string(t.vertex[c] + 1);
            faces += ' ' + v + '/' + std::to_string(at->second) + '/' + v;
        }
        faces += '\n';
    }
    obj += "usemtl " + material + "\ns 1\n" + faces;

    files.mtl = "# written by Meshara for " + CommentText(modelName) + "\nnewmtl " + material +
                "\nKa 0 0 0\nKd 1 1 1\nKs 0 0 0\nd 1\nillum 1\n";
    if (!options.textureFile.empty()) files.mtl += "map_Kd " + options.textureFile + "\n";
    std::string stamp = std::string(kStamp) + Hex(StampChecksum(BytesOf(files.mtl)));
    if (!options.textureFile.empty()) stamp += std::string(kPictureStamp) + Hex(StampChecksum(options.texturePng));
    files.mtl += stamp + "\n";
    return files;
}

}  // namespace meshara

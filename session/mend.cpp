#include "session/mend.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "convert/md2_build.h"
#include "formats/format_names.h"
#include "formats/game_fs.h"
#include "formats/path_input.h"
#include "formats/md2_file.h"
#include "formats/md2_writer.h"
#include "io/byte_reader.h"
#include "model/md2_model.h"
#include "session/mend_edits.h"
#include "session/messages.h"
#include "session/skin_search.h"

namespace meshara {

namespace {

// The file as the writer lays it out, every table as the file holds it:
// texture coordinates in skin pixels, triangles in the file's corner order,
// the GL commands' words.
Result<Md2Output> ReadRaw(std::span<const uint8_t> bytes) {
    auto parsed = ParseMd2(bytes);
    if (!parsed) return parsed.Why();
    Md2File& file = parsed.Value();
    Md2Output out;
    out.skinWidth = file.skinWidth;
    out.skinHeight = file.skinHeight;
    out.skinNames = std::move(file.skinNames);
    out.vertexCount = file.vertexCount;
    out.frames = std::move(file.frames);
    ByteReader r(bytes);
    r.Seek(28);
    const int32_t texCoords = r.S32(), triangles = r.S32(), glWords = r.S32();
    r.Seek(48);
    const int32_t texCoordsAt = r.S32(), trianglesAt = r.S32();
    r.Skip(4);
    const int32_t glAt = r.S32();
    r.Seek(static_cast<size_t>(texCoords > 0 ? texCoordsAt : 0));
    out.texCoords.resize(static_cast<size_t>(texCoords));
    for (auto& st : out.texCoords) st = {r.S16(), r.S16()};
    r.Seek(static_cast<size_t>(triangles > 0 ? trianglesAt : 0));
    out.triangles.resize(static_cast<size_t>(triangles));
    for (auto& t : out.triangles) {
        for (uint16_t& v : t.vertex) v = r.U16();
        for (uint16_t& v : t.texCoord) v = r.U16();
    }
    if (glWords > 0 && TableInside(bytes.size(), glAt, glWords, 4)) {
        r.Seek(static_cast<size_t>(glAt));
        out.glCommands.resize(static_cast<size_t>(glWords));
        for (uint32_t& w : out.glCommands) w = r.U32();
    }
    if (r.Truncated()) return Failure{ErrorKind::Damaged, "the file ends inside a table", format::kMd2};
    return out;
}

// A repeated vertex, or no area in any frame: the game draws nothing of it.
bool Degenerate(const Md2Output& m, const Md2Output::Triangle& t) {
    const uint16_t* v = t.vertex;
    if (v[0] == v[1] || v[1] == v[2] || v[0] == v[2]) return true;
    return std::none_of(m.frames.begin(), m.frames.end(), [&](const Md2Frame& f) { return TriangleHasArea(f, v[0], v[1], v[2]); });
}

using Corner = std::array<int32_t, 3>;  // vertex, s, t

std::array<int16_t, 2> TexCoordAt(const Md2Output& m, uint16_t index) {
    return index < m.texCoords.size() ? m.texCoords[index] : std::array<int16_t, 2>{0, 0};
}

// The triangle's corners started from its least vertex, the cyclic order
// kept: equal for triangles the game draws alike, a reversed one differs.
std::array<Corner, 3> Turned(const Md2Output& m, const Md2Output::Triangle& t, bool withTexCoords) {
    std::array<Corner, 3> c;
    for (size_t k = 0; k < 3; ++k) {
        const auto st = withTexCoords ? TexCoordAt(m, t.texCoord[k]) : std::array<int16_t, 2>{0, 0};
        c[k] = {t.vertex[k], st[0], st[1]};
    }
    std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
    return c;
}

struct Mender {
    const MendOptions& options;
    Md2Output& m;
    MendReport& report;

    bool Wanted(const std::string& code) const { return options.only.empty() || options.only.count(code) > 0; }
    void Mended(const std::string& code, int64_t count, std::string what) {
        report.mended.push_back({code, static_cast<int32_t>(count), std::move(what)});
    }
    void Left(const char* code, Severity severity, std::string message) {
        report.notMended.push_back({code, severity, std::move(message), std::nullopt});
    }

    void TexCoordsPastTable() {
        if (!Wanted("texcoord-index-past-table")) return;
        const size_t table = m.texCoords.size();
        int64_t corners = 0;
        for (auto& t : m.triangles)
            for (uint16_t& st : t.texCoord)
                if (st >= table) st = static_cast<uint16_t>(table), ++corners;
        if (corners == 0) return;
        m.texCoords.push_back({0, 0});
        Mended("texcoord-index-past-table", corners,
               Plural(corners, "corner points", "corners point") + " at texture coordinate " + std::to_string(table) +
                   ", (0, 0), added");
    }

    // Triangles and vertices the game draws nothing of, and the GL commands
    // rebuilt from what is kept; true when the geometry changed.
    bool Geometry(bool glCommandsDrawTriangles) {
        std::vector<char> drop(m.triangles.size(), 0);
        int64_t degenerate = 0, duplicates = 0, unlike = 0;
        if (Wanted("degenerate-triangles"))
            for (size_t i = 0; i < m.triangles.size(); ++i)
                if (Degenerate(m, m.triangles[i])) drop[i] = 1, ++degenerate;
        if (Wanted("duplicate-triangles")) {
            std::map<std::array<Corner, 3>, size_t> seen;
            std::set<std::array<Corner, 3>> seenCorners;
            for (size_t i = 0; i < m.triangles.size(); ++i) {
                if (drop[i]) continue;
                if (!seen.emplace(Turned(m, m.triangles[i], true), i).second)
                    drop[i] = 1, ++duplicates;
                else if (!seenCorners.insert(Turned(m, m.triangles[i], false)).second)
                    ++unlike;
            }
        }
        if (unlike > 0)
            Left("duplicate-triangles", Severity::Warning,
                 Plural(unlike, "triangle repeats", "triangles repeat") +
                     " another's corners with other texture coordinates: both kept, as either may be the one painted");
        const int64_t dropped = degenerate + duplicates;
        if (dropped == static_cast<int64_t>(m.triangles.size()) && dropped > 0) {
            Left("degenerate-triangles", Severity::Note, "every triangle would be dropped: the model is left whole");
            return false;
        }
        std::vector<bool> used(static_cast<size_t>(m.vertexCount), false);
        for (size_t i = 0; i < m.triangles.size(); ++i)
            if (!drop[i])
                for (uint16_t v : m.triangles[i].vertex) used[v] = true;
        const int64_t unused = Wanted("unused-vertices") ? std::count(used.begin(), used.end(), false) : 0;
        if (unused == m.vertexCount) return false;  // no triangles: nothing uses any
        if (dropped == 0 && unused == 0) return false;
        if (!glCommandsDrawTriangles) {
            const std::string why = ": left alone, as the GL commands, which the game draws, do not draw the triangles "
                                    "(--glcmds-from-triangles rebuilds them)";
            if (degenerate) Left("degenerate-triangles", Severity::Note, Plural(degenerate, "triangle", "triangles") + " with no area" + why);
            if (duplicates) Left("duplicate-triangles", Severity::Warning, Plural(duplicates, "repeated triangle", "repeated triangles") + why);
            if (unused) Left("unused-vertices", Severity::Note, Plural(unused, "unused vertex", "unused vertices") + why);
            return false;
        }
        std::vector<Md2Output::Triangle> kept;
        for (size_t i = 0; i < m.triangles.size(); ++i)
            if (!drop[i]) kept.push_back(m.triangles[i]);
        m.triangles = std::move(kept);
        if (unused > 0) {
            std::vector<uint16_t> number(used.size(), 0);
            uint16_t next = 0;
            for (size_t v = 0; v < used.size(); ++v)
                if (used[v]) number[v] = next++;
            for (auto& t : m.triangles)
                for (uint16_t& v : t.vertex) v = number[v];
            for (Md2Frame& f : m.frames) {
                std::vector<Md2PackedVertex> vertices;
                for (size_t v = 0; v < used.size(); ++v)
                    if (used[v]) vertices.push_back(f.vertices[v]);
                f.vertices = std::move(vertices);
            }
            m.vertexCount = next;
        }
        if (degenerate) Mended("degenerate-triangles", degenerate, Plural(degenerate, "triangle", "triangles") + " with no area dropped");
        if (duplicates) Mended("duplicate-triangles", duplicates, Plural(duplicates, "repeated triangle", "repeated triangles") + " dropped");
        if (unused)
            Mended("unused-vertices", unused,
                   Plural(unused, "unused vertex", "unused vertices") + " dropped, the other " +
                       std::to_string(m.vertexCount) + " renumbered");
        return true;
    }

    void SkinNames() {
        for (size_t i = 0; i < options.skins.size() && i < m.skinNames.size(); ++i) {
            const SkinFound& s = options.skins[i];
            if (!s.found || s.code.empty() || !Wanted(s.code) || s.name == m.skinNames[i]) continue;
            if (s.name.size() > 63) {
                Left(s.code == "skin-letter-case" ? "skin-letter-case" : "skin-not-at-game-path", Severity::Warning,
                     "the skin " + m.skinNames[i] + " is found as " + s.name + ", longer than the 63 bytes a skin name holds: left as it was");
                continue;
            }
            Mended(s.code, 1, "skin " + std::to_string(i) + " " + m.skinNames[i] + " renamed " + s.name);
            m.skinNames[i] = s.name;
        }
    }

    void SkinSize() {
        if (!Wanted("skin-size-differs")) return;
        const auto worn = std::find_if(options.skins.begin(), options.skins.end(),
                                       [](const SkinFound& s) { return s.found && s.width > 0 && s.height > 0; });
        if (worn == options.skins.end()) return;
        const int32_t w = worn->width, h = worn->height, oldW = m.skinWidth, oldH = m.skinHeight;
        if (w == oldW && h == oldH) return;
        const std::string size = std::to_string(w) + " x " + std::to_string(h);
        if (h > engine::kMaxSkinHeight) {
            Left("skin-size-differs", Severity::Warning,
                 "the skin picture is " + size + ", taller than the 480 the engine takes: the header's size is left");
            return;
        }
        if (oldW <= 0 || oldH <= 0) {
            Left("skin-size-differs", Severity::Warning,
                 "the header's skin size " + std::to_string(oldW) + " x " + std::to_string(oldH) + " scales no coordinate: left");
            return;
        }
        std::vector<std::array<int16_t, 2>> scaled = m.texCoords;
        int64_t moved = 0;
        for (auto& st : scaled) {
            const double s = st[0] * double(w) / oldW, t = st[1] * double(h) / oldH;
            const double rs = std::round(s), rt = std::round(t);
            if (rs < INT16_MIN || rs > INT16_MAX || rt < INT16_MIN || rt > INT16_MAX) {
                Left("skin-size-differs", Severity::Warning, "a texture coordinate scaled to " + size + " leaves the 16-bit range: left");
                return;
            }
            // Measured in the old size's pixels, where the coordinates were placed.
            if (std::abs(rs * oldW / w - st[0]) > 0.5 || std::abs(rt * oldH / h - st[1]) > 0.5) ++moved;
            st = {static_cast<int16_t>(rs), static_cast<int16_t>(rt)};
        }
        m.texCoords = std::move(scaled);
        m.skinWidth = w, m.skinHeight = h;
        Mended("skin-size-differs", 1,
               "skin size " + std::to_string(oldW) + " x " + std::to_string(oldH) + " made " + size +
                   ", texture coordinates scaled to it");
        if (moved > 0)
            report.notes.push_back(Plural(moved, "texture coordinate", "texture coordinates") +
                                   " moved by more than half a pixel of the old " + std::to_string(oldW) + " x " +
                                   std::to_string(oldH) + " size in rounding to " + size);
        for (const SkinFound& s : options.skins)
            if (s.found && s.width > 0 && (s.width != w || s.height != h)) {
                Left("skin-size-differs", Severity::Warning,
                     "another skin picture is " + std::to_string(s.width) + " x " + std::to_string(s.height) + ", the header now " + size);
                break;
            }
    }
};

}  // namespace

const std::vector<std::string>& MendableCodes() {
    static const std::vector<std::string> codes = {
        "texcoord-index-past-table", "degenerate-triangles", "duplicate-triangles", "unused-vertices", "glcmds-differ",
        "skin-not-at-game-path",     "skin-letter-case",     "skin-size-differs"};
    return codes;
}

std::vector<SkinFound> LookUpSkins(const std::string& modelPath, const std::vector<std::string>& skinNames) {
    std::vector<SkinFound> out(skinNames.size());
    auto located = LocateFile(modelPath);
    if (!located) return out;
    const SkinSearch search(located.Value());
    for (size_t i = 0; i < skinNames.size() && i < kMaxSkinNamesSearched; ++i) {
        const std::string& name = skinNames[i];
        const std::vector<SkinSearch::Candidate> candidates = search.Marked(name);
        if (candidates.empty()) continue;
        const SkinSearch::Candidate& first = candidates.front();
        SkinFound& s = out[i];
        s.found = true;
        // As the check judges it: a name the game would not find at its path, or only in another case.
        if (located.Value().inGame && (first.beside || !SkinNameIsGamePath(name))) {
            s.code = "skin-not-at-game-path";
            s.name = first.file.gamePath;
        } else if (!first.file.exactCase) {
            s.code = "skin-letter-case";
            // Beside a model in no game the name's folders mean nothing; only its file name is spelled again.
            if (located.Value().inGame) {
                s.name = first.file.gamePath;
            } else {
                const size_t cut = name.find_last_of("/\\"), fileCut = first.file.gamePath.rfind('/');
                s.name = (cut == std::string::npos ? "" : name.substr(0, cut + 1)) +
                         first.file.gamePath.substr(fileCut == std::string::npos ? 0 : fileCut + 1);
            }
        }
        if (auto picture = ReadGameSkin(first.file)) s.width = picture.Value()->width, s.height = picture.Value()->height;
    }
    return out;
}

std::string MendReport::Summary() const {
    if (mended.empty()) return "nothing to mend";
    std::string out = "mended";
    for (size_t i = 0; i < mended.size(); ++i) out += (i ? ", " : " ") + mended[i].code + " (" + std::to_string(mended[i].count) + ")";
    return out;
}

Result<MendReport> MendMd2(std::span<const uint8_t> bytes, const MendOptions& options) {
    auto raw = ReadRaw(bytes);
    if (!raw) return raw.Why();
    auto layout = ReadMd2Layout(bytes);
    if (!layout) return layout.Why();
    Md2Output& m = raw.Value();
    MendReport report;
    Mender mender{options, m, report};
    const Md2Layout& l = layout.Value();
    const bool glDrawTriangles =
        l.glCommandsProblem.empty() && l.trianglesNotInGlCommands == 0 && l.glTrianglesNotInTable == 0;
    const bool rebuildAsked = options.glCommandsFromTriangles && mender.Wanted("glcmds-differ");

    mender.TexCoordsPastTable();
    const bool geometry = mender.Geometry(glDrawTriangles || rebuildAsked);
    mender.SkinNames();
    mender.SkinSize();
    // Last of the mends, so the commands' coordinates are those of the final skin size.
    if (geometry || (rebuildAsked && !glDrawTriangles && !m.triangles.empty())) {
        m.glCommands = BuildGlCommands(m);
        if (!glDrawTriangles)
            mender.Mended("glcmds-differ", 1, "GL commands rebuilt from the triangles, which they did not draw");
    }
    if (Status edited = ApplyEdits(m, options, report); !edited) return edited.Why();

    report.changed = !report.mended.empty() || !report.edited.empty();
    report.bytes = report.changed ? EncodeMd2(m) : std::vector<uint8_t>(bytes.begin(), bytes.end());
    return report;
}

Result<std::vector<uint8_t>> ReadModelBytes(const std::string& path) {
    auto located = LocateFile(path);
    if (!located) return located.Why();
    auto input = OpenGameFile(located.Value().file, kMaxModelEntryBytes);
    if (!input) return input.Why();
    std::vector<uint8_t> bytes;
    if (Status read = input.Value().ReadMore(bytes, input.Value().Size()); !read) return read.Why();
    return bytes;
}

Result<MendReport> MendModelFile(const std::string& path, MendOptions options) {
    auto bytes = ReadModelBytes(path);
    if (!bytes) return bytes.Why();
    auto parsed = ParseMd2(bytes.Value());
    if (!parsed) return parsed.Why();
    options.skins = LookUpSkins(path, parsed.Value().skinNames);
    return MendMd2(bytes.Value(), options);
}

}  // namespace meshara

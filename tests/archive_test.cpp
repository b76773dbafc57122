// Game archives: what a PAK or zip holds reads back byte for byte through a path that runs through it,
// whatever the letter case; hostile archives are refused with their reason; a model inside an archive
// finds its skins along the game's search path.

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "formats/archive.h"
#include "formats/lgt_file.h"
#include "formats/path_input.h"
#include "formats/readers.h"
#include "model/md2_model.h"
#include "session/scene_setup.h"
#include "tests/hostile_archives.h"
#include "tests/test_support.h"
#include "tools/writers/archive_writers.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
using fixtures::ArchiveFile;
using Bytes = std::vector<uint8_t>;

struct Kind {
    const char* file;
    std::function<Bytes(const std::vector<ArchiveFile>&)> write;
};
const Kind kKinds[] = {
    {"pak0.pak", [](const auto& files) { return fixtures::WritePak(files); }},
    {"pak0.pk3", [](const auto& files) { return fixtures::WriteZip(files); }},
    {"stored.zip", [](const auto& files) { return fixtures::WriteZip(files, {.deflate = false}); }},
};

// The name in capitals with backslashes, as a model may give it.
std::string Shouted(std::string name) {
    for (char& c : name) c = c == '/' ? '\\' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

Bytes ReadThrough(const std::string& path) {
    auto input = OpenPathInput(path);
    Bytes bytes;
    if (!input || !input.Value().ReadMore(bytes, input.Value().Size())) return {'?'};
    return bytes;
}

TEST(Archives, WhatTheyHoldReadsBackThroughPathsInAnyLetterCase) {
    testing::TempDir dir;
    const fs::path samples = testing::SamplesDir();
    std::vector<ArchiveFile> files = {{"models/knot/tris.md2", testing::ReadAll(samples / "knot.md2")},
                                      {"models/knot/knot.pcx", testing::ReadAll(samples / "knot.pcx")},
                                      {"models/knot/glow.bmp", testing::ReadAll(samples / "knot.bmp")},
                                      {"lights/warm.lgt", testing::ReadAll(samples / "warm-key.lgt")}};
    // Names that are models or nearly, beyond sixteen entries (listings test sixteen at a time).
    for (const char* name : {".md2", "a.MD2", "b.md2.pcx", "c.mD2", "d.md3", "e,md2", "f.nd2", "g.Md2"})
        for (const char* folder : {"x/", "y/"}) files.push_back({std::string(folder) + name, {1, 2, 3}});
    // The real files too when they are there.
    if (const fs::path corpus = testing::CorpusDir(); !corpus.empty())
        for (const char* folder : {"md2", "skins"})
            for (const auto& e : fs::directory_iterator(corpus / folder))
                files.push_back({std::string(folder) + "/" + e.path().filename().string(), testing::ReadAll(e.path())});
    for (const Kind& kind : kKinds) {
        // In a folder named like an archive, which paths pass through as a folder.
        const std::string archive = dir.Write(std::string("game.pak/") + kind.file, kind.write(files)).string();
        auto opened = Archive::Open(archive);
        ASSERT_TRUE(opened) << kind.file << ": " << opened.Detail();
        ASSERT_EQ(opened.Value().Count(), files.size()) << kind.file;
        std::vector<size_t> models;
        for (size_t i = 0; i < files.size(); ++i)
            if (NamesModel(files[i].name)) models.push_back(i);
        EXPECT_EQ(opened.Value().Models(), models) << kind.file;
        for (size_t i = 0; i < files.size(); ++i) {
            const ArchiveEntry entry = opened.Value().Entry(i);
            EXPECT_EQ(std::pair(std::string(entry.name), entry.size), std::pair(files[i].name, uint64_t{files[i].bytes.size()}));
            EXPECT_EQ(ReadThrough(archive + "/" + Shouted(files[i].name)), files[i].bytes) << kind.file << " " << entry.name;
        }
        // Every reader that takes a path reads inside, and names what it read after the path it was given.
        const std::string inside = archive + "/Models/Knot/";
        auto model = LoadMd2Model(inside + "TRIS.md2");
        auto skin = ReadSkinImage(inside + "knot.PCX");
        auto loose = ReadSkinImage((samples / "knot.pcx").string());
        ASSERT_TRUE(model && skin && LoadLightFile(archive + "/lights/WARM.lgt")) << kind.file;
        EXPECT_EQ(std::tuple(model.Value()->name, model.Value()->FrameCount(), skin.Value()->path, skin.Value()->pixels),
                  std::tuple(std::string("TRIS.md2"), 12, inside + "knot.PCX", loose.Value()->pixels));
        EXPECT_EQ(SniffFile(inside + "tris.md2").Value(), FileType::Md2);
        // What is not there: an entry, and a path through a file that is no archive.
        for (const auto& [path, why] : {std::pair{archive + "/models/none.md2", "no entry models/none.md2 in " + archive},
                                        {(samples / "knot.md2/tris.md2").string(), std::string("Not a directory")}}) {
            auto refused = LoadMd2Model(path);
            EXPECT_EQ(std::pair(refused.Error(), refused.Detail()), std::pair(ErrorKind::CannotOpen, why)) << path;
        }
    }
}

TEST(Archives, PakRecordsAreCheckedAlikeInEitherForm) {
    // Records a check can get wrong: names at the edges of a 16- or 32-byte
    // scan, model names nearly so, folders "..", data at the file's end and
    // past it, offsets and sizes past 2 GiB in a file larger than that.
    const uint64_t fileSize = uint64_t{3} << 30;
    const struct Record {
        std::string name;  // up to 56 bytes, unterminated at 56
        uint32_t at, size;
        bool fits;
        bool model;
    } records[] = {
        {"", 0, 0, true, false},
        {"x.md2", 0, 0, true, true},
        {".md2", 0, 0, true, false},
        {"a/B.MD2", 0, 0, true, true},
        {"a/b.mD2", 0, 0, true, true},
        {"a/b.md3", 0, 0, true, false},
        {"a/b.md2.pcx", 0, 0, true, false},
        {std::string(15, 'f') + ".md2", 0, 0, true, true},  // ends across the first 16 bytes
        {std::string(28, 'f') + ".md2", 0, 0, true, true},  // ends across the first 32
        {std::string(51, 'f') + ".md2", 0, 0, true, true},  // 55 bytes, the longest
        {std::string(56, 'f'), 0, 0, false, false},        // no zero
        {std::string(40, 'f') + "/../x", 0, 0, false, false},
        {"../x.md2", 0, 0, false, false},
        {"a/..", 0, 0, false, false},
        {"a/..b/...c/d..", 0, 0, true, false},
        {std::string("a\0../..", 7), 0, 0, true, false},   // dots after the zero are not the name's
        {std::string("ab\0x.md2", 8), 0, 0, true, false},  // nor is an ending
        {"end", 0x7fffffff, 1, true, false},               // ends past 2 GiB, inside this file
        {"last", 0x7fffffff, 0x40000001, true, false},     // ends at the file's end
        {"over", 0x7fffffff, 0x40000002, false, false},    // a byte past it
        {"past", 0x7fffffff, 0x7fffffff, false, false},
        {"edge", 0xbfffffffu, 0, false, false},            // an offset with the top bit set is negative
        {"neg", 0, 0x80000000u, false, false},
    };
    Bytes directory;
    for (const Record& r : records) {
        Bytes record(64, 0);
        std::copy(r.name.begin(), r.name.end(), record.begin());
        for (int k = 0; k < 4; ++k) {
            record[56 + k] = static_cast<uint8_t>(r.at >> (8 * k));
            record[60 + k] = static_cast<uint8_t>(r.size >> (8 * k));
        }
        directory.insert(directory.end(), record.begin(), record.end());
    }
    const size_t count = std::size(records);
    // From every record on, so each is the first a check meets.
    for (size_t from = 0; from < count; ++from) {
        size_t expected = from;
        while (expected < count && records[expected].fits) ++expected;
        const std::span<const uint8_t> rest = std::span(directory).subspan(64 * from);
        Bytes fastest(count - from, 0xff), portable(count - from, 0xff);
        const size_t bad = FirstPakRecordNotFitting(rest, fileSize, fastest);
        const size_t badPortable = FirstPakRecordNotFitting(rest, fileSize, portable, PakRecordCheck::Portable);
        ASSERT_EQ(std::pair(bad + from, badPortable + from), std::pair(expected, expected)) << "from " << from;
        for (size_t i = from; i < expected; ++i) {
            const int want = static_cast<int>(strnlen(records[i].name.c_str(), 56)) | (records[i].model ? kPakModelFlag : 0);
            EXPECT_EQ(std::pair(int{fastest[i - from]}, int{portable[i - from]}), std::pair(want, want)) << records[i].name;
        }
    }
}

TEST(Archives, HostileOnesAreRefusedWithTheirReason) {
    testing::TempDir dir;
    for (const testing::HostileArchive& h : testing::HostileArchives()) {
        // The archive, or else the entry read whole.
        std::string detail;
        if (auto archive = Archive::Read(h.bytes); !archive) {
            detail = archive.Detail();
        } else if (const auto index = archive.Value().Find(h.entry); !index) {
            detail = "no entry " + h.entry;
        } else if (auto entry = archive.Value().OpenEntry(*index, kMaxModelEntryBytes); !entry) {
            detail = entry.Detail();
        } else {
            Bytes bytes;
            detail = entry.Value()->ReadMore(bytes, entry.Value()->Size()).Detail();
            EXPECT_LE(bytes.size(), entry.Value()->Size()) << h.name;
        }
        EXPECT_NE(detail.find(h.reason), std::string::npos) << h.name << ": " << detail;
    }
    // Through a path, the detail names the archive first.
    const testing::HostileArchive h = testing::HostileArchives().front();
    const std::string path = dir.Write(h.name, h.bytes).string();
    auto model = LoadMd2Model(path + "/" + h.entry);
    EXPECT_EQ(model.Error(), ErrorKind::CannotOpen);
    EXPECT_EQ(model.Detail().rfind(path + ": the PAK directory", 0), 0u) << model.Detail();
}

TEST(Archives, AModelFindsItsSkinAlongTheGameSearchPathFromInsideAnArchiveOrLoose) {
    // Each holder of "players/x/skin.pcx" has a colour of its own; "loose" is the game folder itself, and
    // "../baseq2/..." a holder in the baseq2 folder beside the game folder, which a mod falls back on. The
    // model lies in pak0.pak or loose in the game folder, beside a picture and a text.
    const struct { std::vector<std::string> holders; const char* winner; const char* model = "pak0.pak"; } cases[] = {
        {{"pak0.pak", "pak1.pak"}, "pak1.pak"},                // a later pak overrides pak0
        {{"pak0.pak", "pak10.pak", "pak2.pak"}, "pak10.pak"},  // by number, not by name
        {{"pak0.pak", "zz.pk3"}, "pak0.pak"},                   // the numbered paks before the other archives
        {{"a.pk3", "b.zip"}, "b.zip"},                          // then the others, later names first
        {{"loose", "a.pk3"}, "a.pk3"},                          // then the loose files
        {{"loose"}, "loose"},
        {{}, nullptr},
        // A loose model looks in its game folder's archives too, and an archive's copy wins over a loose one.
        {{"loose", "pak0.pak"}, "pak0.pak", "loose"},
        {{"pak3.pak"}, "pak3.pak", "loose"},
        {{"loose"}, "loose", "loose"},
        // A mod's folder searches baseq2 after itself, its archives before its loose files.
        {{"../baseq2/pak0.pak", "../baseq2/loose"}, "../baseq2/pak0.pak", "loose"},
        {{"../baseq2/pak0.pak", "loose"}, "loose", "loose"},
        {{"../baseq2/loose"}, "../baseq2/loose"},
    };
    const Bytes model = [] {
        auto quad = testing::SmallQuad();
        quad.skins = {"Players\\X\\Skin.pcx"};
        return fixtures::WriteMd2(quad);
    }();
    for (const auto& c : cases) {
        testing::TempDir dir;
        const auto skin = [](size_t holder) {
            return fixtures::WritePcx({1, 1, {0}, {{static_cast<uint8_t>(10 * holder + 10), 0, 0}}});
        };
        const std::vector<ArchiveFile> beside = {{"players/x/tris.md2", model}, {"players/x/notes.txt", {'h', 'i'}},
                                                 {"players/x/other.bmp", fixtures::WriteBmp8({1, 1, {0}, {{1, 2, 3}}})}};
        const auto at = [](const std::string& path) { return (fs::path("game") / path).lexically_normal().string(); };
        std::map<std::string, std::vector<ArchiveFile>> archives;
        if (std::string(c.model) == "loose")
            for (const ArchiveFile& f : beside) dir.Write(at(f.name), f.bytes);
        else
            archives[c.model] = beside;
        for (size_t h = 0; h < c.holders.size(); ++h) {
            const std::string& holder = c.holders[h];
            if (holder.ends_with("loose"))
                dir.Write(at(holder.substr(0, holder.size() - 5) + "players/x/skin.pcx"), skin(h));
            else
                archives[holder].push_back({"players/x/skin.pcx", skin(h)});
        }
        for (const auto& [name, files] : archives)
            dir.Write(at(name), name.ends_with(".pak") ? fixtures::WritePak(files) : fixtures::WriteZip(files));
        ModelList list;
        const std::string where = std::string(c.model) == "loose" ? "game" : std::string("game/") + c.model;
        auto opened = OpenModelFile(list, (dir.Path() / where / "players/x/tris.md2").string());
        ASSERT_TRUE(opened) << opened.Detail();
        const FoundSkin found = FindNamedSkin(*opened.Value());
        const std::string label = std::string(c.model) + ": " + (c.winner ? c.winner : "none");
        if (!c.winner) {
            EXPECT_FALSE(found.picture) << found.path;
            continue;
        }
        const std::string winner = c.winner;
        const size_t holder = std::find(c.holders.begin(), c.holders.end(), winner) - c.holders.begin();
        const fs::path file = dir.Path() / "game" /
                              (winner.ends_with("loose") ? winner.substr(0, winner.size() - 5) : winner) /
                              "players/x/skin.pcx";
        ASSERT_TRUE(found.picture) << label;
        EXPECT_EQ(std::pair(found.path, int{found.picture->pixels[0]}),
                  std::pair(file.lexically_normal().string(), int(10 * holder + 10))) << label;
        // File > Skin offers it, checked once it is the texture, then the pictures beside the model.
        opened.Value()->Map(MapKind::Texture) = found.picture;
        const std::vector<SkinChoice> choices = SkinChoices(*opened.Value());
        ASSERT_GE(choices.size(), 2u) << label;
        EXPECT_EQ(std::tuple(choices[0].path, choices.back().label, IsCurrentSkin(*opened.Value(), choices[0])),
                  std::tuple(found.path, std::string("other.bmp"), true)) << label;
    }
}

}  // namespace
}  // namespace meshara

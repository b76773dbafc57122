// The command handlers driven through a recording user interface: which
// selection each one needs, what it changes, what it repaints and in which
// order, and how refused files leave the document alone. Real MD2, PCX, BMP
// and LGT files are written into a temporary folder for every test.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/document.h"
#include "lights/lgt_file.h"
#include "resources/ids.h"
#include "resources/messages.h"
#include "skins/skin_decoder.h"
#include "tests/fake_ui_port.h"
#include "tests/test_support.h"
#include "tools/writers/byte_writer.h"
#include "tools/writers/lgt_writer.h"
#include "tools/writers/md2_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
using testing::FakeUiPort;
using Log = std::vector<std::string>;

const Log kChanged = {"redraw", "refresh"};
const Log kNothing = {};

// Texture births (from the test skin loader) and deaths (from the release
// hook) in one sequence, so their order can be checked.
std::vector<std::string>& TextureEvents() {
    static std::vector<std::string> events;
    return events;
}
void RecordRelease(uint32_t texture) { TextureEvents().push_back("deleted " + std::to_string(texture)); }

std::vector<uint8_t> ModelBytes(int frames) {
    auto source = testing::SmallQuad();
    source.frames.resize(static_cast<size_t>(frames), source.frames.front());
    return fixtures::WriteMd2(source);
}

fixtures::IndexedPicture TinyPicture() {
    fixtures::IndexedPicture p;
    p.width = 2;
    p.height = 2;
    p.indices = {0, 1, 1, 0};
    p.palette = {{10, 20, 30}, {200, 100, 50}};
    return p;
}

std::vector<uint8_t> PcxBytes() { return fixtures::WritePcx(TinyPicture()); }
std::vector<uint8_t> BmpBytes() { return fixtures::WriteBmp8(TinyPicture()); }

// The fifteen numbers and the name, bit for bit.
bool SameLightValues(const LightRecord& a, const LightRecord& b) {
    const float sa[] = {a.quadraticAttenuation, a.constantAttenuation, a.linearAttenuation, a.spotExponent,
                        a.spotCutoff};
    const float sb[] = {b.quadraticAttenuation, b.constantAttenuation, b.linearAttenuation, b.spotExponent,
                        b.spotCutoff};
    return std::memcmp(a.position, b.position, sizeof a.position) == 0 &&
           std::memcmp(a.spotDirection, b.spotDirection, sizeof a.spotDirection) == 0 &&
           std::memcmp(a.ambient, b.ambient, sizeof a.ambient) == 0 &&
           std::memcmp(a.diffuse, b.diffuse, sizeof a.diffuse) == 0 &&
           std::memcmp(a.specular, b.specular, sizeof a.specular) == 0 && std::memcmp(sa, sb, sizeof sa) == 0 &&
           a.name == b.name;
}

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        TextureEvents().clear();
        SetTextureReleaseHook(&RecordRelease);
    }
    void TearDown() override {
        doc.Clear();
        SetTextureReleaseHook(nullptr);
    }

    // Tests of the default extension need a folder whose own path has no dot.
    bool TempPathHasDot() const { return dir.Path().string().find('.') != std::string::npos; }

    std::string Write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
        const fs::path p = dir.Path() / relative;
        fs::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }
    std::string PathOf(const std::string& relative) const { return (dir.Path() / relative).string(); }

    // Opens a model through the command and forgets what that logged.
    Md2Model& Open(const std::string& name, int frames = 2) {
        EXPECT_TRUE(commands.OpenModelPath(Write(name, ModelBytes(frames))));
        ui.log.clear();
        return *doc.models.models.back();
    }
    LightRecord& AddLight(const std::string& name) {
        auto light = std::make_unique<LightRecord>();
        light->name = name;
        LightRecord& raw = *light;
        AppendGlobalLight(doc.lights, std::move(light));
        return raw;
    }
    void LoadInto(MapRow row, const std::string& path, int filter = 0) {
        ui.AnswerFile(path, filter);
        commands.LoadMap(row);
        ui.log.clear();
    }
    std::vector<std::string> ModelNames() const {
        std::vector<std::string> out;
        for (const auto& m : doc.models.models) out.push_back(m->name);
        return out;
    }
    std::vector<std::string> LightNames() const {
        std::vector<std::string> out;
        for (const auto& l : doc.lights.lights) out.push_back(l->name);
        return out;
    }
    void Reset() {
        doc.Clear();
        doc.models.currentModel = -1;
        doc.models.currentFrame = 0;
        ui.log.clear();
        TextureEvents().clear();
        nextTexture = 1;
    }

    testing::TempDir dir;
    Document doc;
    ViewState view;
    FakeUiPort ui;
    uint32_t nextTexture = 1;
    std::vector<std::string> skinPaths;  // every path the skin loader was given
    Commands commands{doc, view, ui, [this](const std::string& path) {
                          skinPaths.push_back(path);
                          auto result = ReadSkinImage(path);
                          if (result) {
                              result.Value()->texture = nextTexture++;
                              TextureEvents().push_back("made " + std::to_string(result.Value()->texture));
                          }
                          return result;
                      }};
};

// ---------------------------------------------------------------- default extension

TEST(DefaultExtension, OnlyAPathWithoutAnyDotGetsOne) {
    const struct {
        const char* path;
        const char* extension;
        const char* expected;
    } cases[] = {
        {"/home/user/models/tris", ".md2", "/home/user/models/tris.md2"},
        {"light", ".lgt", "light.lgt"},
        {"C:\\quake2\\skins\\skin", ".pcx", "C:\\quake2\\skins\\skin.pcx"},
        {"/home/user/v1.2/tris", ".md2", "/home/user/v1.2/tris"},  // a dot in a folder name counts
        {"/home/user/.config/light", ".lgt", "/home/user/.config/light"},
        {"/home/user/tris.MD2", ".md2", "/home/user/tris.MD2"},
        {"/home/user/tris.", ".md2", "/home/user/tris."},
        {"/home/user/skin.bmp", ".pcx", "/home/user/skin.bmp"},  // another extension is not replaced
    };
    for (const auto& c : cases) EXPECT_EQ(WithDefaultExtension(c.path, c.extension), c.expected) << c.path;
}

// ---------------------------------------------------------------- models

using ModelCommands = CommandsTest;

TEST_F(ModelCommands, OpenAppendsMakesCurrentAndLeavesTheFrame) {
    const auto first = Write("first.md2", ModelBytes(2));
    const auto second = Write("second.md2", ModelBytes(3));
    doc.models.currentFrame = 1;
    ui.AnswerFile(first);
    commands.OpenModel();
    EXPECT_EQ(doc.models.currentModel, 0);
    ui.AnswerFile(second);
    commands.OpenModel();

    EXPECT_EQ(ModelNames(), (std::vector<std::string>{"first.md2", "second.md2"}));
    EXPECT_EQ(doc.models.currentModel, 1);
    EXPECT_EQ(doc.models.currentFrame, 1);
    EXPECT_EQ(doc.models.models[1]->FrameCount(), 3);
    EXPECT_EQ(ui.log, (Log{"choose:*.md2", "redraw", "refresh", "choose:*.md2", "redraw", "refresh"}));
    ASSERT_EQ(ui.fileDialogs.size(), 2u);
    EXPECT_EQ(ui.fileDialogs[0].wildcard, "Quake2 Model (*.md2)|*.md2|All Files (*.*)|*.*");
    EXPECT_FALSE(ui.fileDialogs[0].forSaving);
}

TEST_F(ModelCommands, CancelledOpenChangesNothing) {
    Open("kept.md2");
    ui.CancelFile();
    commands.OpenModel();
    EXPECT_EQ(doc.models.Count(), 1);
    EXPECT_EQ(ui.log, (Log{"choose:*.md2"}));
}

TEST_F(ModelCommands, RefusedFileShowsItsMessageAndChangesNothing) {
    auto damaged = ModelBytes(2);
    fixtures::PatchS32(damaged, fixtures::md2field::kFramesOffset, 1 << 20);
    const struct {
        const char* why;
        std::optional<std::vector<uint8_t>> bytes;  // none: the file does not exist
        const char* message;
    } cases[] = {
        {"not an MD2", std::vector<uint8_t>{'I', 'D', 'P', '3', 0, 0, 0, 0}, msg::kNotMd2},
        {"frame table outside the file", damaged, msg::kDamagedMd2},
        {"only the magic", std::vector<uint8_t>{'I', 'D', 'P', '2'}, msg::kDamagedMd2},
        {"missing file", std::nullopt, msg::kCannotLoadFile},
    };
    Open("kept.md2", 3);
    doc.models.currentFrame = 2;
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string name = "refused" + std::to_string(n++) + ".md2";
        const std::string path = c.bytes ? Write(name, *c.bytes) : PathOf(name);
        ui.log.clear();
        ui.AnswerFile(path);
        commands.OpenModel();
        EXPECT_EQ(ui.log, (Log{"choose:*.md2", std::string("message:") + c.message}));
        EXPECT_EQ(ModelNames(), (std::vector<std::string>{"kept.md2"}));
        EXPECT_EQ(doc.models.currentModel, 0);
        EXPECT_EQ(doc.models.currentFrame, 2);
    }
}

TEST_F(ModelCommands, ChosenPathGetsMd2OnlyWithoutAnyDot) {
    if (TempPathHasDot()) GTEST_SKIP() << "the temporary folder's path holds a dot";
    const struct {
        const char* chosen;
        std::vector<const char*> files;
        const char* openedName;
    } cases[] = {
        {"plain/tris", {"plain/tris.md2"}, "tris.md2"},
        {"v1.5/tris", {"v1.5/tris", "v1.5/tris.md2"}, "tris"},  // dot in the folder: taken as typed
        {"ext/tris.bin", {"ext/tris.bin", "ext/tris.bin.md2"}, "tris.bin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        Reset();
        for (const char* f : c.files) Write(f, ModelBytes(2));
        ui.AnswerFile(PathOf(c.chosen));
        commands.OpenModel();
        EXPECT_EQ(ModelNames(), (std::vector<std::string>{c.openedName}));
        EXPECT_TRUE(ui.Messages().empty());
    }
}

TEST_F(ModelCommands, OpenModelPathTakesThePathAsGivenWithoutADialog) {
    Write("tris.md2", ModelBytes(2));
    EXPECT_FALSE(commands.OpenModelPath(PathOf("tris")));  // no extension is guessed
    EXPECT_EQ(doc.models.Count(), 0);
    EXPECT_EQ(doc.models.currentModel, -1);
    EXPECT_EQ(ui.log, (Log{std::string("message:") + msg::kCannotLoadFile}));

    ui.log.clear();
    EXPECT_TRUE(commands.OpenModelPath(PathOf("tris.md2")));
    EXPECT_EQ(doc.models.currentModel, 0);
    EXPECT_EQ(ui.log, kChanged);
    EXPECT_TRUE(ui.fileDialogs.empty());
}

TEST_F(ModelCommands, RemoveReleasesTheCurrentModelAndRepairsTheSelection) {
    const struct {
        int32_t current;
        std::vector<std::string> left;
        int32_t newCurrent;
        const char* deleted;  // the texture that goes with the model
    } cases[] = {
        {2, {"a.md2", "b.md2"}, 0, "deleted 3"},  // the last one: the first becomes current
        {0, {"b.md2", "c.md2"}, 0, "deleted 1"},  // the former second moves into its place
        {1, {"a.md2", "c.md2"}, 1, "deleted 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.current);
        Reset();
        uint32_t texture = 1;
        for (const char* name : {"a.md2", "b.md2", "c.md2"}) {
            auto skin = std::make_unique<SkinImage>();
            skin->texture = texture++;
            Open(name).textureMap = std::move(skin);
        }
        doc.models.currentModel = c.current;
        commands.RemoveModel();
        EXPECT_EQ(ModelNames(), c.left);
        EXPECT_EQ(doc.models.currentModel, c.newCurrent);
        EXPECT_EQ(TextureEvents(), (std::vector<std::string>{c.deleted}));
        EXPECT_EQ(ui.log, kChanged);
    }
}

TEST_F(ModelCommands, RemovingTheOnlyModelLeavesNoneAndFrameZero) {
    Open("only.md2", 2);
    doc.models.currentFrame = 1;
    commands.RemoveModel();
    EXPECT_EQ(doc.models.Count(), 0);
    EXPECT_EQ(doc.models.currentModel, -1);
    EXPECT_EQ(doc.models.currentFrame, 0);
    EXPECT_EQ(ui.log, kChanged);
}

TEST_F(ModelCommands, RemoveResetsOnlyAFrameTheRemainingModelsLack) {
    const struct {
        int32_t frame, expected;
    } cases[] = {{4, 0}, {3, 0}, {2, 2}, {0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame);
        Reset();
        Open("five.md2", 5);
        Open("three.md2", 3);
        doc.models.currentModel = 0;
        doc.models.currentFrame = c.frame;
        commands.RemoveModel();
        EXPECT_EQ(ModelNames(), (std::vector<std::string>{"three.md2"}));
        EXPECT_EQ(doc.models.currentFrame, c.expected);
    }
}

TEST_F(ModelCommands, FramesWrapOverTheLongestModel) {
    Open("five.md2", 5);
    Open("three.md2", 3);
    std::vector<int32_t> forward;
    for (int i = 0; i < 5; ++i) {
        commands.NextFrame();
        forward.push_back(doc.models.currentFrame);
    }
    EXPECT_EQ(forward, (std::vector<int32_t>{1, 2, 3, 4, 0}));
    std::vector<int32_t> backward;
    for (int i = 0; i < 3; ++i) {
        commands.PreviousFrame();
        backward.push_back(doc.models.currentFrame);
    }
    EXPECT_EQ(backward, (std::vector<int32_t>{4, 3, 2}));
    EXPECT_EQ(ui.log.size(), 16u);
}

TEST_F(ModelCommands, WithoutModelsPreviousGivesMinusOneAndNextZero) {
    commands.PreviousFrame();
    EXPECT_EQ(doc.models.currentFrame, -1);
    commands.NextFrame();
    EXPECT_EQ(doc.models.currentFrame, 0);
    EXPECT_EQ(ui.log, (Log{"redraw", "refresh", "redraw", "refresh"}));

    // A model opened meanwhile does not pull the frame back into range.
    commands.PreviousFrame();
    Open("late.md2", 2);
    EXPECT_EQ(doc.models.currentFrame, -1);
    commands.NextFrame();
    EXPECT_EQ(doc.models.currentFrame, 0);
}

TEST_F(ModelCommands, ToggleVisibleTwiceRestores) {
    Md2Model& model = Open("m.md2");
    commands.ToggleModelVisible();
    EXPECT_EQ(model.visible, 0);
    commands.ToggleModelVisible();
    EXPECT_EQ(model.visible, 1);
    EXPECT_EQ(ui.log, (Log{"redraw", "refresh", "redraw", "refresh"}));
}

TEST_F(ModelCommands, SelectionFromTheListResolvesOrClears) {
    Open("a.md2");
    Open("b.md2");
    Open("c.md2");
    const struct {
        int index;
        int32_t expected;
        bool repaints;
    } cases[] = {{0, 0, true}, {2, 2, true}, {-1, -1, false}, {3, -1, false}, {INT_MIN, -1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        doc.models.currentModel = 1;
        ui.log.clear();
        commands.SelectModel(c.index);
        EXPECT_EQ(doc.models.currentModel, c.expected);
        EXPECT_EQ(ui.log, c.repaints ? kChanged : kNothing);
    }
}

TEST_F(ModelCommands, CommandsOnTheCurrentModelDoNothingWithoutOne) {
    Md2Model& model = Open("m.md2");
    for (int32_t current : {-1, 1, 7}) {
        SCOPED_TRACE(current);
        doc.models.currentModel = current;
        ui.log.clear();
        commands.RemoveModel();
        commands.ToggleModelVisible();
        commands.ToggleEnvironmentMap();
        EXPECT_EQ(doc.models.Count(), 1);
        EXPECT_EQ(model.visible, 1);
        EXPECT_EQ(model.environmentMapped, 0);
        EXPECT_EQ(doc.models.currentModel, current);
        EXPECT_EQ(ui.log, kNothing);
    }
}

// ---------------------------------------------------------------- skin maps

using MapCommands = CommandsTest;

using MapField = std::unique_ptr<SkinImage> Md2Model::*;
using FlagField = int32_t Md2Model::*;

struct RowFields {
    MapRow row;
    int loadId;
    MapField map;
    FlagField flag;
};
const RowFields kRows[] = {
    {MapRow::Texture, ids::kTextureMapLoad, &Md2Model::textureMap, &Md2Model::textureMapOn},
    {MapRow::Diffusion, ids::kDiffusionMapLoad, &Md2Model::diffusionMap, &Md2Model::diffusionMapOn},
    {MapRow::Specularity, ids::kSpecularityMapLoad, &Md2Model::specularityMap, &Md2Model::specularityMapOn},
    {MapRow::Glow, ids::kGlowMapLoad, &Md2Model::glowMap, &Md2Model::glowMapOn},
};

TEST_F(MapCommands, EachRowsButtonsLoadToggleAndClearThatRowOnly) {
    const auto skin = Write("skin.pcx", PcxBytes());
    for (const auto& r : kRows) {
        SCOPED_TRACE(r.loadId);
        Reset();
        Md2Model& model = Open("m.md2");

        ui.AnswerFile(skin);
        EXPECT_TRUE(commands.Run(r.loadId));
        for (const auto& other : kRows) {
            if (other.map == r.map) {
                ASSERT_NE(model.*other.map, nullptr);
                EXPECT_EQ((model.*other.map)->fileName, "skin.pcx");
                EXPECT_NE((model.*other.map)->texture, 0u);
            } else {
                EXPECT_EQ(model.*other.map, nullptr);
            }
        }

        EXPECT_TRUE(commands.Run(r.loadId + 2));
        for (const auto& other : kRows) EXPECT_EQ(model.*other.flag, other.flag == r.flag ? 0 : 1);

        EXPECT_TRUE(commands.Run(r.loadId + 1));
        for (const auto& other : kRows) EXPECT_EQ(model.*other.map, nullptr);
        EXPECT_EQ(model.*r.flag, 0);  // the clear left the switch alone

        EXPECT_EQ(ui.log, (Log{"choose:*.pcx;*.bmp", "redraw", "refresh", "redraw", "refresh", "redraw", "refresh"}));
        EXPECT_EQ(TextureEvents(), (std::vector<std::string>{"made 1", "deleted 1"}));
    }
    ASSERT_FALSE(ui.fileDialogs.empty());
    EXPECT_EQ(ui.fileDialogs[0].wildcard,
              "Supported Formats (*.pcx;*.bmp)|*.pcx;*.bmp|DeluxePaint PCX (*.pcx)|*.pcx|"
              "Microsoft Bitmap (*.bmp)|*.bmp|All Files (*.*)|*.*");
    EXPECT_FALSE(ui.fileDialogs[0].forSaving);
}

TEST_F(MapCommands, ToggleOfRowTwoSwitchesDiffusionNotSpecularityEvenWithoutAMap) {
    Md2Model& model = Open("m.md2");
    commands.ToggleMap(MapRow::Diffusion);
    EXPECT_EQ(model.diffusionMapOn, 0);
    EXPECT_EQ(model.specularityMapOn, 1);
    EXPECT_EQ(model.diffusionMap, nullptr);
    EXPECT_EQ(ui.log, kChanged);
}

TEST_F(MapCommands, LoadKeepsTheFlagAsItWas) {
    Md2Model& model = Open("m.md2");
    model.glowMapOn = 0;
    LoadInto(MapRow::Glow, Write("glow.bmp", BmpBytes()));
    ASSERT_NE(model.glowMap, nullptr);
    EXPECT_EQ(model.glowMapOn, 0);
}

TEST_F(MapCommands, ReplaceDeletesTheOldTextureOnlyOnceTheNewOneExists) {
    Md2Model& model = Open("m.md2");
    LoadInto(MapRow::Specularity, Write("old.pcx", PcxBytes()));
    ui.AnswerFile(Write("new.bmp", BmpBytes()));
    commands.LoadMap(MapRow::Specularity);
    ASSERT_NE(model.specularityMap, nullptr);
    EXPECT_EQ(model.specularityMap->fileName, "new.bmp");
    EXPECT_EQ(model.specularityMap->texture, 2u);
    EXPECT_EQ(TextureEvents(), (std::vector<std::string>{"made 1", "made 2", "deleted 1"}));
    EXPECT_EQ(ui.log, (Log{"choose:*.pcx;*.bmp", "redraw", "refresh"}));
}

TEST_F(MapCommands, RefusedPictureKeepsTheOldMapAndSaysOnlyWhatItShould) {
    auto sixteenBits = fixtures::WriteBmp24(fixtures::ToRgb(TinyPicture()));
    fixtures::PatchU16(sixteenBits, 28, 16);  // bit count of the information header
    auto huge = PcxBytes();
    fixtures::PatchU16(huge, 8, 20000);  // xmax
    const struct {
        const char* why;
        std::optional<std::vector<uint8_t>> bytes;
        const char* message;  // null: refused without a word
    } cases[] = {
        {"not a picture", std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}, msg::kNotSkin},
        {"empty file", std::vector<uint8_t>{}, msg::kNotSkin},
        {"wider than accepted", huge, msg::kNotSkin},
        {"BMP of 16 bits", sixteenBits, nullptr},
        {"missing file", std::nullopt, nullptr},
    };
    Md2Model& model = Open("m.md2");
    LoadInto(MapRow::Texture, Write("good.pcx", PcxBytes()));
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string name = "bad" + std::to_string(n++) + ".pcx";
        ui.AnswerFile(c.bytes ? Write(name, *c.bytes) : PathOf(name));
        commands.LoadMap(MapRow::Texture);
        Log expected{"choose:*.pcx;*.bmp"};
        if (c.message) expected.push_back(std::string("message:") + c.message);
        EXPECT_EQ(ui.log, expected);
        ASSERT_NE(model.textureMap, nullptr);
        EXPECT_EQ(model.textureMap->fileName, "good.pcx");
        EXPECT_EQ(model.textureMap->texture, 1u);
        EXPECT_EQ(TextureEvents(), (std::vector<std::string>{"made 1"}));
        ui.log.clear();
    }
}

TEST_F(MapCommands, ChosenPathGetsBmpWithTheThirdFilterAndPcxOtherwise) {
    if (TempPathHasDot()) GTEST_SKIP() << "the temporary folder's path holds a dot";
    for (const char* f : {"skin.pcx", "skin.bmp", "v1.0/skin", "v1.0/skin.bmp", "v1.0/skin.pcx"})
        Write(f, PcxBytes());  // the decoder goes by content, so one format serves every name
    const struct {
        const char* chosen;
        int filter;
        const char* loaded;
    } cases[] = {
        {"skin", 0, "skin.pcx"},
        {"skin", 1, "skin.pcx"},
        {"skin", 2, "skin.bmp"},
        {"skin", 3, "skin.pcx"},
        {"v1.0/skin", 2, "v1.0/skin"},
        {"v1.0/skin", 0, "v1.0/skin"},
    };
    Md2Model& model = Open("m.md2");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.chosen) + " with filter " + std::to_string(c.filter));
        ui.AnswerFile(PathOf(c.chosen), c.filter);
        commands.LoadMap(MapRow::Texture);
        ASSERT_FALSE(skinPaths.empty());
        EXPECT_EQ(skinPaths.back(), PathOf(c.loaded));
        ASSERT_NE(model.textureMap, nullptr);
        EXPECT_EQ(model.textureMap->fileName, FileNameOfPath(c.loaded));
    }
}

TEST_F(MapCommands, ClearOfAnEmptyRowStillRepaints) {
    Md2Model& model = Open("m.md2");
    commands.ClearMap(MapRow::Glow);
    EXPECT_EQ(model.glowMap, nullptr);
    EXPECT_EQ(ui.log, kChanged);
}

TEST_F(MapCommands, MapSwitchedOffBeforeAClearComesBackOff) {
    Md2Model& model = Open("m.md2");
    LoadInto(MapRow::Diffusion, Write("d.pcx", PcxBytes()));
    commands.ToggleMap(MapRow::Diffusion);
    commands.ClearMap(MapRow::Diffusion);
    EXPECT_EQ(TextureEvents(), (std::vector<std::string>{"made 1", "deleted 1"}));
    LoadInto(MapRow::Diffusion, PathOf("d.pcx"));
    ASSERT_NE(model.diffusionMap, nullptr);
    EXPECT_EQ(model.diffusionMapOn, 0);
}

TEST_F(MapCommands, AllTwelveButtonsDoNothingWithoutACurrentModel) {
    Md2Model& model = Open("m.md2");
    const auto skin = Write("skin.pcx", PcxBytes());
    ui.AnswerFile(skin);  // there for the taking, should a dialog wrongly open
    for (int32_t current : {-1, 1}) {
        doc.models.currentModel = current;
        for (int id = ids::kTextureMapLoad; id < ids::kTextureMapLoad + 12; ++id) {
            SCOPED_TRACE(id);
            EXPECT_TRUE(commands.Run(id));
        }
    }
    EXPECT_EQ(ui.log, kNothing);
    EXPECT_EQ(ui.PendingFileAnswers(), 1u);
    for (const auto& r : kRows) {
        EXPECT_EQ(model.*r.map, nullptr);
        EXPECT_EQ(model.*r.flag, 1);
    }
    EXPECT_TRUE(skinPaths.empty());
}

// ---------------------------------------------------------------- lights

using LightCommands = CommandsTest;

TEST_F(LightCommands, NewLightIsADefaultLightThatGetsSelected) {
    commands.NewLight();
    commands.NewLight();
    ASSERT_EQ(doc.lights.Count(), 2);
    EXPECT_EQ(doc.lights.selectedGlobalLight, 1);
    for (const auto& light : doc.lights.lights) {
        EXPECT_TRUE(SameLightValues(*light, LightRecord{}));
        EXPECT_EQ(light->name, "New Light");
        EXPECT_EQ(light->on, 1);
    }
    EXPECT_EQ(ui.log, (Log{"redraw", "refresh", "redraw", "refresh"}));
}

TEST_F(LightCommands, DeleteRepairsTheGlobalSelection) {
    const struct {
        int count;
        int32_t selected;
        std::vector<std::string> left;
        int32_t newSelected;
    } cases[] = {
        {3, 1, {"L0", "L2"}, 1},  // the next light moves under the selection
        {3, 2, {"L0", "L1"}, 0},  // the last one: back to the first
        {1, 0, {}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selected);
        Reset();
        for (int i = 0; i < c.count; ++i) AddLight("L" + std::to_string(i));
        doc.lights.selectedGlobalLight = c.selected;
        commands.DeleteLight();
        EXPECT_EQ(LightNames(), c.left);
        EXPECT_EQ(doc.lights.selectedGlobalLight, c.newSelected);
        EXPECT_EQ(ui.log, kChanged);
    }
}

TEST_F(LightCommands, DeleteTakesTheLightOutOfEveryModelEveryTime) {
    // Built through the commands, as a user would.
    Open("m0.md2");
    Open("m1.md2");
    Open("m2.md2");
    commands.NewLight();
    doc.lights.lights[0]->name = "A";
    commands.NewLight();
    doc.lights.lights[1]->name = "B";
    auto give = [&](int model, int light) {
        commands.SelectModel(model);
        commands.SelectGlobalLight(light);
        commands.AddModelLight();
    };
    give(0, 0);
    give(0, 1);
    give(0, 0);  // A twice in one model
    give(1, 0);
    give(2, 1);
    give(2, 0);
    ASSERT_EQ(doc.models.models[0]->lights.size(), 3u);
    EXPECT_EQ(doc.models.models[0]->currentLight, 2);

    commands.SelectGlobalLight(0);
    ui.log.clear();
    commands.DeleteLight();
    EXPECT_EQ(LightNames(), (std::vector<std::string>{"B"}));
    EXPECT_EQ(doc.lights.selectedGlobalLight, 0);
    const struct {
        size_t entries;
        int32_t currentLight;
    } expected[] = {{1, 0}, {0, -1}, {1, 0}};
    for (size_t m = 0; m < 3; ++m) {
        SCOPED_TRACE(m);
        const Md2Model& model = *doc.models.models[m];
        ASSERT_EQ(model.lights.size(), expected[m].entries);
        for (const auto& entry : model.lights) EXPECT_EQ(entry.light, doc.lights.lights[0].get());
        EXPECT_EQ(model.currentLight, expected[m].currentLight);
    }
    EXPECT_EQ(ui.log, kChanged);
}

TEST_F(LightCommands, CommandsOnTheSelectedLightDoNothingWithoutOne) {
    Md2Model& model = Open("m.md2");
    AddLight("A");
    AddLight("B");
    ui.lightDialog = [](LightRecord&, const std::function<void()>&) {
        ADD_FAILURE() << "no dialog without a selected light";
        return false;
    };
    const struct {
        const char* name;
        void (Commands::*command)();
    } cases[] = {
        {"delete", &Commands::DeleteLight},         {"toggle", &Commands::ToggleLight},
        {"properties", &Commands::EditLightProperties}, {"add to model", &Commands::AddModelLight},
        {"export", &Commands::ExportLight},
    };
    for (int32_t selected : {-1, 2, 100}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " with selection " + std::to_string(selected));
            doc.lights.selectedGlobalLight = selected;
            ui.log.clear();
            (commands.*c.command)();
            EXPECT_EQ(ui.log, kNothing);
            EXPECT_EQ(LightNames(), (std::vector<std::string>{"A", "B"}));
            EXPECT_EQ(doc.lights.lights[0]->on + doc.lights.lights[1]->on, 2);
            EXPECT_TRUE(model.lights.empty());
            EXPECT_EQ(model.currentLight, -1);
        }
    }
}

TEST_F(LightCommands, ToggleSwitchesTheSelectedLightOnly) {
    AddLight("A");
    AddLight("B");
    doc.lights.selectedGlobalLight = 1;
    commands.ToggleLight();
    EXPECT_EQ(doc.lights.lights[0]->on, 1);
    EXPECT_EQ(doc.lights.lights[1]->on, 0);
    commands.ToggleLight();
    EXPECT_EQ(doc.lights.lights[1]->on, 1);
    EXPECT_EQ(ui.log, (Log{"redraw", "refresh", "redraw", "refresh"}));
}

TEST_F(LightCommands, PropertiesDialogEditsTheSelectedLightAndRefreshesHoweverItEnds) {
    const struct {
        const char* why;
        bool applyFirst;
        bool ok;
        Log log;
    } cases[] = {
        {"Apply then Cancel keeps what Apply did", true, false,
         {"redraw", "light-dialog", "redraw", "redraw", "refresh"}},
        {"Apply then OK", true, true, {"redraw", "light-dialog", "redraw", "redraw", "refresh"}},
        {"OK alone", false, true, {"redraw", "light-dialog", "redraw", "refresh"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Reset();
        AddLight("A");
        LightRecord& b = AddLight("B");
        doc.lights.selectedGlobalLight = 1;
        LightRecord* shown = nullptr;
        ui.lightDialog = [&](LightRecord& light, const std::function<void()>& apply) {
            shown = &light;
            light.ambient[0] = 2;
            light.name = "Rim";
            if (c.applyFirst) apply();
            return c.ok;
        };
        commands.EditLightProperties();
        EXPECT_EQ(shown, &b);
        EXPECT_EQ(b.ambient[0], 2);
        EXPECT_EQ(b.name, "Rim");
        EXPECT_EQ(doc.lights.lights[0]->name, "A");
        EXPECT_EQ(ui.log, c.log);
    }
}

TEST_F(LightCommands, GlobalSelectionResolvesOrClears) {
    AddLight("A");
    AddLight("B");
    const struct {
        int index;
        int32_t expected;
        bool repaints;
    } cases[] = {{0, 0, true}, {1, 1, true}, {-1, -1, false}, {2, -1, false}, {INT_MAX, -1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        doc.lights.selectedGlobalLight = 0;
        ui.log.clear();
        commands.SelectGlobalLight(c.index);
        EXPECT_EQ(doc.lights.selectedGlobalLight, c.expected);
        EXPECT_EQ(ui.log, c.repaints ? kChanged : kNothing);
    }
}

TEST_F(LightCommands, AddingToAModelSelectsTheNewEntryAndAllowsRepeats) {
    Md2Model& model = Open("m.md2");
    LightRecord& light = AddLight("A");
    doc.lights.selectedGlobalLight = 0;
    commands.AddModelLight();
    model.lights[0].enabled = 0;
    commands.AddModelLight();
    ASSERT_EQ(model.lights.size(), 2u);
    EXPECT_EQ(model.lights[1].light, &light);
    EXPECT_EQ(model.lights[1].enabled, 1);
    EXPECT_EQ(model.currentLight, 1);
    EXPECT_EQ(ui.log, (Log{"redraw", "refresh", "redraw", "refresh"}));

    // Without a current model the selected light goes nowhere.
    doc.models.currentModel = -1;
    ui.log.clear();
    commands.AddModelLight();
    EXPECT_EQ(model.lights.size(), 2u);
    EXPECT_EQ(ui.log, kNothing);
}

TEST_F(LightCommands, RemoveFromAModelKeepsTheGlobalLight) {
    Md2Model& model = Open("m.md2");
    for (const char* name : {"A", "B", "C"}) AppendModelLight(model, &AddLight(name));
    model.currentLight = 2;
    commands.RemoveModelLight();
    ASSERT_EQ(model.lights.size(), 2u);
    EXPECT_EQ(model.lights[1].light->name, "B");
    EXPECT_EQ(model.currentLight, 0);
    EXPECT_EQ(LightNames(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(ui.log, kChanged);
}

TEST_F(LightCommands, ToggleOnAModelLeavesTheGlobalSwitch) {
    Md2Model& model = Open("m.md2");
    LightRecord& light = AddLight("A");
    AppendModelLight(model, &light);
    AppendModelLight(model, &light);
    model.currentLight = 1;
    commands.ToggleModelLight();
    EXPECT_EQ(model.lights[0].enabled, 1);
    EXPECT_EQ(model.lights[1].enabled, 0);
    EXPECT_EQ(light.on, 1);
    EXPECT_EQ(ui.log, kChanged);
}

TEST_F(LightCommands, ModelEntryCommandsDoNothingWithoutAnEntry) {
    Md2Model& model = Open("m.md2");
    AppendModelLight(model, &AddLight("A"));
    const struct {
        int32_t currentModel, currentLight;
    } cases[] = {{0, -1}, {0, 1}, {0, 5}, {-1, 0}, {1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.currentModel) + "/" + std::to_string(c.currentLight));
        doc.models.currentModel = c.currentModel;
        model.currentLight = c.currentLight;
        ui.log.clear();
        commands.RemoveModelLight();
        commands.ToggleModelLight();
        ASSERT_EQ(model.lights.size(), 1u);
        EXPECT_EQ(model.lights[0].enabled, 1);
        EXPECT_EQ(model.currentLight, c.currentLight);
        EXPECT_EQ(ui.log, kNothing);
    }
}

TEST_F(LightCommands, ModelLightSelectionResolvesOrClears) {
    Md2Model& model = Open("m.md2");
    LightRecord& light = AddLight("A");
    AppendModelLight(model, &light);
    AppendModelLight(model, &light);
    const struct {
        int index;
        int32_t expected;
        bool repaints;
    } cases[] = {{0, 0, true}, {1, 1, true}, {-1, -1, false}, {2, -1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        model.currentLight = 1;
        ui.log.clear();
        commands.SelectModelLight(c.index);
        EXPECT_EQ(model.currentLight, c.expected);
        EXPECT_EQ(ui.log, c.repaints ? kChanged : kNothing);
    }

    // With no current model not even the clearing happens.
    doc.models.currentModel = -1;
    model.currentLight = 1;
    ui.log.clear();
    for (int index : {0, -1, 5}) commands.SelectModelLight(index);
    EXPECT_EQ(model.currentLight, 1);
    EXPECT_EQ(ui.log, kNothing);
}

// ---------------------------------------------------------------- light files

using LightFileCommands = CommandsTest;

TEST_F(LightFileCommands, ExportThenImportGivesTheSameLightSwitchedOn) {
    Md2Model& model = Open("m.md2");
    commands.NewLight();
    commands.NewLight();
    LightRecord& rim = *doc.lights.lights[0];
    rim.name = "Rim";
    float v = 0.75f;
    for (float* field : {rim.position, rim.spotDirection, rim.ambient, rim.diffuse, rim.specular})
        for (int i = 0; i < 4; ++i) field[i] = (v += 1.5f) * (i % 2 ? -1.0f : 1.0f);
    rim.position[3] = 1;
    rim.quadraticAttenuation = 0.001f;
    rim.constantAttenuation = 0.5f;
    rim.linearAttenuation = 0.02f;
    rim.spotExponent = 12;
    rim.spotCutoff = 45;
    rim.on = 0;
    commands.SelectGlobalLight(1);
    commands.AddModelLight();
    commands.SelectGlobalLight(0);
    ui.log.clear();

    const std::string file = PathOf("rim.lgt");
    ui.AnswerFile(file);
    commands.ExportLight();
    EXPECT_EQ(ui.log, (Log{"choose:*.lgt"}));
    EXPECT_TRUE(fs::exists(file));

    ui.log.clear();
    ui.AnswerFile(file);
    commands.ImportLight();
    EXPECT_EQ(ui.log, (Log{"choose:*.lgt", "refresh", "redraw"}));

    ASSERT_EQ(doc.lights.Count(), 3);
    const LightRecord& imported = *doc.lights.lights[2];
    EXPECT_TRUE(SameLightValues(imported, rim));
    EXPECT_EQ(imported.on, 1);
    EXPECT_EQ(rim.on, 0);
    EXPECT_EQ(doc.lights.selectedGlobalLight, 0);
    ASSERT_EQ(model.lights.size(), 1u);
    EXPECT_EQ(model.lights[0].light, doc.lights.lights[1].get());
    EXPECT_EQ(model.currentLight, 0);

    ASSERT_EQ(ui.fileDialogs.size(), 2u);
    for (const auto& dialog : ui.fileDialogs) EXPECT_EQ(dialog.wildcard, "MSR Light (*.lgt)|*.lgt|All Files (*.*)|*.*");
    EXPECT_TRUE(ui.fileDialogs[0].forSaving);
    EXPECT_FALSE(ui.fileDialogs[1].forSaving);
}

TEST_F(LightFileCommands, ExportReplacesAnExistingFileWithoutAsking) {
    AddLight("fresh");
    doc.lights.selectedGlobalLight = 0;
    const auto file = Write("old.lgt", fixtures::WriteLgt(fixtures::LgtSource{}));
    ui.AnswerFile(file);
    commands.ExportLight();
    auto back = LoadLightFile(file);
    ASSERT_TRUE(back);
    EXPECT_EQ(back.Value()->name, "fresh");
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(LightFileCommands, ExportThatCannotCreateTheFileSaysSoAndRepaintsNothing) {
    AddLight("A");
    doc.lights.selectedGlobalLight = 0;
    fs::create_directories(PathOf("taken.lgt"));  // a folder where the file should go
    for (const std::string& path : {PathOf("no-such-folder/a.lgt"), PathOf("taken.lgt")}) {
        SCOPED_TRACE(path);
        ui.log.clear();
        ui.AnswerFile(path);
        commands.ExportLight();
        EXPECT_EQ(ui.log, (Log{"choose:*.lgt", std::string("message:") + msg::kCannotCreate}));
    }
    // Nothing is left behind, not even a half-written file.
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.Path())) left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, (std::vector<std::string>{"taken.lgt"}));
    EXPECT_TRUE(fs::is_empty(PathOf("taken.lgt")));
}

TEST_F(LightFileCommands, CancelledDialogsWriteAndAddNothing) {
    AddLight("A");
    doc.lights.selectedGlobalLight = 0;
    ui.CancelFile();
    commands.ExportLight();
    ui.CancelFile();
    commands.ImportLight();
    EXPECT_EQ(ui.log, (Log{"choose:*.lgt", "choose:*.lgt"}));
    EXPECT_EQ(doc.lights.Count(), 1);
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST_F(LightFileCommands, RefusedImportShowsItsMessageAndAddsNothing) {
    fixtures::LgtSource wrongMagic;
    wrongMagic.magic = "LGT1";
    const struct {
        const char* why;
        std::optional<std::vector<uint8_t>> bytes;
        const char* message;
    } cases[] = {
        {"missing file", std::nullopt, msg::kCannotOpenLight},
        {"LGT followed by another character", fixtures::WriteLgt(wrongMagic), msg::kNotLight},
        {"an MD2 file", ModelBytes(1), msg::kNotLight},
        {"empty file", std::vector<uint8_t>{}, msg::kNotLight},
    };
    AddLight("A");
    doc.lights.selectedGlobalLight = 0;
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string name = "refused" + std::to_string(n++) + ".lgt";
        ui.log.clear();
        ui.AnswerFile(c.bytes ? Write(name, *c.bytes) : PathOf(name));
        commands.ImportLight();
        EXPECT_EQ(ui.log, (Log{"choose:*.lgt", std::string("message:") + c.message}));
        EXPECT_EQ(LightNames(), (std::vector<std::string>{"A"}));
        EXPECT_EQ(doc.lights.selectedGlobalLight, 0);
    }
}

TEST_F(LightFileCommands, ChosenPathGetsLgtOnlyWithoutAnyDot) {
    if (TempPathHasDot()) GTEST_SKIP() << "the temporary folder's path holds a dot";
    AddLight("exported");
    doc.lights.selectedGlobalLight = 0;
    const struct {
        const char* chosen;
        const char* written;
    } exports[] = {{"out/rim", "out/rim.lgt"}, {"v2.0/rim", "v2.0/rim"}};
    for (const auto& c : exports) {
        SCOPED_TRACE(c.chosen);
        fs::create_directories(fs::path(PathOf(c.chosen)).parent_path());
        ui.AnswerFile(PathOf(c.chosen));
        commands.ExportLight();
        EXPECT_TRUE(fs::is_regular_file(PathOf(c.written)));
        EXPECT_EQ(fs::exists(PathOf(c.chosen)), std::string(c.chosen) == c.written);
    }

    auto named = [](const char* name) {
        fixtures::LgtSource s;
        s.name = name;
        return fixtures::WriteLgt(s);
    };
    Write("in/rim", named("without extension"));
    Write("in/rim.lgt", named("with extension"));
    Write("in.d/rim", named("in a dotted folder"));
    Write("in.d/rim.lgt", named("wrong"));
    for (const char* chosen : {"in/rim", "in.d/rim"}) {
        ui.AnswerFile(PathOf(chosen));
        commands.ImportLight();
    }
    EXPECT_EQ(LightNames(), (std::vector<std::string>{"exported", "with extension", "in a dotted folder"}));
}

// ---------------------------------------------------------------- rendering menu

using RenderCommands = CommandsTest;

TEST_F(RenderCommands, FilterAndMultiPassChangeOnlyWhenNotInForce) {
    const struct {
        int id;
        int32_t RenderSettings::*field;
        int32_t value;
    } cases[] = {
        {ids::kTextureNearest, &RenderSettings::textureFilter, 0},
        {ids::kTextureLinear, &RenderSettings::textureFilter, 1},
        {ids::kTextureNearMip, &RenderSettings::textureFilter, 2},
        {ids::kTextureBiMip, &RenderSettings::textureFilter, 3},
        {ids::kTextureTriMip, &RenderSettings::textureFilter, 4},
        {ids::kMultiPassFast, &RenderSettings::multiPassMode, 0},
        {ids::kMultiPassSafe, &RenderSettings::multiPassMode, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        doc.settings.*c.field = c.value;
        ui.log.clear();
        EXPECT_TRUE(commands.Run(c.id));
        EXPECT_EQ(ui.log, kNothing);

        doc.settings.*c.field = c.value == 0 ? 1 : 0;
        EXPECT_TRUE(commands.Run(c.id));
        EXPECT_EQ(doc.settings.*c.field, c.value);
        EXPECT_EQ(ui.log, (Log{"spin"}));

        // The check-mark rule turns the models too, every time it is asked.
        ui.log.clear();
        EXPECT_TRUE(commands.UpdateRule(c.id).checked);
        EXPECT_EQ(ui.log, (Log{"spin"}));
    }
}

TEST_F(RenderCommands, WireframeTwiceRestoresAndOnlyRepaints) {
    commands.ToggleWireframe();
    EXPECT_EQ(view.wireframe, 1);
    EXPECT_TRUE(commands.UpdateRule(ids::kWireframe).checked);
    commands.ToggleWireframe();
    EXPECT_EQ(view.wireframe, 0);
    EXPECT_FALSE(commands.UpdateRule(ids::kWireframe).checked);
    EXPECT_EQ(ui.log, (Log{"redraw", "redraw"}));
}

TEST_F(RenderCommands, EnvironmentMapBelongsToTheCurrentModel) {
    Open("a.md2");
    Open("b.md2");
    Open("c.md2");
    commands.SelectModel(1);
    ui.log.clear();
    EXPECT_TRUE(commands.Run(ids::kEnvironmentMap));
    EXPECT_EQ(doc.models.models[0]->environmentMapped, 0);
    EXPECT_EQ(doc.models.models[1]->environmentMapped, 1);
    EXPECT_EQ(doc.models.models[2]->environmentMapped, 0);
    EXPECT_EQ(ui.log, kChanged);

    auto rule = commands.UpdateRule(ids::kEnvironmentMap);
    EXPECT_TRUE(rule.enabled && rule.checked && rule.setCheck);
    commands.SelectModel(2);
    rule = commands.UpdateRule(ids::kEnvironmentMap);
    EXPECT_TRUE(rule.enabled && rule.setCheck);
    EXPECT_FALSE(rule.checked);

    while (doc.models.Count() > 0) commands.RemoveModel();
    rule = commands.UpdateRule(ids::kEnvironmentMap);
    EXPECT_FALSE(rule.enabled);
    EXPECT_FALSE(rule.setCheck);  // the mark is left as it was
}

TEST_F(RenderCommands, BackgroundColourOkCopiesAndCancelKeepsWhatApplyDid) {
    doc.settings.backgroundColor[0] = 0.25f;
    std::vector<float> offered;
    ui.backgroundDialog = [&](float rgb[3], const std::function<void(const float*)>&) {
        offered.assign(rgb, rgb + 3);
        rgb[0] = 2;
        rgb[1] = 0.5f;
        rgb[2] = -1;  // stored as entered
        return true;
    };
    commands.EditBackgroundColor();
    EXPECT_EQ(offered, (std::vector<float>{0.25f, 0, 0}));
    EXPECT_EQ(std::vector<float>(doc.settings.backgroundColor, doc.settings.backgroundColor + 3),
              (std::vector<float>{2, 0.5f, -1}));
    EXPECT_EQ(ui.log, (Log{"redraw", "background-dialog", "redraw", "refresh"}));

    ui.log.clear();
    ui.backgroundDialog = [&](float rgb[3], const std::function<void(const float*)>& apply) {
        const float applied[3] = {0.1f, 0.2f, 0.3f};
        apply(applied);
        rgb[0] = 0.9f;  // typed after Apply, then cancelled
        return false;
    };
    commands.EditBackgroundColor();
    EXPECT_EQ(std::vector<float>(doc.settings.backgroundColor, doc.settings.backgroundColor + 3),
              (std::vector<float>{0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(ui.log, (Log{"redraw", "background-dialog", "redraw", "redraw", "refresh"}));
}

TEST_F(RenderCommands, RunKnowsOnlyHandledIds) {
    EXPECT_TRUE(commands.Run(ids::kAbout));
    EXPECT_EQ(ui.log, (Log{"about"}));
    ui.log.clear();
    for (int id : {ids::kExit, ids::kNew, ids::kOpen, ids::kSave, ids::kTextureNearest - 1}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(commands.Run(id));
    }
    EXPECT_EQ(ui.log, kNothing);
}

}  // namespace
}  // namespace meshara

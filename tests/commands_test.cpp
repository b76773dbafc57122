// The command handlers driven through a recording user interface: which selection each one
// needs, what it changes, what it repaints and in which order, and how refused files leave
// the document alone. Real MD2, PCX, BMP and LGT files are written into a temporary folder.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <optional>
#include <sstream>
#include <tuple>

#include "formats/png_writer.h"
#include "io/file_name.h"
#include "session/command_ids.h"
#include "session/commands.h"
#include "session/light_form.h"
#include "session/map_table.h"
#include "session/messages.h"
#include "tests/fake_ui_port.h"
#include "tests/test_support.h"
#include "tools/writers/lgt_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
using Log = std::vector<std::string>;
using Names = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

const Log kChanged = {"redraw", "refresh"};
Log Repeat(int times, const Log& each) {
    Log out;
    while (times-- > 0) out.insert(out.end(), each.begin(), each.end());
    return out;
}
Log operator+(Log a, const Log& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

Bytes ModelBytes(int frames) {
    auto source = testing::SmallQuad();
    source.frames.resize(static_cast<size_t>(frames), source.frames.front());
    return fixtures::WriteMd2(source);
}
const fixtures::IndexedPicture kPicture{2, 2, {0, 1, 1, 0}, {{{10, 20, 30}}, {{200, 100, 50}}}};

// Every number bit for bit, and the name; not the switch.
std::string Values(const LightRecord& l) {
    std::ostringstream s;
    s << std::hexfloat << l.name;
    for (const float* v : {l.position, l.spotDirection, l.ambient, l.diffuse, l.specular})
        for (int i = 0; i < 4; ++i) s << ' ' << v[i];
    for (float v : {l.quadraticAttenuation, l.constantAttenuation, l.linearAttenuation, l.spotExponent, l.spotCutoff})
        s << ' ' << v;
    return s.str();
}
// "<currentLight>: <light name><enabled> ..."
std::string Entries(const ModelSlot& m) {
    std::string s = std::to_string(m.currentLight) + ":";
    for (const auto& e : m.lights) s += ' ' + e.light->name + std::to_string(e.enabled);
    return s;
}
Names NamesOf(const std::vector<std::unique_ptr<ModelSlot>>& list) {
    Names out;
    for (const auto& item : list) out.push_back(item->Name());
    return out;
}
Names NamesOf(const std::vector<std::unique_ptr<LightRecord>>& list) {
    Names out;
    for (const auto& item : list) out.push_back(item->name);
    return out;
}

class CommandsTest : public ::testing::Test {
protected:
    // A fresh document for the next case of a table.
    void Reset() {
        doc.Clear();
        doc.models.currentFrame = 0;
        ui.log.clear();
    }

    std::string PathOf(const std::string& relative) const { return (dir.Path() / relative).string(); }
    std::string Write(const std::string& relative, const Bytes& bytes) const {
        fs::create_directories(fs::path(PathOf(relative)).parent_path());
        return dir.Write(relative, bytes).string();
    }
    // Opens a model without a dialog and forgets what that logged.
    ModelSlot& Open(const std::string& name, int frames = 2) {
        EXPECT_TRUE(commands.OpenModelPath(Write(name, ModelBytes(frames))));
        ui.log.clear();
        return *doc.models.models.back();
    }
    LightRecord& AddLight(const std::string& name) {
        auto light = std::make_unique<LightRecord>();
        light->name = name;
        return *doc.lights.lights[static_cast<size_t>(AppendGlobalLight(doc.lights, std::move(light)))];
    }
    // Everything a command may change, as one comparable string.
    std::string State() const {
        std::ostringstream s;
        s << doc.models.currentModel << ' ' << doc.models.currentFrame << ' ' << doc.lights.selectedGlobalLight;
        for (const auto& m : doc.models.models) {
            s << '|' << m->Name() << m->visible << m->environmentMapped << Entries(*m);
            for (size_t k = 0; k < kMapKinds; ++k)
                s << ' ' << m->mapOn[k] << (m->maps[k] ? m->maps[k]->fileName + '@' + std::to_string(uintptr_t(m->maps[k].get())) : "-");
        }
        for (const auto& l : doc.lights.lights) s << '|' << Values(*l) << l->on;
        return s.str();
    }

    testing::TempDir dir;
    Document doc;
    ViewState view;
    testing::FakeUiPort ui;
    Commands commands{doc, view, ui};
};

TEST_F(CommandsTest, RemoveReleasesTheCurrentModelAndRepairsModelAndFrame) {
    const struct { std::vector<int> frames; int32_t current, frame; Names left; int32_t newCurrent, newFrame; }
        cases[] = {
        {{2, 2, 2}, 2, 1, {"m0", "m1"}, 0, 1},  // the last one: the first becomes current
        {{2, 2, 2}, 0, 1, {"m1", "m2"}, 0, 1},  // the next one moves into its place
        {{2, 2, 2}, 1, 1, {"m0", "m2"}, 1, 1},
        {{2}, 0, 1, {}, -1, 0},
        {{5, 3}, 0, 4, {"m1"}, 0, 0},  // a frame the remaining models lack goes back to 0
        {{5, 3}, 0, 3, {"m1"}, 0, 0},
        {{5, 3}, 0, 2, {"m1"}, 0, 2},  // one they have stays
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.frames) + " current " + std::to_string(c.current));
        Reset();
        for (size_t i = 0; i < c.frames.size(); ++i) Open("m" + std::to_string(i), c.frames[i]);
        doc.models.currentModel = c.current;
        doc.models.currentFrame = c.frame;
        commands.RemoveModel();
        EXPECT_EQ(NamesOf(doc.models.models), c.left);
        EXPECT_EQ(doc.models.currentModel, c.newCurrent);
        EXPECT_EQ(doc.models.currentFrame, c.newFrame);
        EXPECT_EQ(ui.log, kChanged);
    }
}

TEST_F(CommandsTest, OpenAppendsAndFramesWrapOverTheLongestModel) {
    // Without models Previous lands on -1 and Next brings it back to 0.
    commands.PreviousFrame();
    EXPECT_EQ(doc.models.currentFrame, -1);
    commands.NextFrame();
    EXPECT_EQ(doc.models.currentFrame, 0);
    doc.models.currentFrame = 1;  // opening leaves the shared frame alone
    for (int frames : {5, 3}) {
        ui.AnswerFile(Write(std::to_string(frames) + ".md2", ModelBytes(frames)));
        commands.OpenModel();
    }
    EXPECT_EQ(NamesOf(doc.models.models), (Names{"5.md2", "3.md2"}));
    EXPECT_EQ(doc.models.currentModel, 1);
    std::vector<int32_t> seen;
    for (int i = 0; i < 8; ++i) {
        i < 5 ? commands.NextFrame() : commands.PreviousFrame();
        seen.push_back(doc.models.currentFrame);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{2, 3, 4, 0, 1, 0, 4, 3}));
    EXPECT_EQ(ui.log, Repeat(2, kChanged) + Repeat(2, {"choose:*.md2", "redraw", "refresh"}) + Repeat(8, kChanged));
}

TEST_F(CommandsTest, SelectionsResolveOrClearAndCommandsWithoutOneDoNothing) {
    for (const char* name : {"a", "b", "c"}) Open(name);
    ModelSlot& middle = *doc.models.models[1];
    AppendModelLight(middle, &AddLight("A"));
    AppendModelLight(middle, &AddLight("B"));
    auto selectMiddle = [&] { doc.models.currentModel = doc.lights.selectedGlobalLight = middle.currentLight = 1; };
    // From the lists: each pick is an index, then the result; a result below 0 comes without a repaint.
    using Picks = std::vector<std::pair<int, int32_t>>;
    const struct { void (Commands::*select)(int); int32_t* field; Picks picks; } lists[] = {
        {&Commands::SelectModel, &doc.models.currentModel, {{0, 0}, {2, 2}, {-1, -1}, {3, -1}, {INT_MIN, -1}}},
        {&Commands::SelectGlobalLight, &doc.lights.selectedGlobalLight, {{0, 0}, {-1, -1}, {2, -1}, {INT_MAX, -1}}},
        {&Commands::SelectModelLight, &middle.currentLight, {{0, 0}, {-1, -1}, {2, -1}}},
    };
    for (const auto& c : lists) {
        for (const auto& [index, expected] : c.picks) {
            SCOPED_TRACE(index);
            selectMiddle();
            (commands.*c.select)(index);
            EXPECT_EQ(*c.field, expected);
            EXPECT_EQ(ui.TakeLog(), expected >= 0 ? kChanged : Log{});
        }
    }
    // Without a current model the model-light selection is not even cleared.
    selectMiddle();
    doc.models.currentModel = -1;
    commands.SelectModelLight(-1);
    EXPECT_EQ(middle.currentLight, 1);

    // Commands on a selection that is missing or past the end do nothing at all.
    ui.log.clear();
    ui.AnswerFile(Write("skin.pcx", fixtures::WritePcx(kPicture)));  // should a dialog wrongly open
    std::vector<int> modelIds = {ids::kEnvironmentMap};  // and the bar's buttons from Remove Model to the last map row
    for (int id = ids::kModelRemove; id <= ids::kGlowMapLoad + 2; ++id) modelIds.push_back(id);
    const std::tuple<int32_t*, int32_t, std::vector<int>> cases[] = {
        {&doc.models.currentModel, 3, modelIds},
        {&doc.lights.selectedGlobalLight, 2, {ids::kGlobalLightRemove, ids::kGlobalLightToggle, ids::kLightProperties,
                                              ids::kModelLightAdd, ids::kExportLight}},
        {&middle.currentLight, 2, {ids::kModelLightRemove, ids::kModelLightToggle}},
    };
    for (const auto& [selection, pastTheEnd, commandIds] : cases) {
        for (int32_t value : {-1, pastTheEnd}) {
            for (int id : commandIds) {
                SCOPED_TRACE(std::to_string(id) + " with selection " + std::to_string(value));
                selectMiddle();
                *selection = value;
                const std::string before = State();
                EXPECT_TRUE(commands.Run(id));
                EXPECT_EQ(ui.TakeLog(), Log{});
                EXPECT_EQ(State(), before);
            }
        }
    }
}

TEST_F(CommandsTest, CancelledOrRefusedFilesChangeNothingAndSayExactlyWhatTheyShould) {
    auto sixteenBits = fixtures::WriteBmp24(fixtures::ToRgb(kPicture));
    sixteenBits[28] = 16;  // bit count of the information header
    // No bytes: neither the file nor its folder exists. No message: refused
    // without a word. Beneath a message: the file and the loader's reason.
    const char* const kMissing = "No such file or directory";
    const struct { int id; std::optional<Bytes> bytes; const char* message; const char* why; } cases[] = {
        {ids::kModelOpen, Bytes{'I', 'D', 'P', '3', 0, 0, 0, 0}, msg::kNotMd2, "the file does not start with \"IDP2\""},
        {ids::kModelOpen, Bytes{'I', 'D', 'P', '2'}, msg::kDamagedMd2, "header needs 68 bytes, the file has 4"},
        {ids::kModelOpen, std::nullopt, msg::kCannotLoadFile, kMissing},
        {ids::kTextureMapLoad, Bytes{'h', 'e', 'l', 'l', 'o'}, msg::kNotSkin, "neither a version 5 PCX nor a BMP"},
        {ids::kTextureMapLoad, sixteenBits, nullptr, nullptr},
        {ids::kTextureMapLoad, std::nullopt, nullptr, nullptr},
        {ids::kImportLight, std::nullopt, msg::kCannotOpenLight, kMissing},
        {ids::kImportLight, ModelBytes(1), msg::kNotLight, "the file does not start with \"LGT0\""},
        {ids::kImportLight, Bytes{}, msg::kNotLight, "the file does not start with \"LGT0\""},
        {ids::kExportLight, std::nullopt, msg::kCannotCreate, kMissing},  // and no repaint
    };
    Open("kept.md2", 3);
    doc.models.currentFrame = 2;
    ui.AnswerFile(Write("good.pcx", fixtures::WritePcx(kPicture)));
    commands.LoadMap(MapKind::Texture);
    AddLight("A");
    doc.lights.selectedGlobalLight = 0;
    const std::string before = State();
    ui.log.clear();
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        const std::string name = "bad" + std::to_string(n++) + ".bin";
        const std::string path = c.bytes ? Write(name, *c.bytes) : PathOf("missing/" + name);
        ui.AnswerFile(path);
        EXPECT_TRUE(commands.Run(c.id));
        // Exactly one dialog, then the message if there is one.
        Log expected{"choose:" + ui.fileDialogs.back().initialName};
        if (c.message) expected.push_back(std::string("message:") + c.message);
        EXPECT_EQ(ui.TakeLog(), expected);
        EXPECT_EQ(c.message ? ui.details.back() : "", c.message ? path + ": " + c.why : "");
        EXPECT_EQ(State(), before);
    }
    for (int id : {ids::kModelOpen, ids::kTextureMapLoad, ids::kImportLight, ids::kExportLight}) {
        ui.CancelFile();
        EXPECT_TRUE(commands.Run(id));
        EXPECT_EQ(ui.TakeLog(), (Log{"choose:" + ui.fileDialogs.back().initialName}));
        EXPECT_EQ(State(), before);  // the very same pictures, too
    }
}

TEST_F(CommandsTest, ChosenPathGetsTheDefaultExtensionOnlyWithoutAnyDot) {
    if (dir.Path().string().find('.') != std::string::npos) GTEST_SKIP() << "the temporary folder's path holds a dot";
    for (const char* f : {"m/tris.md2", "m.d/tris"}) Write(f, ModelBytes(2));
    for (const char* f : {"l/rim.lgt", "l.d/rim"}) Write(f, fixtures::WriteLgt(fixtures::LgtSource{}));
    for (const char* f : {"s/skin.pcx", "s/skin.bmp", "s.d/skin"}) Write(f, fixtures::WritePcx(kPicture));
    fs::create_directories(PathOf("o"));
    const struct { int id; const char* chosen; int filter; const char* used; } cases[] = {
        {ids::kModelOpen, "m/tris", 0, "m/tris.md2"},
        {ids::kModelOpen, "m.d/tris", 0, "m.d/tris"},  // a dot in a folder name counts
        {ids::kTextureMapLoad, "s/skin", 0, "s/skin.pcx"},
        {ids::kTextureMapLoad, "s/skin", 1, "s/skin.pcx"},
        {ids::kTextureMapLoad, "s/skin", 2, "s/skin.bmp"},  // the third filter is the bitmap one
        {ids::kTextureMapLoad, "s/skin", 3, "s/skin.pcx"},
        {ids::kTextureMapLoad, "s.d/skin", 2, "s.d/skin"},
        {ids::kImportLight, "l/rim", 0, "l/rim.lgt"},
        {ids::kImportLight, "l.d/rim", 0, "l.d/rim"},
        {ids::kExportLight, "o/rim", 0, "o/rim.lgt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.chosen) + " with filter " + std::to_string(c.filter));
        Reset();
        Open("x.md2");
        AddLight("x");
        doc.lights.selectedGlobalLight = 0;
        ui.AnswerFile(PathOf(c.chosen), c.filter);
        EXPECT_TRUE(commands.Run(c.id));
        switch (c.id) {  // only the right path holds a file to read, so a wrong one shows
            case ids::kModelOpen: EXPECT_EQ(NamesOf(doc.models.models).back(), FileNameOfPath(c.used)); break;
            case ids::kTextureMapLoad:
                EXPECT_EQ(doc.models.CurrentModel()->Map(MapKind::Texture)->fileName, FileNameOfPath(c.used));
                break;
            case ids::kImportLight: EXPECT_EQ(doc.lights.Count(), 2); break;
            default: EXPECT_TRUE(fs::is_regular_file(PathOf(c.used)));
        }
    }
}

TEST_F(CommandsTest, EachRowsButtonsLoadReplaceToggleAndClearThatRowOnly) {
    const auto pcx = Write("a.pcx", fixtures::WritePcx(kPicture)), bmp = Write("b.bmp", fixtures::WriteBmp8(kPicture));
    for (const MapRowInfo& r : kMapRows) {
        SCOPED_TRACE(r.name);
        Reset();
        ModelSlot& model = Open("m.md2");
        for (const auto& path : {pcx, bmp, pcx}) ui.AnswerFile(path);
        // Buttons load, clear, toggle: clear while empty, load, toggle, replace, clear, load. The switch
        // outlives the replace and the clear, so the row comes back as the user left it.
        std::vector<const SkinImage*> loaded;
        for (int button : {1, 0, 2, 0, 1, 0}) {
            EXPECT_TRUE(commands.Run(r.loadCommand + button));
            if (button == 0) loaded.push_back(model.Map(r.kind).get());
        }
        EXPECT_EQ(ui.log, Repeat(3, kChanged + Log{"choose:*.pcx;*.bmp", "redraw", "refresh"}));
        EXPECT_EQ(model.Map(r.kind) ? model.Map(r.kind)->fileName : "none", "a.pcx");
        EXPECT_FALSE(model.MapOn(r.kind));
        EXPECT_TRUE(loaded[0] && loaded[1] && loaded[0] != loaded[1]) << "a new picture each time";
        for (const MapRowInfo& other : kMapRows)
            EXPECT_TRUE(other.kind == r.kind || (!model.Map(other.kind) && model.MapOn(other.kind))) << other.name;
    }
}

TEST_F(CommandsTest, LightsAndModelEntriesAddToggleRemoveAndEdit) {
    ModelSlot& model = Open("m.md2");
    LightRecord& a = AddLight("A");
    commands.NewLight();
    EXPECT_EQ(doc.lights.selectedGlobalLight, 1);  // the new light is selected
    EXPECT_EQ(Values(*doc.lights.lights[1]), Values(LightRecord{}));
    doc.lights.lights[1]->name = "B";
    doc.lights.selectedGlobalLight = 0;
    commands.AddModelLight();
    model.lights[0].enabled = false;
    commands.AddModelLight();  // the same light again, as a new enabled entry
    doc.lights.selectedGlobalLight = 1;
    commands.AddModelLight();
    EXPECT_EQ(Entries(model), "2: A0 A1 B1");  // each new entry becomes current
    model.currentLight = 1;
    commands.ToggleModelLight();
    commands.ToggleLight();  // the global switch, of the selected light only
    EXPECT_TRUE(a.on);
    EXPECT_FALSE(doc.lights.lights[1]->on);
    model.currentLight = 2;
    commands.RemoveModelLight();  // the global light stays
    EXPECT_EQ(Entries(model), "0: A0 A0");
    EXPECT_EQ(ui.TakeLog(), Repeat(7, kChanged));
    // The properties dialog works on the selected light itself, so Cancel keeps what Apply did.
    ui.lightDialog = [](LightRecord& light, const std::function<void()>& apply) {
        light.name = "Rim";
        apply();
        return false;
    };
    commands.EditLightProperties();
    EXPECT_EQ(NamesOf(doc.lights.lights), (Names{"A", "Rim"}));
    EXPECT_EQ(ui.log, (Log{"redraw", "light-dialog", "redraw", "redraw", "refresh"}));
}

TEST_F(CommandsTest, DeleteLightTakesItOutOfEveryModelAndRepairsTheSelections) {
    LightRecord* lights[] = {&AddLight("A"), &AddLight("B"), &AddLight("C")};
    const std::vector<int> given[] = {{1, 1, 0, 1}, {1}, {2, 1}};  // B thrice in one model, and in all three
    for (int m = 0; m < 3; ++m) {
        ModelSlot& model = Open("m" + std::to_string(m));
        for (int i : given[m]) AppendModelLight(model, lights[i]);
        model.currentLight = static_cast<int32_t>(model.lights.size()) - 1;
    }
    doc.lights.selectedGlobalLight = 1;
    const struct { Names left; int32_t selected; Names entries; } steps[] = {
        {{"A", "C"}, 1, {"0: A1", "-1:", "0: C1"}},  // the next light moves under the selection
        {{"A"}, 0, {"0: A1", "-1:", "-1:"}},         // the last one: back to the first
        {{}, -1, {"-1:", "-1:", "-1:"}},
    };
    for (const auto& s : steps) {
        commands.DeleteLight();
        EXPECT_EQ(NamesOf(doc.lights.lights), s.left);
        EXPECT_EQ(doc.lights.selectedGlobalLight, s.selected);
        Names entries;
        for (const auto& m : doc.models.models) entries.push_back(Entries(*m));
        EXPECT_EQ(entries, s.entries);
    }
    EXPECT_EQ(ui.log, Repeat(3, kChanged));
}

TEST_F(CommandsTest, ExportThenImportGivesTheSameLightSwitchedOnAndKeepsTheSelection) {
    ModelSlot& model = Open("m.md2");
    LightRecord& rim = AddLight("Rim");
    float v = 0.75f;  // a distinct value in every field, so no two can trade places unseen
    for (float* field : {rim.position, rim.spotDirection, rim.ambient, rim.diffuse, rim.specular})
        for (int i = 0; i < 4; ++i) field[i] = (v += 1.5f) * (i % 2 ? -1.0f : 1.0f);
    for (float* f : {&rim.quadraticAttenuation, &rim.constantAttenuation, &rim.linearAttenuation, &rim.spotExponent,
                     &rim.spotCutoff})
        *f = v += 0.25f;
    rim.on = false;
    AppendModelLight(model, &AddLight("B"));
    model.currentLight = doc.lights.selectedGlobalLight = 0;
    const auto file = Write("rim.lgt", ModelBytes(1));  // replaced without asking
    const std::string before = State();
    ui.AnswerFile(file);
    commands.ExportLight();
    ui.AnswerFile(file);
    commands.ImportLight();
    // Export neither repaints nor refreshes; import refreshes before it repaints.
    EXPECT_EQ(ui.log, (Log{"choose:*.lgt", "choose:*.lgt", "refresh", "redraw"}));
    ASSERT_EQ(doc.lights.Count(), 3);
    EXPECT_EQ(Values(*doc.lights.lights[2]), Values(rim));
    EXPECT_TRUE(doc.lights.lights[2]->on);  // files do not carry the switch
    doc.lights.lights.pop_back();
    EXPECT_EQ(State(), before);
    EXPECT_TRUE(ui.fileDialogs.at(0).forSaving);
    EXPECT_FALSE(ui.fileDialogs.at(1).forSaving);
}

TEST_F(CommandsTest, LightNamesKeepEveryByteThroughImportPropertiesAndExport) {
    // Import, Props with one colour changed (name box untouched, then
    // retyped as shown), Apply, OK, Export: the name's bytes come back, for every byte.
    for (bool retyped : {false, true})
        for (int b = 1; b < 256; ++b) {
            Reset();
            fixtures::LgtSource source;
            source.name = std::string("Caf") + static_cast<char>(b) + "!";
            ui.AnswerFile(Write("in.lgt", fixtures::WriteLgt(source)));
            commands.ImportLight();
            doc.lights.selectedGlobalLight = 0;
            ui.lightDialog = [&](LightRecord& light, const std::function<void()>& apply) {
                LightForm form = FormFromLight(light);
                std::string shown = retyped ? "" : form.name;
                form.numbers[1007 - kFirstNumberBox] = "0.5";
                EXPECT_EQ(ReadLightForm(form, shown, light), 0);
                apply();
                return true;
            };
            commands.EditLightProperties();
            ui.AnswerFile(PathOf("out.lgt"));
            commands.ExportLight();
            source.ambient[0] = 0.5f;
            ASSERT_EQ(testing::ReadAll(PathOf("out.lgt")), fixtures::WriteLgt(source)) << b << " " << retyped;
        }
    // A typed name is stored in the same set; a character outside it refuses
    // the box (after the numbers, which are read first) and stores none of it.
    const struct { const char* typed; int refused; const char* stored; } cases[] = {
        {"Caf\xC3\xA9", 0, "Caf\xE9"},              // a typed "Café" is 4 bytes
        {"\xE2\x82\xAC 5", 0, "\x80 5"},           // the euro sign
        {"\xC2\x81", 0, "\x81"},                    // an undefined byte's control character
        {"Omega \xCE\xA9", kNameBox, "Old"},         // not in the set
        {"bad \xFF text", kNameBox, "Old"},           // not even UTF-8
    };
    for (const auto& c : cases) {
        LightRecord light{.name = "Old"};
        LightForm form = FormFromLight(light);
        std::string shown = form.name;
        form.name = c.typed;
        form.numbers[1007 - kFirstNumberBox] = "2";
        EXPECT_EQ(ReadLightForm(form, shown, light), c.refused) << c.typed;
        EXPECT_EQ(light.name, c.stored) << c.typed;
        EXPECT_EQ(light.ambient[0], 2) << c.typed;
        EXPECT_EQ(shown, c.refused ? "Old" : c.typed) << "what the box now counts as unedited";
    }
}

// A model whose frames are named like an exporter's: stand01..stand04, run1..run3.
Bytes AnimatedModelBytes() {
    auto source = testing::SmallQuad();
    const char* names[] = {"stand01", "stand02", "stand03", "stand04", "run1", "run2", "run3"};
    source.frames.resize(std::size(names), source.frames[0]);
    for (size_t i = 0; i < std::size(names); ++i) source.frames[i].name = names[i];
    return fixtures::WriteMd2(source);
}

TEST_F(CommandsTest, PlaybackLoopsInsideTheAnimationUpDownJumpAndAStepStopsIt) {
    ASSERT_TRUE(commands.OpenModelPath(Write("anim.md2", AnimatedModelBytes())));
    ui.log.clear();
    commands.TogglePlayback();
    EXPECT_TRUE(view.playback.playing);
    EXPECT_EQ(ui.TakeLog(), (Log{"timer:on", "redraw"}));
    // Ticks of a third of a frame: the shared frame is always a whole frame,
    // the blend runs 0 to 1 toward the next, and "stand" loops inside itself.
    std::string frames;
    for (int tick = 0; tick < 15; ++tick) {
        commands.AdvancePlayback(1.0 / 30);
        ASSERT_TRUE(view.playback.phase >= 0 && view.playback.phase < 1) << view.playback.phase;
        frames += std::to_string(doc.models.currentFrame) + std::to_string(view.playback.next) + " ";
    }
    EXPECT_EQ(frames, "01 01 12 12 12 23 23 23 30 30 30 01 01 01 12 ");
    EXPECT_EQ(ui.TakeLog(), Repeat(15, {"redraw"})) << "playback only repaints";
    commands.NextAnimation();  // Down: the first frame of "run", still playing, now looping there
    EXPECT_EQ(doc.models.currentFrame, 4);
    for (int tick = 0; tick < 4; ++tick) commands.AdvancePlayback(0.1);
    EXPECT_EQ(doc.models.currentFrame, 5) << "4, 5, 6, 4, 5";
    commands.PreviousAnimation();
    commands.PreviousAnimation();  // Up twice: "stand", then round to "run"
    EXPECT_EQ(doc.models.currentFrame, 4);
    ui.log.clear();
    commands.AdvancePlayback(0.05);
    commands.NextFrame();  // Right: playback stops and the frame is exact
    EXPECT_FALSE(view.playback.playing);
    EXPECT_EQ(view.playback.next, -1);
    EXPECT_EQ(doc.models.currentFrame, 5);
    EXPECT_EQ(ui.TakeLog(), (Log{"redraw", "timer:off", "redraw", "refresh"}));
    commands.RemoveModel();
    commands.TogglePlayback();  // nothing to play
    EXPECT_FALSE(view.playback.playing);
    if (testing::CorpusDir().empty()) return;
    // The real thing: faerie's "stand" is frames 0 to 39 and loops there.
    ASSERT_TRUE(commands.OpenModelPath((testing::CorpusDir() / "md2" / "faerie.md2").string()));
    doc.models.currentFrame = 17;
    commands.TogglePlayback();
    std::set<int32_t> seen;
    for (int tick = 0; tick < 150; ++tick) {  // 5 s at 30 pictures a second: 50 frames
        commands.AdvancePlayback(1.0 / 30);
        seen.insert(doc.models.currentFrame);
    }
    EXPECT_EQ(seen.size(), 40u);
    EXPECT_EQ(*seen.begin(), 0);
    EXPECT_EQ(*seen.rbegin(), 39);
}

TEST_F(CommandsTest, ExtrasFrameSaveTheViewOpenFilesByContentAndFindTheNamedSkin) {
    // Files by content, whatever their names; models first so a picture lands on the one just opened.
    auto quad = testing::SmallQuad();
    quad.skins = {"textures\\quad.bmp"};
    const std::string model = Write("m/quad.bin", fixtures::WriteMd2(quad)),
                      light = Write("l/key.md2", fixtures::WriteLgt(fixtures::LgtSource{})),
                      picture = Write("p/skin.lgt", fixtures::WritePcx(kPicture)),
                      junk = Write("j/junk.md2", Bytes{'j', 'u', 'n', 'k'});
    commands.OpenFiles({picture, light, junk, model});
    EXPECT_EQ(doc.models.Count(), 1);
    EXPECT_EQ(doc.lights.Count(), 1);
    ASSERT_TRUE(doc.models.models[0]->Map(MapKind::Texture));
    EXPECT_EQ(doc.models.models[0]->Map(MapKind::Texture)->fileName, "skin.lgt");
    EXPECT_EQ(ui.details, (Names{junk + ": the file does not start with \"IDP2\""}));
    commands.OpenFiles({picture}, MapKind::Glow);  // dropped on the glow row
    EXPECT_TRUE(doc.models.models[0]->Map(MapKind::Glow));
    commands.OpenFiles({junk}, MapKind::Glow);  // refused as a picture there
    EXPECT_EQ(ui.log.back(), std::string("message:") + msg::kNotSkin);
    EXPECT_EQ(commands.LastFolder(), fs::path(junk).parent_path().string());
    ui.log.clear();
    commands.ExportLight();  // no light selected: no dialog
    doc.lights.selectedGlobalLight = 0;
    ui.CancelFile();
    commands.ExportLight();
    EXPECT_EQ(ui.fileDialogs.back().folder, commands.LastFolder()) << "dialogs open where the last file was";

    // The skin the model names, found beside it by its file name and another extension.
    commands.LoadSkinFromModel();
    EXPECT_EQ(ui.log.back(), std::string("message:") + msg::kNoNamedSkin);
    Write("m/quad.BMP", fixtures::WriteBmp8(kPicture));
    commands.LoadSkinFromModel();
    EXPECT_EQ(doc.models.models[0]->Map(MapKind::Texture)->fileName, "quad.BMP");

    // Fit turns back and moves; Reset brings the start camera back exactly.
    view.camera.rotation = Quat{0.6f, 0, 0, 0.8f};
    commands.FitModels();
    EXPECT_TRUE(view.camera.rotation.w == 1 && view.camera.zoom != Camera{}.zoom);
    commands.ResetView();
    EXPECT_TRUE(SameView(view.camera, Camera{}));

    // Save View writes the view's pixels as a PNG, through the safe writer.
    ui.viewSize = {2, 1};
    ui.viewPixels = {1, 2, 3, 4, 5, 6};
    ui.AnswerFile(PathOf("shot"));  // no dot: ".png" is added
    commands.SaveView();
    EXPECT_EQ(testing::ReadAll(PathOf("shot.png")), EncodePng(2, 1, ui.viewPixels, 3));
    ui.AnswerFile(PathOf("missing/shot.png"));
    commands.SaveView();
    EXPECT_EQ(ui.log.back(), std::string("message:") + msg::kCannotCreate);
}

TEST_F(CommandsTest, FiltersSpinOnlyWhenNotInForceAndWireframeOnlyRepaints) {
    for (int id = ids::kTextureNearest; id <= ids::kMultiPassSafe; ++id) {
        SCOPED_TRACE(id);
        const bool filter = id <= ids::kTextureTriMip;
        int32_t& field = filter ? doc.settings.textureFilter : doc.settings.multiPassMode;
        const int32_t value = id - (filter ? ids::kTextureNearest : ids::kMultiPassFast);
        field = value;
        EXPECT_TRUE(commands.Run(id));  // already in force: not even a spin
        field = value == 0 ? 1 : 0;
        EXPECT_TRUE(commands.Run(id));
        EXPECT_EQ(field, value);
        // The check-mark rule turns the models too, every time it is asked.
        EXPECT_TRUE(commands.UpdateRule(id).checked);
        EXPECT_EQ(ui.TakeLog(), (Log{"spin", "spin"}));
    }
    // Wireframe belongs to the view: it repaints, but has nothing to refresh.
    commands.ToggleWireframe();
    EXPECT_TRUE(view.wireframe && commands.UpdateRule(ids::kWireframe).checked);
    commands.ToggleWireframe();
    EXPECT_FALSE(view.wireframe || commands.UpdateRule(ids::kWireframe).checked);
    EXPECT_EQ(ui.log, (Log{"redraw", "redraw"}));
}

TEST_F(CommandsTest, EnvironmentMapBelongsToTheCurrentModel) {
    for (const char* name : {"a", "b", "c"}) Open(name);
    doc.models.currentModel = 1;
    EXPECT_TRUE(commands.Run(ids::kEnvironmentMap));
    EXPECT_EQ(ui.log, kChanged);
    for (size_t m = 0; m < 3; ++m) EXPECT_EQ(doc.models.models[m]->environmentMapped, m == 1);
    // The menu item: enabled, checked, mark set; without a model disabled with the mark left alone.
    auto rule = [&](int32_t current) {
        doc.models.currentModel = current;
        const auto state = commands.UpdateRule(ids::kEnvironmentMap);
        return std::tuple(state.enabled, state.checked, state.setCheck);
    };
    EXPECT_EQ(rule(1), std::tuple(true, true, true));
    EXPECT_EQ(rule(2), std::tuple(true, false, true));
    EXPECT_EQ(rule(-1), std::tuple(false, false, false));
}

TEST_F(CommandsTest, BackgroundDialogOkTakesTheColourAndCancelKeepsWhatApplyDid) {
    float* const bg = doc.settings.backgroundColor;
    using Rgb = std::vector<float>;
    for (bool ok : {true, false}) {
        ui.backgroundDialog = [&](float rgb[3], const std::function<void(const float*)>& apply) {
            EXPECT_EQ(Rgb(rgb, rgb + 3), Rgb(bg, bg + 3));  // the colour in force
            const float applied[3] = {0.1f, 0.2f, 0.3f};
            if (!ok) apply(applied);
            rgb[0] = 2;  // typed: kept only with OK, and as entered
            rgb[1] = -1;
            return ok;
        };
        commands.EditBackgroundColor();
        EXPECT_EQ(Rgb(bg, bg + 3), (ok ? Rgb{2, -1, 0} : Rgb{0.1f, 0.2f, 0.3f}));
    }
    EXPECT_EQ(ui.log, (Log{"redraw", "background-dialog", "redraw", "refresh", "redraw", "background-dialog",
                           "redraw", "redraw", "refresh"}));
}

TEST_F(CommandsTest, RunKnowsOnlyHandledIds) {
    EXPECT_TRUE(commands.Run(ids::kAbout));
    for (int id : {ids::kExit, ids::kNew, ids::kOpen, ids::kSave, ids::kTextureNearest - 1})
        EXPECT_FALSE(commands.Run(id)) << id;
    EXPECT_EQ(ui.log, (Log{"about"}));
}

}  // namespace
}  // namespace meshara

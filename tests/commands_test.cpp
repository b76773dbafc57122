// The command handlers driven through a recording user interface: which selection each one
// needs, what it changes, what it repaints and in which order, and how refused files leave
// the document alone. Real MD2, PCX, BMP and LGT files are written into a temporary folder.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "formats/png_writer.h"
#include "io/file_name.h"
#include "session/command_ids.h"
#include "session/command_table.h"
#include "session/commands.h"
#include "session/light_form.h"
#include "session/map_table.h"
#include "session/messages.h"
#include "tests/fake_ui_port.h"
#include "session/status_line.h"
#include "tests/test_support.h"
#include "tools/writers/archive_writers.h"
#include "tools/writers/byte_writer.h"
#include "tools/writers/lgt_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
using Log = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

const Log kChanged = {"redraw", "refresh"};
Log operator+(Log a, const Log& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
Log operator*(int times, const Log& each) { return times > 0 ? (times - 1) * each + each : Log{}; }
std::string Message(const char* text, const std::string& why) { return std::string("message:") + text + " | " + why; }

// A quad with at least frames frames, the first ones named after names.
Bytes ModelBytes(int frames, const std::vector<const char*>& names = {}) {
    auto source = testing::SmallQuad();
    source.frames.resize(std::max(size_t(frames), names.size()), source.frames.front());
    for (size_t i = 0; i < names.size(); ++i) source.frames[i].name = names[i];
    return fixtures::WriteMd2(source);
}
const fixtures::IndexedPicture kPicture{2, 2, {0, 1, 1, 0}, {{{10, 20, 30}}, {{200, 100, 50}}}};

// Every number bit for bit, and the name; not the switch.
std::string Values(const LightRecord& l) {
    std::ostringstream s;
    s << std::hexfloat << l.name;
    for (const float* v : {l.position, l.spotDirection, l.ambient, l.diffuse, l.specular})
        s << ' ' << v[0] << ' ' << v[1] << ' ' << v[2] << ' ' << v[3];
    for (float v : {l.quadraticAttenuation, l.constantAttenuation, l.linearAttenuation, l.spotExponent, l.spotCutoff})
        s << ' ' << v;
    return s.str();
}

class CommandsTest : public ::testing::Test {
protected:
    void Reset() { doc = {}; ui.log.clear(); }  // a fresh document for the next case of a table
    std::string PathOf(const std::string& relative) const { return (dir.Path() / relative).string(); }
    std::string Write(const std::string& relative, const Bytes& bytes) const {
        fs::create_directories(fs::path(PathOf(relative)).parent_path());
        return dir.Write(relative, bytes).string();
    }
    // Opens a model without a dialog and forgets what that logged.
    ModelSlot& Open(const std::string& name, int frames = 2, const std::vector<const char*>& frameNames = {}) {
        EXPECT_TRUE(commands.OpenModelPath(Write(name, ModelBytes(frames, frameNames))));
        ui.log.clear();
        return *doc.models.models.back();
    }
    LightRecord& AddLight(const std::string& name) {
        AppendGlobalLight(doc.lights, std::make_unique<LightRecord>(LightRecord{.name = name}));
        return *doc.lights.lights.back();
    }
    // "<current model> <frame>: <model names>"
    std::string Models() const {
        std::string s = std::to_string(doc.models.currentModel) + ' ' + std::to_string(doc.models.currentFrame) + ':';
        for (const auto& m : doc.models.models) s += ' ' + m->Name();
        return s;
    }
    // "<selected light>: <name>(off) ...", then " | <current entry>: <light name><enabled> ..." for each model.
    std::string Lights() const {
        std::string s = std::to_string(doc.lights.selectedGlobalLight) + ':';
        for (const auto& l : doc.lights.lights) s += ' ' + l->name + (l->on ? "" : "(off)");
        for (const auto& m : doc.models.models) {
            s += " | " + std::to_string(m->currentLight) + ':';
            for (const auto& e : m->lights) s += ' ' + e.light->name + std::to_string(e.enabled);
        }
        return s;
    }
    std::string MapName(MapKind kind) const {  // of the current model
        const ModelSlot* m = doc.models.CurrentModel();
        return m && m->Map(kind) ? m->Map(kind)->fileName : "-";
    }
    // Everything a command may change, as one comparable string; a map by its address too.
    std::string State() const {
        std::ostringstream s;
        s << Models() << " / " << Lights();
        for (const auto& m : doc.models.models) {
            s << " / " << m->visible << m->environmentMapped;
            for (size_t k = 0; k < kMapKinds; ++k)
                s << ' ' << m->mapOn[k] << (m->maps[k] ? m->maps[k]->fileName : "-") << '@' << m->maps[k].get();
        }
        for (const auto& l : doc.lights.lights) s << " / " << Values(*l);
        return s.str();
    }

    testing::TempDir dir;
    Document doc;
    ViewState view;
    testing::FakeUiPort ui;
    Commands commands{doc, view, ui};
};

TEST_F(CommandsTest, OpenAppendsFramesWrapOverTheLongestModelAndRemoveRepairsModelAndFrame) {
    std::string seen;
    auto press = [&](const std::string& keys) {  // '>' Next, '<' Previous, 'o' Open; each seen as the frame after it
        for (char k : keys) {
            k == '>' ? commands.NextFrame() : k == '<' ? commands.PreviousFrame() : commands.OpenModel();
            seen += std::to_string(doc.models.currentFrame) + ' ';
        }
    };
    press("<>");  // without models Previous lands on -1 and Next brings it back to 0
    doc.models.currentFrame = 1;  // opening leaves the shared frame alone
    for (int frames : {5, 3}) ui.AnswerFile(Write(std::to_string(frames) + ".md2", ModelBytes(frames)));
    press("oo>>>>><<<");
    EXPECT_EQ(seen, "-1 0 1 1 2 3 4 0 1 0 4 3 ");
    EXPECT_EQ(Models(), "1 3: 5.md2 3.md2");
    EXPECT_EQ(ui.log, 2 * kChanged + (2 * Log{"choose:*.md2", "redraw", "refresh"}) + 8 * kChanged);

    // Remove: the models' frame counts, the current model and the shared frame, then what is left.
    const struct { std::vector<int> frames; int32_t current, frame; const char* after; } cases[] = {
        {{2, 2, 2}, 2, 1, "0 1: m0 m1"},  // the last one: the first becomes current
        {{2, 2, 2}, 0, 1, "0 1: m1 m2"},  // the next one moves into its place
        {{2, 2, 2}, 1, 1, "1 1: m0 m2"}, {{2}, 0, 1, "-1 0:"},
        {{5, 3}, 0, 4, "0 0: m1"}, {{5, 3}, 0, 3, "0 0: m1"},  // a frame the remaining models lack goes back to 0
        {{5, 3}, 0, 2, "0 2: m1"},                             // one they have stays
    };
    for (const auto& c : cases) {
        Reset();
        for (size_t i = 0; i < c.frames.size(); ++i) Open("m" + std::to_string(i), c.frames[i]);
        std::tie(doc.models.currentModel, doc.models.currentFrame) = std::pair(c.current, c.frame);
        commands.RemoveModel();
        EXPECT_EQ(std::pair(Models(), ui.log), std::pair(std::string(c.after), kChanged)) << c.frame;
    }
}

TEST_F(CommandsTest, SelectionsResolveOrClearAndCommandsWithoutOneDoNothing) {
    for (const char* name : {"a", "b", "c"}) Open(name);
    ModelSlot& middle = *doc.models.models[1];
    for (const char* name : {"A", "B"}) AppendModelLight(middle, &AddLight(name));
    auto selectMiddle = [&] { doc.models.currentModel = doc.lights.selectedGlobalLight = middle.currentLight = 1; };
    // Picks from the lists, each seen as the selection it left, "r" after a repaint: one the list cannot
    // resolve clears it, without a repaint; without a current model a model light is not even cleared.
    const struct { void (Commands::*select)(int); int32_t* field; int32_t model; std::vector<int> picks;
                   const char* seen; } lists[] = {
        {&Commands::SelectModel, &doc.models.currentModel, 1, {0, 2, -1, 3, INT_MIN}, "0r 2r -1 -1 -1 "},
        {&Commands::SelectGlobalLight, &doc.lights.selectedGlobalLight, 1, {0, -1, 2, INT_MAX}, "0r -1 -1 -1 "},
        {&Commands::SelectModelLight, &middle.currentLight, 1, {0, -1, 2}, "0r -1 -1 "},
        {&Commands::SelectModelLight, &middle.currentLight, -1, {-1}, "1 "}, };
    for (const auto& c : lists) {
        std::string seen;
        for (int index : c.picks) {
            selectMiddle();
            doc.models.currentModel = c.model;
            (commands.*c.select)(index);
            seen += std::to_string(*c.field) + (ui.log.empty() ? "" : ui.TakeLog() == kChanged ? "r" : "?") + ' ';
        }
        EXPECT_EQ(seen, c.seen);
    }

    // The environment map is the current model's; its menu item for each model (enabled, checked,
    // mark set), then without one: disabled, the mark left alone.
    selectMiddle();
    EXPECT_TRUE(commands.Run(ids::kEnvironmentMap) && ui.TakeLog() == kChanged);
    std::string rules;
    for (int32_t current : {0, 1, 2, -1}) {
        doc.models.currentModel = current;
        const auto state = commands.UpdateRule(ids::kEnvironmentMap);
        rules += std::to_string(state.enabled) + std::to_string(state.checked) + std::to_string(state.setCheck) + ' ';
    }
    EXPECT_EQ(rules, "101 111 101 000 ");

    // Commands on a selection that is missing or past the end do nothing at all, not even open a
    // dialog, which would find this file to load.
    ui.AnswerFile(Write("skin.pcx", fixtures::WritePcx(kPicture)));
    std::vector<int> modelIds = {ids::kEnvironmentMap};  // and the bar's buttons from Remove Model to the last map row
    for (int id = ids::kModelRemove; id <= ids::kGlowMapLoad + 2; ++id) modelIds.push_back(id);
    const std::tuple<int32_t*, int32_t, std::vector<int>> cases[] = {
        {&doc.models.currentModel, 3, modelIds},
        {&doc.lights.selectedGlobalLight, 2, {ids::kGlobalLightRemove, ids::kGlobalLightToggle, ids::kLightProperties,
                                              ids::kModelLightAdd, ids::kExportLight}},
        {&middle.currentLight, 2, {ids::kModelLightRemove, ids::kModelLightToggle}}, };
    for (const auto& [selection, pastTheEnd, commandIds] : cases)
        for (int32_t value : {-1, pastTheEnd})
            for (int id : commandIds) {
                selectMiddle();
                *selection = value;
                const std::string before = State();
                EXPECT_TRUE(commands.Run(id));
                EXPECT_EQ(std::pair(ui.TakeLog(), State()), std::pair(Log{}, before)) << id << " at " << value;
            }
}

TEST_F(CommandsTest, ChosenFilesGetTheDefaultExtensionAndRefusedOrCancelledOnesChangeNothing) {
    const bool dotted = dir.Path().string().find('.') != std::string::npos;  // then nothing is ever added
    auto fourBits = fixtures::WriteBmp24(fixtures::ToRgb(kPicture));
    fourBits[28] = 4;  // bit count of the information header
    const Bytes hello{'h', 'e', 'l', 'l', 'o'}, idp3{'I', 'D', 'P', '3', 0, 0, 0, 0}, idp2{'I', 'D', 'P', '2'};
    const char *const kMissing = "No such file or directory",
               *const kNoSkin = "not a picture of a kind Meshara reads (PCX, BMP, PNG, JPEG or TGA)";
    // The dialog's answer (none: Cancel) and filter; what is added to it, only without any dot, even in
    // a folder name (the third skin filter is the bitmap one); what the file read holds (none: neither
    // it nor its folder exists); the message (none: cancelled) with the file read and why. A picture the
    // readers take in no form still says so: it would otherwise pass unnoticed.
    const struct { int id; const char* chosen = nullptr; int filter = 0; const char* added = "";
                   std::optional<Bytes> bytes = {}; const char *message = nullptr, *why = nullptr; } cases[] = {
        {ids::kModelOpen, "a.bin", 0, "", idp3, msg::kNotMd2, "the file does not start with \"IDP2\""},
        {ids::kModelOpen, "b.bin", 0, "", idp2, msg::kDamagedMd2, "header needs 68 bytes, the file has 4"},
        {ids::kModelOpen, "m/tris", 0, ".md2", std::nullopt, msg::kCannotLoadFile, kMissing},
        {ids::kModelOpen, "m.d/tris", 0, "", std::nullopt, msg::kCannotLoadFile, kMissing},
        {ids::kTextureMapLoad, "s/skin", 0, ".pcx", hello, msg::kNotSkin, kNoSkin},
        {ids::kTextureMapLoad, "s/skin", 1, ".pcx", hello, msg::kNotSkin, kNoSkin},
        {ids::kTextureMapLoad, "s/skin", 2, ".bmp", hello, msg::kNotSkin, kNoSkin},
        {ids::kTextureMapLoad, "s/skin", 3, ".pcx", hello, msg::kNotSkin, kNoSkin},
        {ids::kTextureMapLoad, "s.d/skin", 2, "", hello, msg::kNotSkin, kNoSkin},
        {ids::kTextureMapLoad, "c.bmp", 0, "", fourBits, msg::kNotSkin, "BMP of 4 bits per pixel"},
        {ids::kTextureMapLoad, "t/skin", 0, ".pcx", std::nullopt, msg::kCannotLoadFile, kMissing},
        {ids::kImportLight, "l/rim", 0, ".lgt", std::nullopt, msg::kCannotOpenLight, kMissing},
        {ids::kImportLight, "l.d/rim", 0, "", std::nullopt, msg::kCannotOpenLight, kMissing},
        {ids::kImportLight, "d.bin", 0, "", ModelBytes(1), msg::kNotLight, "the file does not start with \"LGT0\""},
        {ids::kImportLight, "e.bin", 0, "", Bytes{}, msg::kNotLight, "the file does not start with \"LGT0\""},
        {ids::kExportLight, "o/rim", 0, ".lgt", std::nullopt, msg::kCannotCreate, kMissing},  // and no repaint
        {ids::kModelOpen}, {ids::kTextureMapLoad}, {ids::kImportLight}, {ids::kExportLight}, };
    Open("kept.md2", 3);
    doc.models.currentFrame = 2;
    commands.LoadMapPath(MapKind::Texture, Write("good.pcx", fixtures::WritePcx(kPicture)));
    commands.NewLight();  // and selected
    const std::string before = State();  // the very same pictures, too
    ui.log.clear();
    for (const auto& c : cases) {
        if (dotted && *c.added) continue;
        const std::string read = c.chosen ? c.chosen + std::string(c.added) : "";
        if (c.bytes) Write(read, *c.bytes);
        if (c.chosen) ui.AnswerFile(PathOf(c.chosen), c.filter);
        EXPECT_TRUE(commands.Run(c.id));
        // Exactly one dialog, then the message if there is one.
        Log expected{"choose:" + ui.fileDialogs.back().initialName};
        if (c.message) expected.push_back(Message(c.message, PathOf(read) + ": " + c.why));
        EXPECT_EQ(std::pair(ui.TakeLog(), State()), std::pair(expected, before))
            << (c.chosen ? c.chosen : "cancelled") << " with filter " << c.filter;
    }
}

TEST_F(CommandsTest, EachRowsButtonsLoadReplaceToggleAndClearThatRowOnly) {
    // Every format the rows take; each loads exactly the picture written.
    const auto pcx = Write("a.pcx", fixtures::WritePcx(kPicture)),
               png = Write("b.png", fixtures::WritePng(fixtures::ToRgb(kPicture))),
               tga = Write("c.tga", fixtures::WriteTga(kPicture, {.colourMapped = true, .runLength = true}));
    for (const MapRowInfo& r : kMapRows) {
        SCOPED_TRACE(r.name);
        ModelSlot& model = Open("m.md2");  // a new one each time, and current
        for (const auto& path : {png, tga, pcx}) ui.AnswerFile(path);
        // Buttons load, clear, toggle: clear while empty, load, toggle, replace, clear, load. The switch
        // outlives the replace and the clear, so the row comes back as the user left it.
        std::vector<const SkinImage*> loaded;
        for (int button : {1, 0, 2, 0, 1, 0}) {
            EXPECT_TRUE(commands.Run(r.loadCommand + button));
            if (button != 0) continue;
            loaded.push_back(model.Map(r.kind).get());
            EXPECT_EQ(model.Map(r.kind)->pixels, fixtures::ToRgb(kPicture).pixels) << model.Map(r.kind)->fileName;
        }
        EXPECT_EQ(ui.log, 3 * (kChanged + Log{"choose:*.pcx;*.bmp", "redraw", "refresh"}));
        EXPECT_EQ(MapName(r.kind) + std::to_string(model.MapOn(r.kind)), "a.pcx0");
        EXPECT_TRUE(loaded[0] && loaded[1] && loaded[0] != loaded[1]) << "a new picture each time";
        for (const MapRowInfo& other : kMapRows)
            EXPECT_TRUE(other.kind == r.kind || (!model.Map(other.kind) && model.MapOn(other.kind))) << other.name;
    }
}

TEST_F(CommandsTest, LightsAndModelEntriesAddToggleRemoveAndEdit) {
    ModelSlot& model = Open("m.md2");
    AddLight("A");
    // Each step: the selected light and the model's current entry it starts from, then the lights after it.
    const struct { int32_t light, entry; void (Commands::*command)(); const char* after; } steps[] = {
        {0, -1, &Commands::NewLight, "1: A New Light | -1:"},          // the new light is selected
        {0, -1, &Commands::AddModelLight, "0: A New Light | 0: A1"},  // each new entry becomes current
        {0, 0, &Commands::ToggleModelLight, "0: A New Light | 0: A0"},
        {0, 0, &Commands::AddModelLight, "0: A New Light | 1: A0 A1"},  // the same light again, a new enabled entry
        {1, 1, &Commands::AddModelLight, "1: A New Light | 2: A0 A1 New Light1"},
        {1, 1, &Commands::ToggleModelLight, "1: A New Light | 1: A0 A0 New Light1"},
        {1, 1, &Commands::ToggleLight, "1: A New Light(off) | 1: A0 A0 New Light1"},  // the selected light's switch
        {1, 2, &Commands::RemoveModelLight, "1: A New Light(off) | 0: A0 A0"},        // the global light stays
    };
    for (const auto& s : steps) {
        std::tie(doc.lights.selectedGlobalLight, model.currentLight) = std::pair(s.light, s.entry);
        (commands.*s.command)();
        EXPECT_EQ(Lights(), s.after);
    }
    EXPECT_EQ(Values(*doc.lights.lights[1]), Values(LightRecord{}));  // what a new light starts as
    // The properties dialog works on the selected light itself, so Cancel keeps what Apply did.
    ui.lightDialog = [](LightRecord& light, auto& apply) { light.name = "Rim"; apply(); return false; };
    commands.EditLightProperties();
    EXPECT_EQ(Lights(), "1: A Rim(off) | 0: A0 A0");
    EXPECT_EQ(ui.log, (8 * kChanged + Log{"redraw", "light-dialog", "redraw", "redraw", "refresh"}));
}

TEST_F(CommandsTest, DeleteLightTakesItOutOfEveryModelAndRepairsTheSelections) {
    for (const char* name : {"A", "B", "C"}) AddLight(name);
    for (const std::string given : {"BBAB", "B", "CB"}) {  // B thrice in one model, and in all three
        ModelSlot& model = Open(given);
        for (char c : given) AppendModelLight(model, doc.lights.lights[c - 'A'].get());
        model.currentLight = static_cast<int32_t>(given.size()) - 1;
    }
    doc.lights.selectedGlobalLight = 1;
    for (const char* after : {"1: A C | 0: A1 | -1: | 0: C1",  // the next light moves under the selection
                              "0: A | 0: A1 | -1: | -1:",      // the last one: back to the first
                              "-1: | -1: | -1: | -1:"}) {
        commands.DeleteLight();
        EXPECT_EQ(Lights(), after);
    }
    EXPECT_EQ(ui.log, 3 * kChanged);
}

TEST_F(CommandsTest, LightFilesGiveBackEveryFieldAndEveryByteOfTheNameSwitchedOnKeepingTheSelection) {
    ModelSlot& model = Open("m.md2");
    LightRecord& r = AddLight("Rim");
    float v = 0.75f;  // a distinct value in every field, so no two can trade places unseen
    for (float* field : {r.position, r.spotDirection, r.ambient, r.diffuse, r.specular})
        for (int i = 0; i < 4; ++i) field[i] = (v += 1.5f) * (i % 2 ? -1.0f : 1.0f);
    for (float* f : {&r.quadraticAttenuation, &r.constantAttenuation, &r.linearAttenuation, &r.spotExponent,
                     &r.spotCutoff}) *f = v += 0.25f;
    r.on = false;
    AppendModelLight(model, &AddLight("B"));
    model.currentLight = doc.lights.selectedGlobalLight = 0;
    const auto file = Write("rim.lgt", ModelBytes(1));  // replaced without asking
    const std::string before = State();
    for (int i = 0; i < 2; ++i) ui.AnswerFile(file);
    commands.ExportLight();
    commands.ImportLight();
    // Export neither repaints nor refreshes; import refreshes before it repaints.
    EXPECT_EQ(ui.log, (Log{"choose:*.lgt", "choose:*.lgt", "refresh", "redraw"}));
    EXPECT_TRUE(ui.fileDialogs.at(0).forSaving && !ui.fileDialogs.at(1).forSaving);
    const std::unique_ptr<LightRecord> imported = std::move(doc.lights.lights.back());
    doc.lights.lights.pop_back();
    EXPECT_EQ(State(), before);
    EXPECT_EQ(Values(*imported) + (imported->on ? " on" : ""), Values(r) + " on");  // files do not carry the switch

    // Import, Props with a colour changed (name untouched, then retyped as shown), OK, Export: every byte survives.
    for (bool retyped : {false, true})
        for (int b = 1; b < 256; ++b) {
            fixtures::LgtSource source{.name = std::string("Caf") + static_cast<char>(b) + "!"};
            ui.AnswerFile(Write("in.lgt", fixtures::WriteLgt(source)));
            commands.ImportLight();
            doc.lights.selectedGlobalLight = doc.lights.Count() - 1;
            ui.lightDialog = [&](LightRecord& light, auto& apply) {
                LightForm form = FormFromLight(light);
                std::string shown = retyped ? "" : form.name;
                form.numbers[1007 - kFirstNumberBox] = "0.5";
                EXPECT_EQ(ReadLightForm(form, shown, light), 0);
                return apply(), true;
            };
            commands.EditLightProperties();
            ui.AnswerFile(PathOf("out.lgt"));
            commands.ExportLight();
            source.ambient[0] = 0.5f;
            ASSERT_EQ(testing::ReadAll(PathOf("out.lgt")), fixtures::WriteLgt(source)) << b << " " << retyped;
        }
    // A typed name is stored in the same set; a character outside it refuses the box (after the
    // numbers, which are read first) and stores none of it. Shown: what the box now counts as unedited.
    const struct { const char* typed; int refused; std::string stored; } cases[] = {
        {"Caf\xC3\xA9", 0, "Caf\xE9"},        // a typed "Café" is 4 bytes
        {"\xE2\x82\xAC 5", 0, "\x80 5"},      // the euro sign
        {"\xC2\x81", 0, "\x81"},              // an undefined byte's control character
        {"Omega \xCE\xA9", kNameBox, "Old"},  // not in the set
        {"bad \xFF text", kNameBox, "Old"},   // not even UTF-8
    };
    for (const auto& c : cases) {
        LightRecord light{.name = "Old"};
        LightForm form = FormFromLight(light);
        std::string shown = std::exchange(form.name, c.typed);
        form.numbers[1007 - kFirstNumberBox] = "2";
        const int refused = ReadLightForm(form, shown, light);
        EXPECT_EQ(std::tuple(refused, light.name, light.ambient[0], shown),
                  std::tuple(c.refused, c.stored, 2.0f, std::string(c.refused ? "Old" : c.typed))) << c.typed;
    }
}

TEST_F(CommandsTest, PlaybackLoopsInsideTheAnimationUpDownJumpAndAStepStopsIt) {
    Open("anim.md2", 0, {"stand01", "stand02", "stand03", "stand04", "run1", "run2", "run3"});  // an exporter's names
    doc.models.currentFrame = 1;  // inside "stand": the loop still runs from its first frame
    // Keys: Space plays; ticks of a third (','), a whole ('.') and half ('-') a frame; Down ('v') and Up ('^') jump
    // to the next or previous animation; Right ('>') steps; 'x' removes the model.
    const Playback& p = view.playback;
    std::string seen;  // after each key "<shared frame><next>", "p" while playing
    for (char key : std::string(" ,,,,,,,,,,,,,,,v....^^->x ")) {
        switch (key) {
            case ' ': commands.TogglePlayback(); break;
            case ',': commands.AdvancePlayback(1.0 / 30); break;
            case '.': commands.AdvancePlayback(0.1); break;
            case '-': commands.AdvancePlayback(0.05); break;
            case 'v': commands.NextAnimation(); break;
            case '^': commands.PreviousAnimation(); break;
            case '>': commands.NextFrame(); break;
            default: commands.RemoveModel();
        }
        ASSERT_TRUE(p.phase >= 0 && p.phase < 1) << p.phase;  // a whole shared frame, blended toward the next
        seen += std::to_string(doc.models.currentFrame) + std::to_string(p.next) + (p.playing ? "p " : " ");
    }
    // "stand" loops in itself; Down: "run" from its first frame, still playing, looping there; Up twice: "stand",
    // then round to "run"; Right: playback stops on an exact frame; then there is nothing to play.
    EXPECT_EQ(seen, "12p 12p 12p 23p 23p 23p 30p 30p 30p 01p 01p 01p 12p 12p 12p 23p 45p 56p 64p 45p 56p 01p 45p 45p "
                    "5-1 0-1 0-1 ");
    // A tick repaints the view alone; the animation keys and the step change the frame the bar shows.
    EXPECT_EQ(ui.log, (Log{"timer:on", "redraw"} + 15 * Log{"view"} + kChanged + 4 * Log{"view"} + 2 * kChanged +
                       Log{"view", "timer:off", "redraw", "refresh"} + kChanged));
}

TEST_F(CommandsTest, ExtrasFrameSaveTheViewOpenFilesByContentAndFindTheNamedSkin) {
    // Files by content, whatever their names; models first so a picture lands on the one just opened.
    auto quad = testing::SmallQuad();
    quad.skins = {"textures\\quad.bmp"};
    const auto model = Write("m/quad.bin", fixtures::WriteMd2(quad)), junk = Write("j/junk.md2", {'j', 'u', 'n', 'k'});
    const auto light = Write("l/key.md2", fixtures::WriteLgt({}));
    const auto picture = Write("p/skin.lgt", fixtures::WritePng(fixtures::ToRgb(kPicture)));
    commands.OpenFiles({picture, light, junk, model});
    // The model is lit by the light that came with it, then framed.
    EXPECT_EQ(Models() + " / " + Lights() + " / " + MapName(MapKind::Texture),
              "0 0: quad.bin / -1: New Light | 0: New Light1 / skin.lgt");
    EXPECT_EQ(ui.TakeLog(), (kChanged + Log{"refresh", "redraw"} + kChanged + Log{"redraw"} + kChanged +
                             Log{Message(msg::kNotMd2, junk + ": the file does not start with \"IDP2\"")}));
    commands.OpenFiles({picture}, MapKind::Glow);  // dropped on the glow row
    // Neither its bytes nor its name tell what it is: refused as a picture there, keeping the map.
    const auto unnamed = Write("j/junk.dat", {'j', 'u', 'n', 'k'});
    commands.OpenFiles({unnamed}, MapKind::Glow);
    EXPECT_EQ(MapName(MapKind::Glow) + ' ' + ui.log.back(),
              "skin.lgt " + Message(msg::kNotSkin, unnamed + ": not a picture of a kind Meshara reads (PCX, BMP, PNG, "
                                                            "JPEG or TGA)"));
    EXPECT_EQ(commands.LastFolder(), fs::path(junk).parent_path().string());
    commands.ImportLight();  // cancelled
    EXPECT_EQ(ui.fileDialogs.back().folder, commands.LastFolder()) << "dialogs open where the last file was";

    // The skin the model names, found beside it by its file name and another extension.
    commands.LoadSkinFromModel();
    EXPECT_EQ(ui.log.back(), Message(msg::kNoNamedSkin, "quad.bin: its skin textures\\quad.bmp was not found"));
    doc.models.currentModel = -1;
    Open("nameless.md2");
    commands.LoadSkinFromModel();
    EXPECT_EQ(ui.log.back(), Message(msg::kNamesNoSkin, "nameless.md2"));
    commands.RemoveModel();
    Write("m/quad.BMP", fixtures::WriteBmp8(kPicture));
    commands.LoadSkinFromModel();
    EXPECT_EQ(MapName(MapKind::Texture), "quad.BMP");

    view.camera.rotation = Quat{0.6f, 0, 0, 0.8f};
    commands.FitModels();
    EXPECT_TRUE(view.camera.rotation.w == 1 && view.camera.zoom != Camera{}.zoom);  // turned back, and moved
    commands.ResetView();
    EXPECT_TRUE(SameView(view.camera, Camera{}));  // the start camera exactly

    ui.viewSize = {2, 1};
    ui.viewPixels = {1, 2, 3, 4, 5, 6};
    for (const char* f : {"shot", "missing/shot.png"}) ui.AnswerFile(PathOf(f));  // no dot: ".png" is added
    commands.SaveView();
    EXPECT_EQ(testing::ReadAll(PathOf("shot.png")), EncodePng(2, 1, ui.viewPixels, 3));
    commands.SaveView();
    EXPECT_EQ(ui.log.back(), Message(msg::kCannotCreate, PathOf("missing/shot.png") + ": No such file or directory"));
}

TEST_F(CommandsTest, AnArchiveAsksWhichModelsToOpenAndEachComesInTheSkinTheGameFinds) {
    auto quad = testing::SmallQuad();
    quad.skins = {"players/ogro/skin.pcx"};
    const Bytes model = fixtures::WriteMd2(quad);
    const std::string pak0 = Write("baseq2/pak0.pak", fixtures::WritePak({{"players/ogro/tris.md2", model},
                                                                          {"readme.txt", {'h', 'i'}},
                                                                          {"players/ogro/weapon.md2", ModelBytes(2)}}));
    Write("baseq2/pak1.pk3", fixtures::WriteZip({{"players/ogro/skin.pcx", fixtures::WritePcx(kPicture)}}));
    const std::string names = "archive:" + pak0 + ": players/ogro/tris.md2, players/ogro/weapon.md2";
    const std::string picture = Write("skin.bmp", fixtures::WriteBmp8(kPicture));
    // What each way in asks first, the models it opens and the texture of the last; the ways from outside light them.
    const struct { std::vector<size_t> answer; std::function<void()> open; Log asked; std::string models, texture, lights; } cases[] = {
        {{0, 1}, [&] { commands.OpenModelPath(pak0); }, {names}, "1 0: tris.md2 weapon.md2", "-", "-1: | -1: | -1:"},
        {{}, [&] { commands.OpenModelPath(pak0); }, {names}, "-1 0:", "-", "-1:"},  // cancelled
        {{1, 0}, [&] { ui.AnswerFile(pak0); commands.OpenModel(); }, {"choose:*.md2", names},  // in list order
         "1 0: tris.md2 weapon.md2", "-", "-1: | -1: | -1:"},
        {{1, 0}, [&] { ui.AnswerFile(pak0); commands.OpenModelAndShow(); }, {"choose:*.md2", names},
         "1 0: tris.md2 weapon.md2", "-", "0: Key | 0: Key1 | 0: Key1"},
        // Dropped with a picture: the models open first, and the picture lands on the last one.
        {{0}, [&] { commands.OpenFiles({picture, pak0}); }, {names}, "0 0: tris.md2", "skin.bmp", "0: Key | 0: Key1"},
        // The viewer's command line, with a path inside.
        {{}, [&] { commands.OpenFiles({pak0 + "/Players/Ogro/Tris.md2"}); }, {"redraw"}, "0 0: Tris.md2", "skin.pcx",
         "0: Key | 0: Key1"},
    };
    for (const auto& c : cases) {
        Reset();
        ui.archiveChooser = [&](const std::vector<std::string>&) { return c.answer; };
        c.open();
        EXPECT_EQ(Models() + " / " + MapName(MapKind::Texture) + " / " + Lights(), c.models + " / " + c.texture + " / " + c.lights);
        EXPECT_EQ(Log(ui.log.begin(), ui.log.begin() + std::min(ui.log.size(), c.asked.size())), c.asked) << c.models;
    }
    // The skin from the later archive dresses the first model chosen; the status line gives the whole path.
    EXPECT_EQ(doc.models.models[0]->Map(MapKind::Texture)->path, fs::path(pak0).parent_path() / "pak1.pk3/players/ogro/skin.pcx");
    EXPECT_TRUE(StatusLine(doc, view).ends_with("4 vertices, 2 triangles \u00b7 " + pak0 + "/Players/Ogro/Tris.md2"))
        << StatusLine(doc, view);
    EXPECT_EQ(commands.LastFolder(), fs::path(pak0).parent_path().string()) << "the folder holding the archive";
    // A loose weapon whose first frame is flat, naming a skin the game would not find where it says: the status
    // line tells both, while the frame is shown.
    quad.skins = {"models/elsewhere/skin.pcx"};
    quad.frames[0].vertices = {{0, 0, 0, 0}, {10, 0, 0, 0}, {20, 0, 0, 0}, {5, 0, 0, 0}};
    const std::string weapon = Write("baseq2/models/w/tris.md2", fixtures::WriteMd2(quad));
    Write("baseq2/models/w/skin.pcx", fixtures::WritePcx(kPicture));
    Reset();
    commands.OpenFiles({weapon});
    const std::string flat = "this frame draws nothing", away = "the skin models/elsewhere/skin.pcx is not where the game looks for it";
    for (const std::string& told : {flat, away}) EXPECT_NE(StatusLine(doc, view).find(told), std::string::npos) << StatusLine(doc, view);
    doc.models.currentFrame = 1;
    EXPECT_EQ(StatusLine(doc, view).find(flat), std::string::npos);
    // An archive without models, and one that cannot be read, say so and change nothing.
    const std::string empty = Write("empty.pk3", fixtures::WriteZip({{"readme.txt", {'h', 'i'}}}));
    Bytes broken = fixtures::WritePak({{"a.md2", model}});
    fixtures::PatchS32(broken, fixtures::pakfield::kDirectoryOffset, -1);
    const std::string damaged = Write("broken.pak", broken);
    Reset();
    for (const std::string& path : {empty, damaged}) commands.OpenModelPath(path);
    EXPECT_EQ(Models(), "-1 0:");
    EXPECT_EQ(ui.log, (Log{Message(msg::kNoModelsInArchive, empty),
                           Message(msg::kCannotLoadFile, damaged + ": the PAK directory has a negative offset (-1) or length (64)")}));
}

// A file whose bytes tell nothing, being empty or unreadable, is refused as what its name says it is.
TEST_F(CommandsTest, FilesFromOutsideThatTellNothingAreRefusedAsWhatTheyAreNamed) {
    Open("quad.md2");  // for a picture to land on
    const struct { const char* name; bool empty; const char* message; const char* why; } files[] = {
        {"e/empty.lgt", true, msg::kNotLight, "the file does not start with \"LGT0\""},
        {"e/EMPTY.PNG", true, msg::kNotSkin, "not a picture of a kind Meshara reads (PCX, BMP, PNG, JPEG or TGA)"},
        {"e/empty.pk3", true, msg::kCannotLoadFile, "not a PAK or zip archive"},
        {"e/empty.glb", true, msg::kCannotConvertModel, ""},
        {"e/empty.md2", true, msg::kNotMd2, "the file does not start with \"IDP2\""},
        {"e/none.lgt", false, msg::kCannotOpenLight, "No such file or directory"},
        {"e/none.tga", false, msg::kCannotLoadFile, "No such file or directory"},
    };
    for (const auto& f : files) {
        const std::string path = f.empty ? Write(f.name, {}) : PathOf(f.name);
        ui.log.clear();
        commands.OpenFiles({path});
        ASSERT_FALSE(ui.log.empty()) << f.name;
        EXPECT_EQ(ui.log.back().substr(0, ui.log.back().find(" | ")), std::string("message:") + f.message) << f.name;
        EXPECT_NE(ui.log.back().find(path + ": " + f.why), std::string::npos) << ui.log.back();
    }
    EXPECT_EQ(doc.models.Count(), 1) << "nothing opened";
}

TEST_F(CommandsTest, ModelsFromOutsideAreLitAndFramedRefusalsComeAsOneAndAnimationsAreChosenByNameAndSpeed) {
    const std::string quad = Write("q/quad.md2", ModelBytes(4, {"stand1", "stand2", "run1", "run2"}));
    // Lit by a new "Key" light when none is selected, which then lights the next too; else by the selected one.
    commands.OpenFiles({quad});
    EXPECT_NE(view.camera.zoom, Camera{}.zoom) << "framed";
    commands.OpenFiles({quad});
    commands.NewLight();
    ui.AnswerFile(quad);
    commands.OpenModelAndShow();
    EXPECT_EQ(Lights(), "1: Key New Light | 0: Key1 | 0: Key1 | 0: New Light1");
    // Several refused files from one action: one message that names each.
    ui.log.clear();
    commands.OpenFiles({PathOf("none.md2"), Write("junk.lgt", {'j'})});
    EXPECT_EQ(ui.TakeLog(), Log{Message(msg::kFilesRefused,
                                        PathOf("none.md2") + ": No such file or directory (" + msg::kCannotLoadFile +
                                            ")\n" + PathOf("junk.lgt") + ": the file does not start with \"LGT0\" (" +
                                            msg::kNotLight + ")")});
    // Rendering > Animation: an animation by its place, playing on from its first frame, at the speed chosen.
    commands.Run(ids::kFirstAnimationChoice + 1);
    commands.TogglePlayback();
    commands.Run(ids::kFirstPlaybackSpeed + 3);  // 2x
    commands.AdvancePlayback(0.1);
    EXPECT_EQ(std::pair(doc.models.currentFrame, commands.StateOf(ids::kFirstPlaybackSpeed + 3).checked), std::pair(2, true));
    // Save View proposes the model and frame as the name.
    commands.SaveView();
    EXPECT_EQ(ui.fileDialogs.back().title + " " + ui.fileDialogs.back().initialName, "Save View as PNG quad-run1.png");
}

TEST_F(CommandsTest, RenderingMenuItemsRepaintEachAsItShouldAndRunKnowsOnlyHandledIds) {
    for (int id = ids::kTextureNearest; id <= ids::kMultiPassSafe; ++id) {
        const bool filter = id <= ids::kTextureTriMip;
        int32_t& field = filter ? doc.settings.textureFilter : doc.settings.multiPassMode;
        const int32_t value = id - (filter ? ids::kTextureNearest : ids::kMultiPassFast);
        // Run from the value in force (not even a spin), then from another.
        for (int32_t from : {value, int32_t(!value)}) { field = from; EXPECT_TRUE(commands.Run(id)); }
        // The check-mark rule turns the models too, every time it is asked.
        EXPECT_EQ(std::pair(field, commands.UpdateRule(id).checked), std::pair(value, true)) << id;
        EXPECT_EQ(ui.TakeLog(), (Log{"spin", "spin"})) << id;
    }
    // Wireframe belongs to the view: it repaints, but has nothing to refresh.
    for (bool on : {true, false}) {
        commands.ToggleWireframe();
        EXPECT_EQ(std::pair(view.wireframe, commands.UpdateRule(ids::kWireframe).checked), std::pair(on, on));
    }
    // The background dialog: OK takes the colour as typed, Cancel keeps what Apply did.
    float* const bg = doc.settings.backgroundColor;
    using Rgb = std::vector<float>;
    for (bool ok : {true, false}) {
        ui.backgroundDialog = [&](float rgb[3], auto& apply) {
            EXPECT_EQ(Rgb(rgb, rgb + 3), Rgb(bg, bg + 3));  // the colour in force
            if (!ok) apply(Rgb{0.1f, 0.2f, 0.3f}.data());
            rgb[0] = 2, rgb[1] = -1;
            return ok;
        };
        commands.EditBackgroundColor();
        EXPECT_EQ(Rgb(bg, bg + 3), (ok ? Rgb{2, -1, 0} : Rgb{0.1f, 0.2f, 0.3f}));
    }
    EXPECT_TRUE(commands.Run(ids::kAbout));
    for (int id : {ids::kExit, ids::kNew, ids::kOpen, ids::kSave, ids::kTextureNearest - 1})
        EXPECT_FALSE(commands.Run(id)) << id;
    EXPECT_EQ(ui.log, (Log{"redraw", "redraw", "redraw", "background-dialog", "redraw", "refresh", "redraw",
                           "background-dialog", "redraw", "redraw", "refresh", "about"}));
}

TEST(CommandTable, EveryIdHasOneRowAndEveryMenuEntryHasItsText) {
    std::map<int, const CommandRow*> rowOf;
    for (const CommandRow& row : CommandRows()) {
        for (int id = row.ids.first; id <= row.ids.last; ++id)
            EXPECT_TRUE(rowOf.emplace(id, &row).second && RowOf(id) == &row) << id << " is in two rows";
        EXPECT_TRUE(!row.spins || row.rule) << row.ids.first;
        if (row.menu == MenuPlace::None) continue;
        // Made with the menus: a text for each id. Filled when the menu opens: by the row, or by the window
        // when the row has no handler (File > Skin).
        const bool filledOnOpen = row.IsRange() && row.labels.empty();
        EXPECT_TRUE(filledOnOpen ? (row.count && row.text && row.rule) || !row.run
                                 : row.FixedEntries() == row.ids.last - row.ids.first + 1) << row.ids.first;
        for (int i = 0; i < row.FixedEntries(); ++i)
            EXPECT_NE(std::string(row.IsRange() ? row.labels[size_t(i)] : row.label ? row.label : ""), "") << row.ids.first;
    }
    EXPECT_EQ(rowOf.count(ids::kTextureNearest - 1) + rowOf.count(ids::kGlWindow), 0u);
}

TEST_F(CommandsTest, GltfAndObjOpenFromOutsideNotByThePlusButtonAndSaveAsMd2WritesTheMd2TheyMade) {
    const std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\n";
    const std::string obj = Write("tri.obj", Bytes(text.begin(), text.end()));
    // The bar's "+" opens MD2 files only, as it always has.
    ui.AnswerFile(obj);
    commands.Run(ids::kModelOpen);
    EXPECT_EQ(ui.log.back(), Message(msg::kNotMd2, obj + ": the file does not start with \"IDP2\""));
    EXPECT_EQ(Models(), "-1 0:");
    // Opened from outside, it is the MD2 it makes, saved as it was made.
    Open("m.md2");
    commands.OpenFiles({obj});
    ASSERT_EQ(Models(), "1 0: m.md2 tri.obj");
    EXPECT_TRUE(commands.StateOf(ids::kSaveAsMd2).enabled);
    ui.log.clear();
    const Bytes otherModel = testing::ReadAll(PathOf("m.md2"));
    for (const char* answer : {"out", "tri.obj", "m.md2"}) ui.AnswerFile(PathOf(answer));
    commands.Run(ids::kSaveAsMd2);
    // Onto the file it came from, or any other an open model was read from: refused, the file kept.
    commands.Run(ids::kSaveAsMd2);
    commands.Run(ids::kSaveAsMd2);
    const Bytes md2 = testing::ReadAll(PathOf("out.md2"));
    EXPECT_EQ(md2, *doc.models.CurrentModel()->convertedMd2);
    EXPECT_EQ(std::string(md2.begin(), md2.begin() + 4), "IDP2");
    EXPECT_EQ(testing::ReadAll(PathOf("m.md2")), otherModel);
    EXPECT_EQ(testing::ReadAll(obj), Bytes(text.begin(), text.end()));
    const std::string why = ": it is a file an open model or picture was read from";
    EXPECT_EQ(ui.TakeLog(), (Log{"choose:tri.md2", "view", "choose:tri.md2", Message(msg::kCannotCreate, obj + why),
                                 "choose:tri.md2", Message(msg::kCannotCreate, PathOf("m.md2") + why)}));
}

// Any MD2 saves as meshara-cli fix writes it: a clean one as it is, a faulty one mended, the summary in the status line.
TEST_F(CommandsTest, SaveAsMd2WritesEveryModelMendedAndSaysWhatWasMended) {
    fixtures::Md2Source faulty = testing::Tetrahedron(2);
    for (auto& f : faulty.frames) f.vertices.push_back({9, 9, 9, 0});  // used by nothing
    faulty.triangles.push_back({{0, 0, 1}, {0, 1, 2}});               // a repeated vertex
    const struct {
        Bytes in;
        uint32_t triangles, vertices;
        std::string said;
    } cases[] = {
        {fixtures::WriteMd2(testing::Tetrahedron(2)), 4, 4, "saved as MD2: nothing to mend"},
        {fixtures::WriteMd2(faulty), 4, 4, "saved as MD2: mended degenerate-triangles (1), unused-vertices (1)"},
    };
    for (const auto& c : cases) {
        Reset();
        EXPECT_TRUE(commands.OpenModelPath(Write("in.md2", c.in)));
        EXPECT_TRUE(commands.StateOf(ids::kSaveAsMd2).enabled);
        ui.AnswerFile(PathOf("out"));
        commands.Run(ids::kSaveAsMd2);
        const Bytes out = testing::ReadAll(PathOf("out.md2"));
        ASSERT_GE(out.size(), 68u) << c.said;
        const auto field = [&](size_t at) { uint32_t v; std::memcpy(&v, &out[at], 4); return v; };
        EXPECT_EQ(std::pair(field(32), field(24)), std::pair(c.triangles, c.vertices)) << c.said;
        if (c.said.ends_with("nothing to mend")) {
            EXPECT_EQ(out, c.in);
        }
        EXPECT_NE(StatusLine(doc, view).find(c.said), std::string::npos) << StatusLine(doc, view);
        // Saved again, the status line tells the last save only.
        ui.AnswerFile(PathOf("again.md2"));
        commands.Run(ids::kSaveAsMd2);
        const std::string line = StatusLine(doc, view);
        EXPECT_EQ(line.find("saved as MD2"), line.rfind("saved as MD2")) << line;
    }
}

TEST_F(CommandsTest, SkinLayoutIsSentWhenItsModelMapOrFrameChangesAndPicksOutTheTrianglePointedAt) {
    Open("quad.md2");  // a 64 x 32 skin, 8 pixels a pixel
    EXPECT_TRUE(commands.Run(ids::kShowSkinLayout));
    EXPECT_TRUE(commands.StateOf(ids::kShowSkinLayout).checked);
    EXPECT_EQ(ui.TakeLog(), (Log{"layout:512x256", "redraw"}));
    const struct {
        std::function<void()> change;
        Log sent;
    } kChanges[] = {
        {[] {}, {}},
        {[&] { commands.LoadMapPath(MapKind::Texture, Write("skin.pcx", fixtures::WritePcx(kPicture))); },
         kChanged + Log{"layout:512x256"}},
        {[&] { commands.NextFrame(); }, kChanged + Log{"layout:512x256"}},
        {[&] { commands.PointAtLayout(384, 64); }, {"layout:512x256", "view"}},
        {[&] { commands.PointAtLayout(380, 60); }, {}},  // the same triangle
    };
    for (const auto& c : kChanges) {
        c.change();
        commands.SyncSkinLayout();
        EXPECT_EQ(ui.TakeLog(), c.sent);
    }
    EXPECT_EQ(SceneOf(doc, view).highlightTriangle, 0);
    commands.PointAtLayout(64, 192);
    EXPECT_EQ(SceneOf(doc, view).highlightTriangle, 1);
    // In the view: a quad standing square to the start camera, its lower right half first, up and right of the
    // middle of the 320 x 240 view.
    fixtures::Md2Source standing = testing::SmallQuad();
    standing.frames.resize(1);
    standing.frames[0].vertices = {{0, 0, 0, 0}, {10, 0, 0, 0}, {10, 0, 10, 0}, {0, 0, 10, 0}};
    standing.triangles = {{{0, 2, 1}, {0, 2, 1}}, {{0, 3, 2}, {0, 3, 2}}};
    ASSERT_TRUE(commands.OpenModelPath(Write("standing.md2", fixtures::WriteMd2(standing))));
    doc.models.currentFrame = 0;  // its one frame; on the quad's second it is not drawn, and nothing is found
    std::vector<int32_t> found;
    for (auto [x, y] : {std::pair{190, 115}, {165, 80}, {100, 100}}) {
        commands.PointAtView(x, y);
        found.push_back(view.pointedTriangle);
    }
    EXPECT_EQ(found, (std::vector<int32_t>{0, 1, -1}));
    ui.log.clear();
    commands.Run(ids::kShowSkinLayout);
    EXPECT_EQ(std::pair(SceneOf(doc, view).highlightTriangle, ui.TakeLog().front()), std::pair(-1, std::string("layout:hidden")));
}

TEST_F(CommandsTest, ShowItemsToggleAndSaveAnimationRecordsTheCurrentAnimationOrNothing) {
    // Rendering > Show: each item on and off again, repainting only.
    for (int id : {ids::kShowNormals, ids::kShowBoundingBox, ids::kShowFloorGrid})
        for (bool on : {true, false}) {
            EXPECT_TRUE(commands.Run(id));
            EXPECT_EQ(std::pair(commands.UpdateRule(id).checked, ui.TakeLog()), std::pair(on, Log{"redraw"})) << id;
        }
    // Greyed, and inert, without an animation holding the frame.
    EXPECT_FALSE(commands.StateOf(ids::kSaveAnimation).enabled);
    commands.Run(ids::kSaveAnimation);
    EXPECT_TRUE(ui.fileDialogs.empty() && ui.TakeLog().empty());

    Open("q/quad.md2", 4, {"stand1", "stand2", "run1", "run2"});
    doc.models.currentFrame = 3;
    view.show.box = true;
    view.playbackSpeed = 2;
    ui.viewSize = {2, 1};
    ui.viewPixels = {1, 2, 3, 4, 5, 6};
    EXPECT_TRUE(commands.StateOf(ids::kSaveAnimation).enabled);
    // Each picture a frame of "run" in order, with the view's show items; the format from the name, else the filter.
    for (auto [answer, filter, written, magic] : {std::tuple{"run", 0, "run.gif", "GIF89a"}, {"run.gif", 1, "run.gif", "GIF89a"},
                                                 {"run", 1, "run.webp", "RIFF"}}) {
        ui.AnswerFile(PathOf(answer), filter);
        ui.scenes.clear();
        ui.progressSteps.clear();
        commands.Run(ids::kSaveAnimation);
        const Bytes bytes = testing::ReadAll(PathOf(written));
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), strlen(magic))), magic) << answer;
        std::vector<int32_t> frames;
        for (const Scene& scene : ui.scenes) frames.push_back(scene.show.box ? scene.frame : -1);
        EXPECT_EQ(frames, (std::vector<int32_t>{2, 3}));
        EXPECT_EQ(ui.progressSteps, (std::vector{1, 2}));
        EXPECT_EQ(ui.TakeLog(), (Log{"choose:quad-run.gif", "progress:Save Animation | Drawing run into " + PathOf(written) + " | 2", "progress:end"}));
        fs::remove(PathOf(written));
    }
    // Cancelled: nothing written, nothing said. Unwritable, or no picture: a message.
    ui.cancelAtStep = 1;
    ui.AnswerFile(PathOf("cancelled.gif"));
    commands.Run(ids::kSaveAnimation);
    EXPECT_FALSE(fs::exists(PathOf("cancelled.gif")));
    EXPECT_EQ(ui.TakeLog().back(), "progress:end");
    ui.cancelAtStep = -1;
    ui.AnswerFile(PathOf("missing/run.gif"));
    commands.Run(ids::kSaveAnimation);
    EXPECT_EQ(ui.TakeLog().back(), Message(msg::kCannotCreate, PathOf("missing/run.gif") + ": No such file or directory"));
    ui.viewPixels.clear();
    ui.AnswerFile(PathOf("blind.gif"));
    commands.Run(ids::kSaveAnimation);
    EXPECT_EQ(ui.TakeLog().back(), Message(msg::kCannotCreate, PathOf("blind.gif") + ": the view has no picture"));
    EXPECT_FALSE(fs::exists(PathOf("blind.gif")));
}


}  // namespace
}  // namespace meshara

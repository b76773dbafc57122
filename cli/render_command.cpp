// meshara-cli render: one picture of a model, drawn offscreen by the same
// renderer as the viewer, or an animated GIF or WebP of an animation or a
// turntable (session/animated_picture.h). With no options it looks as the
// viewer shows a model opened from outside: its named skin on, the key
// light on it, and turned as the thumbnail holds it.

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "cli/cli_common.h"
#include "cli/progress.h"
#include "formats/animated_writer.h"
#include "formats/jpeg_writer.h"
#include "formats/lgt_file.h"
#include "formats/png_writer.h"
#include "render/gl_view.h"
#include "render/offscreen.h"
#include "render/renderer.h"
#include "session/animated_picture.h"
#include "session/map_table.h"
#include "session/prepare.h"
#include "session/scene_setup.h"

namespace meshara::cli {

namespace {

constexpr int kMaxSide = 8192;

// "A<sep>B", sep one of separators, into two integers, each within [low, high].
bool ParsePair(std::string_view text, std::string_view separators, long low, long high, long& a, long& b) {
    const size_t cut = text.find_first_of(separators);
    return cut != std::string_view::npos && ParseInteger(text.substr(0, cut), low, high, a) &&
           ParseInteger(text.substr(cut + 1), low, high, b);
}

// What the output's name asks for; "-" is a PNG on standard output.
enum class OutputFormat { Png, Jpeg, Gif, Webp };

std::optional<OutputFormat> OutputFormatOf(std::string_view path) {
    if (path == "-") return OutputFormat::Png;
    if (const auto animated = AnimatedFormatOf(path))
        return *animated == AnimatedFormat::Gif ? OutputFormat::Gif : OutputFormat::Webp;
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return std::nullopt;
    std::string ext(path.substr(dot + 1));
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == "png") return OutputFormat::Png;
    if (ext == "jpg" || ext == "jpeg") return OutputFormat::Jpeg;
    return std::nullopt;
}

bool ParseColour(std::string_view text, float rgb[3]) {
    std::string s(text);
    const char* p = s.c_str();
    for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        errno = 0;
        rgb[i] = std::strtof(p, &end);
        if (end == p || errno != 0) return false;
        if (i < 2) {
            if (*end != ',') return false;
            p = end + 1;
        } else if (*end != '\0') {
            return false;
        }
    }
    return true;
}

struct RenderOptions {
    std::string model;
    std::string output;
    int width = 512;
    int height = 384;
    std::string frame;      // a number or a frame's name; empty for frame 0
    std::string animation;  // draw this animation's first frame
    std::string maps[kMapKinds];  // by MapKind
    // Lights in command-line order; an empty path stands for a new light.
    std::vector<std::string> lights;
    RenderSettings settings;
    bool wireframe = false;
    bool environment = false;
    std::optional<Point> drag;
    Framing framing = Framing::ThreeQuarter;
    bool keyLight = true;  // the viewer's light for a model from outside, when no other is asked for
    bool headerSkin = true;
    bool noSkin = false;
    std::optional<int32_t> skin;
    std::string playerSkin, weapon;  // for a player's folder
    ShowItems show;
    OutputFormat format = OutputFormat::Png;
    std::optional<AnimatedFormat> animated;  // told by the output's name
    int32_t turntable = 0;                   // pictures of a turn; 0 for none
    double fps = kFramesPerSecond;
};

// "normals,box,grid", any of them in any order.
bool ParseShow(std::string_view text, ShowItems& show) {
    while (true) {
        const size_t cut = text.find(',');
        const std::string_view item = text.substr(0, cut);
        if (item == "normals") show.normals = true;
        else if (item == "box") show.box = true;
        else if (item == "grid") show.grid = true;
        else return false;
        if (cut == std::string_view::npos) return true;
        text.remove_prefix(cut + 1);
    }
}

// Returns an empty string when the arguments are good, else the problem.
std::string Read(const Arguments& args, RenderOptions& o) {
    o.model = args.operands[0];
    const std::string* output = args.Value("output");
    if (!output) return "missing -o OUT.png (or OUT.jpg, OUT.gif, OUT.webp)";
    o.output = *output;
    const auto format = OutputFormatOf(o.output);
    if (!format) return "the output's name tells the format, .png, .jpg, .jpeg, .gif or .webp (\"-\" for a PNG on "
                        "standard output): " + o.output;
    o.format = *format;
    if (o.output != "-") o.animated = AnimatedFormatOf(o.output);
    for (const MapRowInfo& row : kMapRows)
        if (const std::string* path = args.Value(row.name)) o.maps[static_cast<size_t>(row.kind)] = *path;
    for (const Arguments::Given& g : args.given) {
        const std::string_view name = g.option->longName;
        if (name == "light") o.lights.push_back(g.value);
        if (name == "new-light") o.lights.emplace_back();
    }
    if (const std::string* v = args.Value("size")) {
        long w, h;
        if (!ParsePair(*v, "x,", 1, kMaxSide, w, h))
            return "--size needs WxH or W,H, each 1 to " + std::to_string(kMaxSide);
        o.width = static_cast<int>(w);
        o.height = static_cast<int>(h);
    }
    if (const std::string* v = args.Value("frame")) o.frame = *v;
    if (const std::string* v = args.Value("animation")) o.animation = *v;
    if (!o.frame.empty() && !o.animation.empty()) return "--frame and --animation both choose the frame";
    if (const std::string* v = args.Value("background"); v && !ParseColour(*v, o.settings.backgroundColor))
        return "--background needs R,G,B";
    if (const std::string* v = args.Value("filter")) {
        long f;
        if (!ParseInteger(*v, 0, 4, f)) return "--filter needs 0 to 4";
        o.settings.textureFilter = static_cast<int32_t>(f);
    }
    o.settings.multiPassMode = args.Has("safe") ? 1 : 0;
    o.wireframe = args.Has("wireframe");
    o.environment = args.Has("env");
    if (args.Has("fit") && args.Has("start-view")) return "--fit and --start-view both choose the view";
    if (std::string problem = ReadSkinNumber(args, o.skin, &o.playerSkin); !problem.empty()) return problem;
    o.noSkin = args.Has("no-skin");
    if (o.noSkin && (args.Has("header-skin") || args.Has("skin") || args.Has("texture")))
        return "--no-skin and --header-skin, --skin or --texture both choose the skin";
    o.headerSkin = !o.noSkin;
    if (args.Has("no-light") && !o.lights.empty()) return "--no-light and --light or --new-light both choose the light";
    o.keyLight = o.lights.empty() && !args.Has("no-light");
    if (const std::string* v = args.Value("weapon")) o.weapon = *v;
    if (const std::string* v = args.Value("drag")) {
        long dx, dy;
        if (!ParsePair(*v, ",", -kMaxSide, kMaxSide, dx, dy))
            return "--drag needs DX,DY in pixels, each -" + std::to_string(kMaxSide) + " to " + std::to_string(kMaxSide);
        o.drag = Point{static_cast<int32_t>(dx), static_cast<int32_t>(dy)};
    }
    if (const std::string* v = args.Value("show"); v && !ParseShow(*v, o.show))
        return "--show needs one or more of normals, box, grid, separated by commas";
    if (const std::string* v = args.Value("turntable")) {
        long n;
        if (!ParseInteger(*v, 1, kMaxTurntablePictures, n))
            return "--turntable needs a number of pictures, 1 to " + std::to_string(kMaxTurntablePictures);
        o.turntable = static_cast<int32_t>(n);
    }
    if (const std::string* v = args.Value("fps"); v && (!ParsePositive(*v, kMaxPictureRate, o.fps) || o.fps < kMinPictureRate))
        return "--fps needs pictures a second, 0.1 to 50";
    if ((o.turntable > 0 || args.Has("fps")) && !o.animated)
        return "--turntable and --fps make an animated picture: -o OUT.gif or OUT.webp";
    // The thumbnail's view unless the picture asks for the start view, or for a turn or a drag from it.
    o.framing = args.Has("fit")                                       ? Framing::Front
                : args.Has("start-view") || o.drag || o.turntable > 0 ? Framing::Start
                                                                      : Framing::ThreeQuarter;
    return {};
}

// The animated picture: every shot drawn offscreen, encoded as it comes,
// with a line on the terminal telling how far it is.
std::optional<std::vector<uint8_t>> RecordShots(const RenderOptions& o, const Scene& base,
                                                const std::vector<Shot>& shots, Renderer& renderer,
                                                const OffscreenContext& context) {
    auto recorded = [&] {
        TerminalProgress line("drawing " + o.output, "pictures");  // wiped before any message
        return RecordAnimation(
            base, shots, *o.animated,
            [&](const Scene& scene, PixelSize& size, std::vector<uint8_t>& rgb) {
                renderer.Render(scene, nullptr);
                size = {o.width, o.height};
                rgb = context.ReadPixels();
                return true;
            },
            [&](int32_t done, int32_t total) {
                line.Show(done, total);
                return true;
            });
    }();
    if (!recorded) {
        Refused(FileKind::Output, recorded.Why(), o.output);
        return std::nullopt;
    }
    return std::move(recorded.Value().bytes);
}

int Render(const Arguments& args) {
    RenderOptions o;
    if (std::string problem = Read(args, o); !problem.empty()) return Usage(RenderCommand().table, problem);

    PrepareRequest request;
    request.model = o.model;
    request.frame = o.frame;
    request.animation = o.animation;
    request.namedSkin = o.headerSkin;
    request.skin = o.skin;
    request.playerSkin = o.playerSkin;
    request.weapon = o.weapon;
    std::copy(std::begin(o.maps), std::end(o.maps), request.maps.begin());
    request.lights = o.lights;
    request.framing = o.framing;
    // An animated picture of an animation keeps the whole of it in view; a still, or a still turned, its frame.
    request.fitSpan = o.animated && !o.animation.empty() ? FitSpan::Animation : FitSpan::Frame;
    request.width = o.width;
    request.height = o.height;
    auto prepared = PrepareModel(request);
    if (auto* problem = std::get_if<PrepareProblem>(&prepared)) return Report(*problem, RenderCommand().table);
    PreparedModel& p = std::get<PreparedModel>(prepared);
    Document& doc = p.doc;
    ModelSlot& slot = *p.slot;
    const Md2Model& model = *slot.model;
    const int32_t frame = doc.models.currentFrame;
    Notes notes(std::move(p.notes));
    if (o.keyLight) LightEveryModel(doc, MakeKeyLight());
    // A player's skin comes with its folder, not through the named skin.
    if (o.noSkin)
        for (ModelSlot* s : {p.slot, p.weapon})
            if (s) s->Map(MapKind::Texture).reset();
    slot.environmentMapped = o.environment;
    doc.settings = o.settings;

    ViewState& view = p.view;
    view.wireframe = o.wireframe;
    view.show = o.show;
    if (o.drag) {
        const Point centre{o.width / 2, o.height / 2};
        TurnByDrag(view.camera, centre, {centre.x + o.drag->x, centre.y + o.drag->y}, {o.width, o.height});
    }
    if (std::string same = SameAsInput({o.output}, p.inputs); !same.empty())
        return Unusable(same, "is one of the command's inputs; choose another output name");

    // Everything is read before the context is made, so a refused file costs no GL start-up.
    std::string why;
    auto context = OffscreenContext::Create(o.width, o.height, why);
    if (!context) {
        std::fprintf(stderr, "meshara-cli: cannot draw offscreen: %s\n", why.c_str());
        return kExitRefused;
    }
    InitGLState(o.width, o.height);
    ApplyViewportAndProjection(o.width, o.height);
    // After the context, so its textures go while the context is still there.
    Renderer renderer;

    if (o.animated) {
        const Md2Animation* animation = o.animation.empty() ? nullptr : AnimationHolding(model, frame);
        const std::vector<Shot> shots = o.turntable > 0 ? TurntableShots(frame, animation, o.turntable, o.fps)
                                        : animation     ? AnimationShots(*animation, o.fps)
                                                        : std::vector<Shot>{{frame, 0, 1000 / o.fps}};
        const auto bytes = RecordShots(o, SceneOf(doc, view), shots, renderer, *context);
        if (!bytes) return kExitRefused;
        return notes.Finish(WriteOutput(o.output, *bytes) ? kExitOk : kExitRefused);
    }
    renderer.Render(SceneOf(doc, view), nullptr);
    const std::vector<uint8_t> rgb = context->ReadPixels();
    const std::vector<uint8_t> bytes = o.format == OutputFormat::Jpeg ? EncodeJpeg(o.width, o.height, rgb)
                                                                     : EncodePng(o.width, o.height, rgb, 3);
    if (bytes.empty()) {
        std::fprintf(stderr, "meshara-cli: %s: the picture could not be encoded\n", Printable(o.output).c_str());
        return kExitRefused;
    }
    return notes.Finish(WriteOutput(o.output, bytes) ? kExitOk : kExitRefused);
}

}  // namespace

const Subcommand& RenderCommand() {
    static constexpr Option kOptions[] = {
        {"output", 'o', "OUT", "the picture to write, in the format its name tells: OUT.png (\"-\" for a PNG on standard "
                               "output), OUT.jpg or OUT.jpeg, or an animated OUT.gif or OUT.webp"},
        {"size", 's', "WxH", "its size in pixels, WxH or W,H (512x384)"},
        {"frame", 'f', "K", "the frame drawn: its number or its name (0)"},
        {"animation", 'a', "NAME", "the first frame of this animation; into a GIF or WebP, all its frames"},
        {"texture", 't', "F", "the texture map"},
        {"diffusion", 0, "F", "the diffusion map"},
        {"specularity", 0, "F", "the specularity map"},
        {"glow", 0, "F", "the glow map"},
        {"light", 'l', "FILE.lgt", "a light from a light file", true},
        {"new-light", 0, nullptr, "a light with the \"New Light\" values", true},
        {"no-light", 0, nullptr, "no light at all: the model is drawn black (without a light option, the light the "
                                 "viewer gives a model opened from outside)"},
        {"background", 0, "R,G,B", "the background colour, 0 to 1 each (0,0,0)"},
        {"filter", 0, "0-4", "texture filter: Nearest, Linear, Near-MIP, Bi-MIP, Tri-MIP (4)"},
        {"safe", 0, nullptr, "Safe multi-pass depth instead of Fast"},
        {"wireframe", 0, nullptr, "draw the triangles' edges"},
        {"env", 0, nullptr, "sphere environment mapping"},
        {"drag", 0, "DX,DY", "turn the model as a left drag of that many pixels from the middle would"},
        {"fit", 0, nullptr, "bring the model into view from the front, as Fit Models does"},
        {"start-view", 0, nullptr, "the view the viewer starts with (without a view option, the thumbnail's: turned "
                                   "a little, seen from a little above, fitted)"},
        {"header-skin", 0, nullptr, "the skin the model names, found as the game finds it, as the texture (the default)"},
        {"no-skin", 0, nullptr, "no skin: the model bare, as without a texture"},
        {"skin", 0, "N", "the model's skin N (from 0), found as --header-skin finds it, as the texture; for a "
                         "player's folder, one of its skins by name or number"},
        {"weapon", 0, "NAME", "for a player's folder, the weapon it holds: weapon, a vweap (w_railgun...), or none"},
        {"show", 0, "ITEMS", "draw over the model: normals, box, grid, or several separated by commas"},
        {"turntable", 0, "N", "N pictures turning once round the vertical (GIF or WebP)"},
        {"fps", 0, "RATE", "pictures a second in a GIF or WebP (10, the games' rate)"},
    };
    static constexpr CommandTable kTable{"render", "MODEL", 1, 1,
                                       "draw the model offscreen into a PNG or JPEG, or an animated GIF or WebP", kOptions};
    static constexpr Subcommand kCommand{kTable, Render};
    return kCommand;
}

}  // namespace meshara::cli

// meshara-cli render: one picture of a model, drawn offscreen by the same
// renderer as the viewer, from the camera's start state.

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "app/cli/cli_common.h"
#include "skins/png_writer.h"
#include "lights/lgt_file.h"
#include "lights/light_record.h"
#include "model/md2_loader.h"
#include "skins/skin_lookup.h"
#include "render/framing.h"
#include "render/gl_view.h"
#include "render/offscreen.h"
#include "render/renderer.h"
#include "render/skin_texture.h"

namespace meshara::cli {

namespace {

constexpr int kMaxSide = 8192;

struct RenderOptions {
    std::string model;
    std::string output;
    int width = 512;
    int height = 384;
    long frame = 0;
    std::string maps[4];  // texture, diffusion, specularity, glow
    // Lights in command-line order; an empty path stands for a new light.
    std::vector<std::string> lights;
    float background[3] = {0, 0, 0};
    int filter = 4;
    bool safe = false;
    bool wireframe = false;
    bool environment = false;
    std::optional<Point> drag;
    bool fit = false;
    bool headerSkin = false;
};

// "A<sep>B" into two integers, each within [low, high].
bool ParsePair(std::string_view text, char separator, long low, long high, long& a, long& b) {
    const size_t cut = text.find(separator);
    return cut != std::string_view::npos && ParseInteger(text.substr(0, cut), low, high, a) &&
           ParseInteger(text.substr(cut + 1), low, high, b);
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

// Returns an empty string when the arguments are good, else the problem.
std::string Parse(const Args& args, RenderOptions& o) {
    static constexpr std::string_view kMapFlags[4] = {"--texture", "--diffusion", "--specularity", "--glow"};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        auto value = [&](std::string_view& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string_view v;
        bool mapFlag = false;
        for (int m = 0; m < 4; ++m)
            if (a == kMapFlags[m]) {
                if (!value(v)) return std::string(a) + " needs a picture file";
                o.maps[m] = std::string(v);
                mapFlag = true;
            }
        if (mapFlag) continue;
        if (a == "-o") {
            if (!value(v)) return "-o needs an output file";
            o.output = std::string(v);
        } else if (a == "--size") {
            long w, h;
            if (!value(v) || !ParsePair(v, 'x', 1, kMaxSide, w, h))
                return "--size needs WxH, each 1 to " + std::to_string(kMaxSide);
            o.width = static_cast<int>(w);
            o.height = static_cast<int>(h);
        } else if (a == "--frame") {
            if (!value(v) || !ParseInteger(v, 0, INT32_MAX, o.frame)) return "--frame needs a frame number (0 or more)";
        } else if (a == "--light") {
            if (!value(v)) return "--light needs a light file";
            o.lights.emplace_back(v);
        } else if (a == "--new-light") {
            o.lights.emplace_back();
        } else if (a == "--background") {
            if (!value(v) || !ParseColour(v, o.background)) return "--background needs R,G,B";
        } else if (a == "--filter") {
            long f;
            if (!value(v) || !ParseInteger(v, 0, 4, f)) return "--filter needs 0 to 4";
            o.filter = static_cast<int>(f);
        } else if (a == "--safe") {
            o.safe = true;
        } else if (a == "--wireframe") {
            o.wireframe = true;
        } else if (a == "--env") {
            o.environment = true;
        } else if (a == "--fit") {
            o.fit = true;
        } else if (a == "--header-skin") {
            o.headerSkin = true;
        } else if (a == "--drag") {
            long dx, dy;
            if (!value(v) || !ParsePair(v, ',', -kMaxSide, kMaxSide, dx, dy))
                return "--drag needs DX,DY in pixels, each -" + std::to_string(kMaxSide) + " to " +
                       std::to_string(kMaxSide);
            o.drag = Point{static_cast<int32_t>(dx), static_cast<int32_t>(dy)};
        } else if (o.model.empty() && !a.starts_with("-")) {
            o.model = std::string(a);
        } else {
            return "unexpected argument: " + std::string(a);
        }
    }
    if (o.model.empty()) return "render needs a model file";
    if (o.output.empty()) return "render needs -o OUT.png";
    return {};
}

// A window that is not there: the drag handlers need only its size and capture.
class OffscreenHost final : public CameraHost {
public:
    explicit OffscreenHost(Point size) : size_(size) {}
    bool HasCapture() const override { return captured_; }
    void CaptureMouse() override { captured_ = true; }
    void ReleaseMouse() override { captured_ = false; }
    void RepaintNow() override {}
    void RequestRedraw() override {}
    Point ClientSize() const override { return size_; }

private:
    Point size_;
    bool captured_ = false;
};

}  // namespace

int Render(const Args& args) {
    RenderOptions o;
    if (std::string problem = Parse(args, o); !problem.empty()) return Usage(problem);

    std::string why;
    auto context = OffscreenContext::Create(o.width, o.height, why);
    if (!context) {
        std::fprintf(stderr, "meshara-cli: cannot draw offscreen: %s\n", why.c_str());
        return kExitRefused;
    }
    InstallTextureReleaseHook();
    InitGLState(o.width, o.height);
    ApplyViewportAndProjection(o.width, o.height);

    // Declared after the context so models and their textures go first.
    ModelList models;
    GlobalLightList lights;
    auto loaded = LoadMd2Model(o.model);
    if (!loaded) return Refused(FileKind::Model, loaded.Error(), o.model, loaded.Detail());
    Md2Model& model = *loaded.Value();
    if (model.FrameCount() == 0) {
        std::fprintf(stderr, "meshara-cli: %s: the model has no frames, so there is nothing to draw\n", o.model.c_str());
        return kExitRefused;
    }
    if (o.frame >= model.FrameCount())
        return Usage("frame " + std::to_string(o.frame) + " is out of range: the model has " +
                     std::to_string(model.FrameCount()) + " frames");

    if (o.headerSkin && o.maps[0].empty()) {
        o.maps[0] = FindSkinFile(o.model, model.skinNames);
        if (o.maps[0].empty() && model.skinNames.empty())
            std::fprintf(stderr, "note: %s names no skin; it is drawn untextured\n", o.model.c_str());
        else if (o.maps[0].empty())
            std::fprintf(stderr, "note: the skin %s names (%s) was not found; it is drawn untextured\n",
                         o.model.c_str(), model.skinNames.front().c_str());
    }
    if (o.lights.empty())
        std::fprintf(stderr, "note: no light reaches %s, so it is drawn black; add one with --new-light\n",
                     o.model.c_str());
    std::unique_ptr<SkinImage>* slots[4] = {&model.textureMap, &model.diffusionMap, &model.specularityMap,
                                           &model.glowMap};
    for (int m = 0; m < 4; ++m) {
        if (o.maps[m].empty()) continue;
        auto skin = LoadSkinImage(o.maps[m]);
        if (!skin) return Refused(FileKind::Skin, skin.Error(), o.maps[m], skin.Detail());
        *slots[m] = skin.Take();
    }
    for (const std::string& path : o.lights) {
        std::unique_ptr<LightRecord> light;
        if (path.empty()) {
            light = std::make_unique<LightRecord>();
        } else {
            auto read = LoadLightFile(path);
            if (!read) return Refused(FileKind::Light, read.Error(), path, read.Detail());
            light = read.Take();
        }
        AppendModelLight(model, light.get());
        AppendGlobalLight(lights, std::move(light));
    }
    model.environmentMapped = o.environment ? 1 : 0;
    models.models.push_back(loaded.Take());
    models.currentModel = 0;
    models.currentFrame = static_cast<int32_t>(o.frame);

    Camera camera;
    if (o.fit) FitCamera(camera, VisibleBounds(models), o.width, o.height);
    if (o.drag) {
        OffscreenHost host({o.width, o.height});
        const Point centre{o.width / 2, o.height / 2};
        OnLeftButtonDown(camera, host, MouseLeft, centre);
        OnMouseMove(camera, host, MouseLeft, {centre.x + o.drag->x, centre.y + o.drag->y});
        OnLeftButtonUp(camera, host, 0);
        AdvanceSpin(camera);
        spinActive = 0;
    }
    RenderSettings settings;
    std::copy(o.background, o.background + 3, settings.backgroundColor);
    settings.textureFilter = o.filter;
    settings.multiPassMode = o.safe ? 1 : 0;
    RenderScene(Scene{models, settings, camera, o.wireframe ? 1 : 0}, nullptr);

    const std::vector<uint8_t> png = EncodePng(o.width, o.height, context->ReadPixels(), 3);
    return WriteOutput(o.output, png) ? kExitOk : kExitRefused;
}

}  // namespace meshara::cli

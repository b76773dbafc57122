// meshara-cli thumbnail: a small square picture of a file for file
// managers (the freedesktop thumbnailer entry runs it). A model is drawn
// with the skin it names, a picture is shown as it is, and a light file as
// a sphere it lights; the background is transparent.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "app/cli/cli_common.h"
#include "io/file_bytes.h"
#include "lights/lgt_file.h"
#include "lights/light_record.h"
#include "model/animations.h"
#include "model/md2_loader.h"
#include "render/framing.h"
#include "render/gl_view.h"
#include "render/offscreen.h"
#include "render/renderer.h"
#include "render/vecmath.h"
#include "render/skin_texture.h"
#include "skins/png_writer.h"
#include "skins/skin_decoder.h"
#include "skins/skin_lookup.h"
#include "skins/skin_scale.h"

namespace meshara::cli {

namespace {

constexpr long kDefaultSize = 256;
constexpr long kMaxSize = 4096;

enum class InputKind { Model, Light, Picture };

// Told by the first bytes, as the file types are declared to the desktop.
LoadResult<InputKind> KindOf(const std::string& path) {
    auto file = InputFile::Open(path);
    if (!file) return LoadResult<InputKind>::Fail(file.Error(), file.Detail());
    std::vector<uint8_t> head;
    std::string why;
    if (!file.Value().ReadMore(head, 4, why)) return LoadResult<InputKind>::Fail(LoadError::CannotOpen, why);
    if (head.size() == 4 && std::memcmp(head.data(), "IDP2", 4) == 0) return InputKind::Model;
    if (head.size() == 4 && std::memcmp(head.data(), "LGT0", 4) == 0) return InputKind::Light;
    return InputKind::Picture;
}

// A unit sphere as a model, smooth and closed, for showing a light on.
// Corners go round clockwise seen from outside in the model's axes, the
// order the loader leaves MD2 triangles in (the renderer's y/z exchange
// makes them counter-clockwise on screen).
std::unique_ptr<Md2Model> MakeSphere() {
    constexpr int kRings = 24, kSegments = 48;
    auto model = std::make_unique<Md2Model>();
    model->name = "sphere";
    Md2Frame frame;
    frame.name = "sphere";
    frame.vertices.push_back({0, 0, 1});
    for (int i = 1; i < kRings; ++i)
        for (int j = 0; j < kSegments; ++j) {
            const double theta = std::numbers::pi * i / kRings, phi = 2 * std::numbers::pi * j / kSegments;
            frame.vertices.push_back({std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)});
        }
    frame.vertices.push_back({0, 0, -1});
    const auto index = [&](int i, int j) -> uint16_t {
        if (i == 0) return 0;
        if (i == kRings) return static_cast<uint16_t>(frame.vertices.size() - 1);
        return static_cast<uint16_t>(1 + (i - 1) * kSegments + j % kSegments);
    };
    for (int i = 0; i < kRings; ++i)
        for (int j = 0; j < kSegments; ++j) {
            const uint16_t a = index(i, j), b = index(i + 1, j), c = index(i + 1, j + 1), d = index(i, j + 1);
            if (i < kRings - 1) model->triangles.push_back(Md2Triangle{{a, c, b}});
            if (i > 0) model->triangles.push_back(Md2Triangle{{a, d, c}});
        }
    model->vertexCount = static_cast<int32_t>(frame.vertices.size());
    model->triangleCount = static_cast<int32_t>(model->triangles.size());
    model->frames.push_back(std::move(frame));
    return model;
}

// The light models are shown in: from the viewer's side and a little above
// and to the right, with some ambient so the far side keeps its shape.
std::unique_ptr<LightRecord> ThumbnailLight() {
    auto light = std::make_unique<LightRecord>();
    const float position[4] = {0.4f, 0.6f, 1, 0}, ambient[4] = {0.35f, 0.35f, 0.35f, 1},
                diffuse[4] = {0.75f, 0.75f, 0.75f, 1}, specular[4] = {0.1f, 0.1f, 0.1f, 1};
    std::copy(position, position + 4, light->position);
    std::copy(ambient, ambient + 4, light->ambient);
    std::copy(diffuse, diffuse + 4, light->diffuse);
    std::copy(specular, specular + 4, light->specular);
    light->name = "Thumbnail";
    return light;
}

// The picture scaled to fit the square, centred, the rest transparent.
std::vector<uint8_t> PictureThumbnail(const SkinImage& image, int size) {
    const double fit = std::min(static_cast<double>(size) / image.width, static_cast<double>(size) / image.height);
    const int w = std::clamp(static_cast<int>(std::lround(image.width * fit)), 1, size);
    const int h = std::clamp(static_cast<int>(std::lround(image.height * fit)), 1, size);
    const std::vector<uint8_t> scaled = ScaleRgb(image.pixels, image.width, image.height, w, h);
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4, 0);
    const int left = (size - w) / 2, top = (size - h) / 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* to = &rgba[(static_cast<size_t>(top + y) * size + left + x) * 4];
            std::memcpy(to, &scaled[(static_cast<size_t>(y) * w + x) * 3], 3);
            to[3] = 255;
        }
    return EncodePng(size, size, rgba, 4);
}

// Models are shown turned a little and seen from a little above, as one
// would hold them up to look: straight from the side or the front, a flag
// is a line and a dolphin a wedge. FitCamera is given the box of the turned
// model (over the animation the frame is in), placed where the model is;
// the pan then centres what the turn moved off centre.
void FitTurnedCamera(Camera& camera, const ModelList& models, int size) {
    Vec3 up{0, 1, 0}, across{1, 0, 0};
    Quat yaw, pitch, turn;
    AxisAngleToQuat(up, static_cast<float>(35 * std::numbers::pi / 180), yaw);
    AxisAngleToQuat(across, static_cast<float>(-20 * std::numbers::pi / 180), pitch);
    ComposeQuats(yaw, pitch, turn);
    const Bounds box = VisibleBounds(models);
    if (box.empty) return;
    const Vec3d centre{(box.min.x + box.max.x) / 2, (box.min.y + box.max.y) / 2, (box.min.z + box.max.z) / 2};
    float m[16];
    QuatToMatrix(m, turn);
    Bounds turned;
    const Md2Model& model = *models.models.front();
    const auto animations = FindAnimations(model);
    const Md2Animation& a = animations[static_cast<size_t>(AnimationOfFrame(animations, models.currentFrame))];
    for (int32_t f = a.first; f <= a.last; ++f)
        for (const Vec3d& v : model.frames[static_cast<size_t>(f)].vertices) {
            // In GL's axes as drawn, about the centre, turned as the matrix turns it.
            const double p[3] = {v.x - centre.x, v.z - centre.y, v.y - centre.z};
            double q[3];
            for (int row = 0; row < 3; ++row) q[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2];
            turned.Add(Vec3d{q[0], q[1], q[2]});
        }
    const Vec3d middle{(turned.min.x + turned.max.x) / 2, (turned.min.y + turned.max.y) / 2,
                       (turned.min.z + turned.max.z) / 2};
    Bounds fit;
    fit.Add(Vec3d{centre.x + turned.min.x - middle.x, centre.y + turned.min.y - middle.y, centre.z + turned.min.z - middle.z});
    fit.Add(Vec3d{centre.x + turned.max.x - middle.x, centre.y + turned.max.y - middle.y, centre.z + turned.max.z - middle.z});
    if (!FitCamera(camera, fit, size, size)) return;
    camera.rotation = turn;
    camera.pan = Vec3{static_cast<float>(-middle.x), static_cast<float>(-middle.y), static_cast<float>(-middle.z)};
}

struct Parsed {
    long size = kDefaultSize;
    std::string input, output;
};

std::string Parse(const Args& args, Parsed& p) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-s") {
            if (i + 1 >= args.size() || !ParseInteger(args[i + 1], 1, kMaxSize, p.size))
                return "-s needs a size in pixels, 1 to " + std::to_string(kMaxSize);
            ++i;
        } else if (args[i] == "-" || !args[i].starts_with("-")) {
            if (p.input.empty())
                p.input = std::string(args[i]);
            else if (p.output.empty())
                p.output = std::string(args[i]);
            else
                return "unexpected argument: " + std::string(args[i]);
        } else {
            return "unexpected argument: " + std::string(args[i]);
        }
    }
    if (p.output.empty()) return "thumbnail needs an input file and an output PNG";
    return {};
}

}  // namespace

int Thumbnail(const Args& args) {
    Parsed p;
    if (std::string problem = Parse(args, p); !problem.empty()) return Usage(problem);
    const int size = static_cast<int>(p.size);

    auto kind = KindOf(p.input);
    if (!kind) return Refused(FileKind::Model, kind.Error(), p.input, kind.Detail());
    if (kind.Value() == InputKind::Picture) {
        auto picture = ReadSkinImage(p.input);
        if (!picture) return Refused(FileKind::Skin, picture.Error(), p.input, picture.Detail());
        return WriteOutput(p.output, PictureThumbnail(*picture.Value(), size)) ? kExitOk : kExitRefused;
    }

    // Everything the drawing needs is read before the context is made, so a
    // refused file costs no GL start-up.
    std::unique_ptr<Md2Model> model;
    std::unique_ptr<LightRecord> light;
    std::string skinPath;
    if (kind.Value() == InputKind::Model) {
        auto loaded = LoadMd2Model(p.input);
        if (!loaded) return Refused(FileKind::Model, loaded.Error(), p.input, loaded.Detail());
        model = loaded.Take();
        if (model->FrameCount() == 0) {
            std::fprintf(stderr, "meshara-cli: %s: the model has no frames, so there is nothing to draw\n",
                         p.input.c_str());
            return kExitRefused;
        }
        skinPath = FindSkinFile(p.input, model->skinNames);
        light = ThumbnailLight();
    } else {
        auto read = LoadLightFile(p.input);
        if (!read) return Refused(FileKind::Light, read.Error(), p.input, read.Detail());
        light = read.Take();
        light->on = 1;
        model = MakeSphere();
    }

    std::string why;
    auto context = OffscreenContext::Create(size, size, why, true);
    if (!context) {
        std::fprintf(stderr, "meshara-cli: cannot draw offscreen: %s\n", why.c_str());
        return kExitRefused;
    }
    InstallTextureReleaseHook();
    InitGLState(size, size);
    ApplyViewportAndProjection(size, size);

    // Declared after the context so the model and its texture go first.
    ModelList models;
    GlobalLightList lights;
    if (!skinPath.empty()) {
        // The skin only dresses the picture: one that cannot be read leaves the model plain.
        if (auto skin = LoadSkinImage(skinPath))
            model->textureMap = skin.Take();
        else
            std::fprintf(stderr, "note: %s: the skin %s cannot be read (%s); drawn untextured\n", p.input.c_str(),
                         skinPath.c_str(), skin.Detail().c_str());
    }
    AppendModelLight(*model, light.get());
    AppendGlobalLight(lights, std::move(light));
    models.models.push_back(std::move(model));
    models.currentModel = 0;

    Camera camera;
    if (kind.Value() == InputKind::Model)
        FitTurnedCamera(camera, models, size);
    else
        FitCamera(camera, VisibleBounds(models), size, size);
    RenderSettings settings;
    settings.backgroundAlpha = 0;
    RenderScene(Scene{models, settings, camera}, nullptr);
    return WriteOutput(p.output, EncodePng(size, size, context->ReadPixelsRgba(), 4)) ? kExitOk : kExitRefused;
}

}  // namespace meshara::cli

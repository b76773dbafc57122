// meshara-cli thumbnail: a small square picture of a file for file
// managers (the freedesktop thumbnailer entry runs it). A model is drawn
// with the skin it names, a picture is shown as it is, and a light file as
// a sphere it lights; the background is transparent.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "formats/archive.h"
#include "formats/lgt_file.h"
#include "formats/md2_file.h"
#include "formats/png_writer.h"
#include "formats/skin_decoder.h"
#include "formats/skin_scale.h"
#include "formats/readers.h"
#include "render/gl_view.h"
#include "render/offscreen.h"
#include "render/renderer.h"
#include "session/player.h"
#include "session/prepare.h"
#include "session/scene_setup.h"
#include "view/framing.h"
#include "view/vecmath.h"

namespace meshara::cli {

namespace {

constexpr long kDefaultSize = 256;
// Twice the largest size desktops ask for (1024): a square of 4096 alone
// needs more memory than a thumbnail may take.
constexpr long kMaxSize = 2048;

// Thumbnailers run on every file a user downloads, so whatever the file,
// the command ends within these: models up to four times what the game
// loads (its limits: 2048 vertices, 4096 triangles, 512 frames, 32 skins),
// skins up to 2048 x 2048, and the process itself bounded in processor time
// and memory so that a path nobody foresaw ends in a refusal, not a stall.
constexpr Md2Counts kMostDrawn{8192, 16384, 2048, 128};
constexpr int64_t kMostSkinPixels = int64_t{2048} * 2048;
constexpr rlim_t kCpuSeconds = 2;
constexpr rlim_t kDataBytes = rlim_t{256} << 20;

extern "C" void OutOfProcessorTime(int) {
    static const char kMessage[] = "meshara-cli: thumbnail: refused: the file took more than 2 s of processor time\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    RemovePendingTemporaries();
    ::_exit(kExitRefused);
}

void Limit(int resource, rlim_t most) {
    rlimit now{};
    if (::getrlimit(resource, &now) != 0) return;
    now.rlim_cur = std::min(now.rlim_cur, most);
    ::setrlimit(resource, &now);
}

void BoundThisProcess() {
    struct sigaction onLimit {};
    onLimit.sa_handler = OutOfProcessorTime;
    sigemptyset(&onLimit.sa_mask);
    ::sigaction(SIGXCPU, &onLimit, nullptr);
    Limit(RLIMIT_CPU, kCpuSeconds);
#if !defined(__SANITIZE_ADDRESS__)
    // A sanitizer reserves terabytes of shadow memory up front.
    Limit(RLIMIT_DATA, kDataBytes);
#endif
}

// A unit sphere as a model, smooth and closed, for showing a light on.
// Corners go round clockwise seen from outside in the model's axes, the
// order the loader leaves MD2 triangles in (the renderer's y/z exchange
// makes them counter-clockwise on screen).
std::shared_ptr<const Md2Model> MakeSphere() {
    constexpr int kRings = 24, kSegments = 48;
    // Stored as a file would store it: steps of 1/127 around the middle, y negated.
    const auto packed = [](double x, double y, double z) {
        const auto step = [](double v) { return static_cast<uint8_t>(std::lround(v * 127 + 127)); };
        return Md2PackedVertex{step(x), step(-y), step(z), 0};
    };
    Md2File file;
    Md2Frame frame;
    frame.name = "sphere";
    for (int a = 0; a < 3; ++a) {
        frame.scale[a] = 1.0f / 127;
        frame.translate[a] = -1;
    }
    frame.vertices.push_back(packed(0, 0, 1));
    for (int i = 1; i < kRings; ++i)
        for (int j = 0; j < kSegments; ++j) {
            const double theta = std::numbers::pi * i / kRings, phi = 2 * std::numbers::pi * j / kSegments;
            frame.vertices.push_back(
                packed(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)));
        }
    frame.vertices.push_back(packed(0, 0, -1));
    const auto index = [&](int i, int j) -> uint16_t {
        if (i == 0) return 0;
        if (i == kRings) return static_cast<uint16_t>(frame.vertices.size() - 1);
        return static_cast<uint16_t>(1 + (i - 1) * kSegments + j % kSegments);
    };
    for (int i = 0; i < kRings; ++i)
        for (int j = 0; j < kSegments; ++j) {
            const uint16_t a = index(i, j), b = index(i + 1, j), c = index(i + 1, j + 1), d = index(i, j + 1);
            if (i < kRings - 1) file.triangles.push_back(Md2Triangle{{a, c, b}});
            if (i > 0) file.triangles.push_back(Md2Triangle{{a, d, c}});
        }
    file.vertexCount = static_cast<int32_t>(frame.vertices.size());
    file.frames.push_back(std::move(frame));
    return std::make_shared<Md2Model>(MakeMd2Model(std::move(file), "sphere"));
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

}  // namespace

PrepareRequest ThumbnailRequest(const std::string& model, int size, bool md2) {
    PrepareRequest request;
    request.model = model;
    request.namedSkin = true;
    request.maxSkinPixels = kMostSkinPixels;
    // An MD2's header is checked before the rest is read; what convert makes of a glTF fits by making.
    if (md2) request.most = kMostDrawn;
    request.mostFor = "a thumbnail draws";
    request.framing = Framing::ThreeQuarter;
    request.width = request.height = size;
    return request;
}

std::vector<uint8_t> DrawThumbnailPng(const std::string& model, int size, const OffscreenContext& context) {
    auto prepared = PrepareModel(ThumbnailRequest(model, size, !IsPlayerFolder(model)));
    auto* ready = std::get_if<PreparedModel>(&prepared);
    if (!ready) return {};
    LightEveryModel(ready->doc, ThumbnailLight());
    ready->doc.settings.backgroundAlpha = 0;
    InitGLState(size, size);
    ApplyViewportAndProjection(size, size);
    Renderer renderer;
    renderer.Render(SceneOf(ready->doc, ready->view), nullptr);
    return EncodePng(size, size, context.ReadPixelsRgba(), 4);
}

namespace {

// Thumbnail services make the output file, hold it open and read the
// picture through that handle: a new file renamed over it would go unseen.
constexpr WriteMode kThumbnailWrite = WriteMode::InPlaceWhenExists;

int Thumbnail(const Arguments& args) {
    long sizeValue = kDefaultSize;
    if (const std::string* v = args.Value("size"); v && !ParseInteger(*v, 1, kMaxSize, sizeValue))
        return Usage(ThumbnailCommand().table, "-s needs a size in pixels, 1 to " + std::to_string(kMaxSize));
    const int size = static_cast<int>(sizeValue);
    std::optional<int32_t> skinNumber;
    std::string playerSkin;
    if (std::string problem = ReadSkinNumber(args, skinNumber, &playerSkin); !problem.empty())
        return Usage(ThumbnailCommand().table, problem);
    const std::string& input = args.operands[0];
    const std::string& output = args.operands[1];
    BoundThisProcess();
    if (std::string same = SameAsInput({output}, {input}); !same.empty())
        return Unusable(same, "is the command's input; choose another output name");

    // Told by the first bytes, as the file types are declared to the desktop;
    // a file they tell nothing of (empty, unreadable) by its name, so that it
    // is refused as what it was meant to be.
    const bool player = IsPlayerFolder(input);
    auto type = player ? Result<FileType>(FileType::Md2) : SniffFile(input);
    InputKind kind = type ? ReaderFor(type.Value()).kind : InputKind::Unknown;
    if (kind == InputKind::Unknown) kind = ReaderNamed(input).kind;
    if (!type && kind == InputKind::Unknown) return Refused(FileKind::Model, type.Why(), input);
    // An archive that does not open is refused as one, not as a picture.
    if (kind == InputKind::Archive)
        if (auto archive = Archive::Open(input); !archive) return Refused(FileKind::Model, archive.Why(), input);
    if (kind == InputKind::Picture || kind == InputKind::Unknown || kind == InputKind::Archive) {
        auto picture = ReadSkinImage(input);
        if (!picture) return Refused(FileKind::Skin, picture.Why(), input);
        return WriteOutput(output, PictureThumbnail(*picture.Value(), size), kThumbnailWrite) ? kExitOk : kExitRefused;
    }

    // Everything the drawing needs is read before the context is made, so a
    // refused file costs no GL start-up.
    std::optional<PreparedModel> model;
    Notes notes;
    if (kind != InputKind::Light) {
        PrepareRequest request = ThumbnailRequest(input, size, kind == InputKind::Model && !player);
        request.skin = skinNumber;
        request.playerSkin = playerSkin;
        auto prepared = PrepareModel(request);
        if (auto* problem = std::get_if<PrepareProblem>(&prepared)) return Report(*problem, ThumbnailCommand().table);
        model = std::move(std::get<PreparedModel>(prepared));
        if (std::string same = SameAsInput({output}, model->inputs); !same.empty())
            return Unusable(same, "is one of the command's inputs; choose another output name");
        notes = Notes(model->notes);
        LightEveryModel(model->doc, ThumbnailLight());
    } else {
        auto read = LoadLightFile(input);
        if (!read) return Refused(FileKind::Light, read.Why(), input);
        std::unique_ptr<LightRecord> light = read.Take();
        light->on = true;
        model.emplace();
        model->slot = &AddModel(model->doc.models, MakeSphere());
        AddLightTo(model->doc, *model->slot, std::move(light));
        FitView(model->view.camera, model->doc.models, size, size);
    }
    model->doc.settings.backgroundAlpha = 0;

    std::string why;
    auto context = OffscreenContext::Create(size, size, why, true);
    if (!context) {
        std::fprintf(stderr, "meshara-cli: cannot draw offscreen: %s\n", why.c_str());
        return kExitRefused;
    }
    InitGLState(size, size);
    ApplyViewportAndProjection(size, size);
    Renderer renderer;
    renderer.Render(SceneOf(model->doc, model->view), nullptr);
    return notes.Finish(WriteOutput(output, EncodePng(size, size, context->ReadPixelsRgba(), 4), kThumbnailWrite)
                            ? kExitOk
                            : kExitRefused);
}

}  // namespace

const Subcommand& ThumbnailCommand() {
    static constexpr Option kOptions[] = {
        {"size", 's', "SIZE", "the square's side in pixels (256)"},
        {"skin", 0, "N", "a model's skin N (from 0) instead of the first one found"},
    };
    static constexpr CommandTable kTable{"thumbnail", "INPUT OUTPUT.png", 2, 2,
                                       "a square picture of a model, picture or light file on a transparent "
                                       "background, for file managers",
                                       kOptions};
    static constexpr Subcommand kCommand{kTable, Thumbnail};
    return kCommand;
}

}  // namespace meshara::cli

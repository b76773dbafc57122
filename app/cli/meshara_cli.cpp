// meshara-cli: the viewer's file handling from the command line, for
// checking models, pictures and light files without opening a window.

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/cli_common.h"
#include "io/file_bytes.h"
#include "lights/lgt_file.h"
#include "model/animations.h"
#include "model/md2_loader.h"
#include "model/vertex_normals.h"
#include "resources/messages.h"
#include "resources/name_text.h"
#include "skins/skin_decoder.h"

namespace meshara::cli {

namespace {
const char* const kUsage =
    "usage: meshara-cli <command> [arguments]\n"
    "\n"
    "commands:\n"
    "  info MODEL.md2 [--frame K]   name, counts, skin names and animations of a\n"
    "                               model; with --frame, the frame's name and one\n"
    "                               line per vertex of frame K: x y z nx ny nz\n"
    "  decode PICTURE -o OUT.ppm    decode a PCX or BMP skin into a binary PPM\n"
    "  light FILE.lgt               print the fields of a light file\n"
    "  light --new [--name TEXT] -o FILE.lgt\n"
    "                               write a light with the \"New Light\" values\n"
    "  render MODEL.md2 -o OUT.png [--size WxH] [--frame K] [--texture F]\n"
    "         [--diffusion F] [--specularity F] [--glow F] [--light FILE.lgt]...\n"
    "         [--new-light] [--background R,G,B] [--filter 0-4] [--safe]\n"
    "         [--wireframe] [--env] [--drag DX,DY] [--fit] [--header-skin]\n"
    "                               draw the model offscreen into a PNG\n"
    "  export MODEL.md2 -o OUT.glb|OUT.gltf [--texture F] [--header-skin]\n"
    "         [--animation NAME]... [--fps N] [--scale S]\n"
    "                               every frame and animation as glTF 2.0\n"
    "  export MODEL.md2 -o OUT.obj [--frame K] [--texture F] [--header-skin]\n"
    "         [--scale S]           one frame as OBJ, with OUT.mtl and OUT.png\n"
    "  thumbnail [-s SIZE] INPUT OUTPUT.png\n"
    "                               a square picture of a model, picture or light\n"
    "                               file on a transparent background\n";
}  // namespace

void PrintUsage(std::FILE* to) { std::fputs(kUsage, to); }

int Usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "meshara-cli: %s\n", problem.c_str());
    PrintUsage(stderr);
    return kExitUsage;
}

int Refused(FileKind kind, LoadError error, const std::string& path, const std::string& detail) {
    const char* message = UserMessage(kind, error);
    std::fprintf(stderr, "meshara-cli: %s: %s", path.c_str(), message ? message : ReasonText(error));
    if (!detail.empty()) std::fprintf(stderr, " (%s)", detail.c_str());
    std::fputc('\n', stderr);
    return kExitRefused;
}

bool WriteOutput(const std::string& path, std::span<const uint8_t> bytes) {
    if (path == "-") {
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0) return true;
        std::fprintf(stderr, "meshara-cli: standard output: %s\n", std::strerror(errno));
        return false;
    }
    std::string why;
    if (WriteFileBytes(path, bytes, &why)) return true;
    Refused(FileKind::Output, LoadError::CannotCreate, path, why);
    return false;
}

bool ParseInteger(std::string_view text, long low, long high, long& out) {
    if (text.empty() || text.size() > 20) return false;
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

namespace {

int Info(const Args& args) {
    const char* path = nullptr;
    long frame = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--frame") {
            if (i + 1 >= args.size() || !ParseInteger(args[i + 1], 0, INT32_MAX, frame))
                return Usage("--frame needs a frame number (0 or more)");
            ++i;
        } else if (!path && !args[i].starts_with("-")) {
            path = args[i].data();
        } else {
            return Usage("unexpected argument: " + std::string(args[i]));
        }
    }
    if (!path) return Usage("info needs a model file");

    ModelResult result = LoadMd2Model(path);
    if (!result) return Refused(FileKind::Model, result.Error(), path, result.Detail());
    const Md2Model& model = *result.Value();
    if (frame >= model.FrameCount())
        return Usage("frame " + std::to_string(frame) + " is out of range: the model has " +
                     std::to_string(model.FrameCount()) + " frames");

    std::printf("name: %s\nframes: %d\nvertices: %d\ntriangles: %d\n", model.name.c_str(), model.FrameCount(),
                model.vertexCount, model.triangleCount);
    std::printf("skins: %zu\n", model.skinNames.size());
    for (const std::string& skin : model.skinNames) std::printf("skin: %s\n", skin.c_str());
    const std::vector<Md2Animation> animations = FindAnimations(model);
    std::printf("animations: %zu\n", animations.size());
    for (const Md2Animation& a : animations) std::printf("%s %d-%d\n", a.name.c_str(), a.first, a.last);
    if (frame >= 0) {
        const Md2Frame& f = model.frames[static_cast<size_t>(frame)];
        std::printf("frame %ld: %s\n", frame, f.name.c_str());
        const std::vector<Vec3d>& normals = FrameNormals(model, static_cast<int32_t>(frame));
        for (size_t v = 0; v < f.vertices.size(); ++v) {
            const Vec3d& p = f.vertices[v];
            const Vec3d& n = normals[v];
            std::printf("%.9g %.9g %.9g %.9g %.9g %.9g\n", p.x, p.y, p.z, n.x, n.y, n.z);
        }
    }
    return std::fflush(stdout) == 0 ? kExitOk : kExitRefused;
}

// Splits arguments into one positional value and the -o output, refusing anything else.
struct InputOutput {
    const char* input = nullptr;
    const char* output = nullptr;
};

// Takes "-o OUT" and one positional input; other options go to more(i),
// which may consume arguments and returns a problem, or "" when fine, or
// nullopt when it does not know the option. Returns the first problem, or "".
std::string TakeInputOutput(const Args& args, InputOutput& io,
                            const std::function<std::optional<std::string>(size_t&)>& more = {}) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size() || io.output) return "-o needs one output file";
            io.output = args[++i].data();
        } else if (!io.input && !args[i].starts_with("-")) {
            io.input = args[i].data();
        } else if (auto problem = more ? more(i) : std::nullopt; problem) {
            if (!problem->empty()) return *problem;
        } else {
            return "unexpected argument: " + std::string(args[i]);
        }
    }
    return {};
}

int Decode(const Args& args) {
    InputOutput io;
    if (std::string problem = TakeInputOutput(args, io); !problem.empty()) return Usage(problem);
    if (!io.input || !io.output) return Usage("decode needs a picture and -o OUT.ppm");

    auto result = ReadSkinImage(io.input);
    if (!result) return Refused(FileKind::Skin, result.Error(), io.input, result.Detail());
    const SkinImage& image = *result.Value();
    const std::string head = "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    std::vector<uint8_t> ppm(head.begin(), head.end());
    ppm.insert(ppm.end(), image.pixels.begin(), image.pixels.end());
    return WriteOutput(io.output, ppm) ? kExitOk : kExitRefused;
}

void PrintFloats(const char* label, const float* v, int count) {
    std::printf("%s:", label);
    for (int i = 0; i < count; ++i) std::printf(" %.9g", double{v[i]});
    std::printf("\n");
}

int Light(const Args& args) {
    bool makeNew = false;
    const char* name = nullptr;
    InputOutput io;
    const std::string problem = TakeInputOutput(args, io, [&](size_t& i) -> std::optional<std::string> {
        if (args[i] == "--new") {
            makeNew = true;
            return "";
        }
        if (args[i] != "--name") return std::nullopt;
        if (i + 1 >= args.size() || name) return "--name needs one text";
        name = args[++i].data();
        return "";
    });
    if (!problem.empty()) return Usage(problem);

    if (makeNew) {
        if (io.input || !io.output) return Usage("light --new takes no input file and needs -o FILE.lgt");
        LightRecord light;
        // Light names are Windows-1252 bytes; the command line is UTF-8.
        if (name && !NameFromUtf8(name, light.name))
            return Usage("--name must be UTF-8 text of Windows-1252 (Western European) characters");
        return WriteOutput(io.output, SerializeLight(light)) ? kExitOk : kExitRefused;
    }
    if (!io.input || io.output || name) return Usage("light needs one light file (or --new -o FILE.lgt)");

    auto result = LoadLightFile(io.input);
    if (!result) return Refused(FileKind::Light, result.Error(), io.input, result.Detail());
    const LightRecord& l = *result.Value();
    std::printf("name: %s\n", NameToUtf8(l.name).c_str());
    PrintFloats("position", l.position, 4);
    PrintFloats("spotDirection", l.spotDirection, 4);
    PrintFloats("ambient", l.ambient, 4);
    PrintFloats("diffuse", l.diffuse, 4);
    PrintFloats("specular", l.specular, 4);
    PrintFloats("constantAttenuation", &l.constantAttenuation, 1);
    PrintFloats("linearAttenuation", &l.linearAttenuation, 1);
    PrintFloats("quadraticAttenuation", &l.quadraticAttenuation, 1);
    PrintFloats("spotExponent", &l.spotExponent, 1);
    PrintFloats("spotCutoff", &l.spotCutoff, 1);
    return std::fflush(stdout) == 0 ? kExitOk : kExitRefused;
}

struct Command {
    const char* name;
    int (*run)(const Args& args);
};

constexpr Command kCommands[] = {
    {"info", Info},
    {"decode", Decode},
    {"light", Light},
    {"render", Render},
    {"export", Export},
    {"thumbnail", Thumbnail},
};

}  // namespace
}  // namespace meshara::cli

int main(int argc, char** argv) {
    using namespace meshara::cli;
    if (argc < 2) return Usage("");
    std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return kExitOk;
    }
    std::vector<std::string_view> args(argv + 2, argv + argc);
    for (const Command& c : kCommands)
        if (name == c.name) return c.run(args);
    return Usage("unknown command: " + std::string(name));
}

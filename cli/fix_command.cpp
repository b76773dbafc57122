// meshara-cli fix: what check finds mended without changing what the game
// draws, and the edits modders make by hand (session/mend.h does both).
// What was mended is said one line a code; what could not be, as check says it.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "formats/game_fs.h"
#include "session/check.h"
#include "session/mend.h"

namespace meshara::cli {

namespace {

std::vector<std::string> Split(const std::string& text, char at) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (size_t cut; (cut = text.find(at, from)) != std::string::npos; from = cut + 1) parts.push_back(text.substr(from, cut - from));
    parts.push_back(text.substr(from));
    return parts;
}

bool ParseNumber(const std::string& text, double& out) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(v)) return false;
    out = v;
    return true;
}

// The options into the mend's; the problem in one line, or empty.
std::string ReadOptions(const Arguments& args, MendOptions& o) {
    if (const std::string* only = args.Value("only"))
        for (const std::string& code : Split(*only, ',')) {
            const auto& known = MendableCodes();
            if (std::find(known.begin(), known.end(), code) == known.end()) {
                std::string list;
                for (const std::string& k : known) list += (list.empty() ? "" : ", ") + k;
                return "--only takes codes fix mends (" + list + "), not " + code;
            }
            o.only.insert(code);
        }
    o.glCommandsFromTriangles = args.Has("glcmds-from-triangles");
    for (const std::string& v : args.Values("set-skin")) {
        const size_t eq = v.find('=');
        long n = 0;
        if (eq == std::string::npos || !ParseInteger(v.substr(0, eq), 0, 1 << 20, n))
            return "--set-skin needs N=GAMEPATH, N the skin's number from 0";
        o.setSkins.emplace_back(static_cast<int32_t>(n), v.substr(eq + 1));
    }
    for (const std::string& v : args.Values("remove-skin")) {
        long n = 0;
        if (!ParseInteger(v, 0, 1 << 20, n)) return "--remove-skin needs the skin's number from 0";
        o.removeSkins.push_back(static_cast<int32_t>(n));
    }
    o.addSkins = args.Values("add-skin");
    for (const std::string& v : args.Values("rename-animation")) {
        const size_t eq = v.find('=');
        if (eq == std::string::npos || eq == 0) return "--rename-animation needs OLD=NEW";
        o.renameAnimations.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    }
    o.playerNames = args.Has("player-names");
    if (const std::string* v = args.Value("scale")) {
        double s = 0;
        if (!ParsePositive(*v, 1e9, s)) return "--scale needs a number above 0";
        o.scale = s;
    }
    if (const std::string* v = args.Value("translate")) {
        const std::vector<std::string> parts = Split(*v, ',');
        std::array<double, 3> d{};
        if (parts.size() != 3 || !ParseNumber(parts[0], d[0]) || !ParseNumber(parts[1], d[1]) || !ParseNumber(parts[2], d[2]))
            return "--translate needs X,Y,Z in the model's units";
        o.translate = d;
    }
    return {};
}

// One line a code: counts summed, what was done joined.
void PrintDone(std::FILE* to, const std::string& path, const char* verb, const std::vector<MendReport::Line>& lines) {
    std::map<std::string, std::pair<int64_t, std::string>> byCode;
    std::vector<std::string> order;
    for (const MendReport::Line& l : lines) {
        auto [it, fresh] = byCode.try_emplace(l.code);
        if (fresh) order.push_back(l.code);
        it->second.first += l.count;
        it->second.second += (it->second.second.empty() ? "" : "; ") + l.what;
    }
    for (const std::string& code : order)
        std::fprintf(to, "%s: %s %lld: %s [%s]\n", Printable(path).c_str(), verb, static_cast<long long>(byCode[code].first),
                     Printable(byCode[code].second).c_str(), code.c_str());
}

int Fix(const Arguments& args) {
    const CommandTable& table = FixCommand().table;
    const std::string& input = args.operands[0];
    const std::string* output = args.Value("output");
    const bool inPlace = args.Has("in-place");
    if (inPlace && output) return Usage(table, "--in-place writes the input; -o names another file");
    if (!inPlace && !output) return Usage(table, "missing -o OUT.md2 (or --in-place)");
    MendOptions options;
    if (std::string problem = ReadOptions(args, options); !problem.empty()) return Usage(table, problem);
    auto located = LocateFile(input);
    if (!located) return Refused(FileKind::Model, located.Why(), input);
    if (inPlace && located.Value().file.InArchive())
        return Unusable(input, "lies inside an archive, which --in-place does not rewrite; write it out with -o");
    const std::string target = inPlace ? input : *output;
    if (!inPlace && !SameAsInput({target}, {input}).empty())
        return Unusable(target, "is the model being mended; --in-place replaces it, or choose another output name");

    auto mended = MendModelFile(input, options);
    // An edit past a limit is said as it is; a model that cannot be read, as every command says it.
    if (!mended && mended.Why().kind == ErrorKind::DoesNotFit) return Unusable(input, mended.Why().detail);
    if (!mended) return Refused(FileKind::Model, mended.Why(), input);
    const MendReport& report = mended.Value();
    if (!(inPlace && !report.changed) && !WriteOutput(target, report.bytes)) return kExitRefused;

    // The report keeps out of the model's way when the model goes to standard output.
    std::FILE* to = target == "-" ? stderr : stdout;
    PrintDone(to, input, "mended", report.mended);
    PrintDone(to, input, "edited", report.edited);
    for (const std::string& note : report.notes) std::fprintf(to, "%s: note: %s\n", Printable(input).c_str(), Printable(note).c_str());
    // What is left, as check says it: the written file's own findings, and
    // those of where the model lies (its skins, its place in the game) from
    // the input, less what the mends said of their codes themselves.
    const auto has = [](const auto& list, const std::string& code) {
        return std::any_of(list.begin(), list.end(), [&](const auto& x) { return x.code == code; });
    };
    static const std::set<std::string> kWhereItLies = {"skin-missing", "skin-not-at-game-path", "skin-letter-case",
                                                       "skin-size-differs", "skin-unreadable", "skin-not-pcx",
                                                       "skin-picture-too-large", "entry-shadowed", "check-incomplete"};
    const auto say = [&](const std::string& from, bool whereItLies) {
        for (const CheckedModel& m : CheckOne({CheckTarget::Kind::Model, from, {}}))
            for (const Finding& f : m.findings)
                if (kWhereItLies.contains(f.code) == whereItLies && !has(report.mended, f.code) && !has(report.notMended, f.code))
                    std::fprintf(to, "%s: %s: %s [%s]\n", Printable(input).c_str(), SeverityName(f.severity),
                                 Printable(f.message).c_str(), f.code.c_str());
    };
    say(target == "-" ? input : target, false);
    say(input, true);
    for (const Finding& f : report.notMended)
        std::fprintf(to, "%s: %s: %s [%s]\n", Printable(input).c_str(), SeverityName(f.severity), Printable(f.message).c_str(),
                     f.code.c_str());
    return FlushOutput();
}

}  // namespace

const Subcommand& FixCommand() {
    static constexpr Option kOptions[] = {
        {"output", 'o', "OUT.md2", "the mended model to write (\"-\" for standard output)"},
        {"in-place", 0, nullptr, "replace the input itself, atomically, instead of writing -o"},
        {"only", 0, "CODE,...", "mend only these of check's codes"},
        {"glcmds-from-triangles", 0, nullptr, "rebuild GL commands that do not draw the triangles, from the triangles"},
        {"set-skin", 0, "N=GAMEPATH", "name skin N (from 0) GAMEPATH", true},
        {"add-skin", 0, "GAMEPATH", "add a skin named GAMEPATH after the others", true},
        {"remove-skin", 0, "N", "remove skin N (numbered before any is removed)", true},
        {"rename-animation", 0, "OLD=NEW", "name the frames of animation OLD NEW01, NEW02...", true},
        {"player-names", 0, nullptr, "give a body of the engine's 198 frames its table's frame names"},
        {"scale", 0, "S", "scale every frame by S"},
        {"translate", 0, "X,Y,Z", "move every frame by X,Y,Z (after --scale)"},
    };
    static constexpr CommandTable kTable{"fix", "MODEL.md2", 1, 1,
                                       "mend what check finds without changing what the game draws, and edit "
                                       "skins, frame names, scale and position",
                                       kOptions};
    static constexpr Subcommand kCommand{kTable, Fix};
    return kCommand;
}

}  // namespace meshara::cli

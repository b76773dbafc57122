#pragma once
// What the meshara-cli subcommands share: exit codes, how refusals and
// usage errors are reported, writing outputs, reading numbers.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/args.h"
#include "io/file_bytes.h"
#include "io/result.h"
#include "formats/skin_decoder.h"
#include "session/document.h"
#include "session/prepare.h"
#include "session/messages.h"

namespace meshara {
class OffscreenContext;
}

namespace meshara::cli {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

// A subcommand: its table and what runs it once the arguments fit the table.
struct Subcommand {
    const CommandTable& table;
    int (*run)(const Arguments& args);
};

const Subcommand& InfoCommand();
const Subcommand& DecodeCommand();
const Subcommand& LightCommand();
const Subcommand& RenderCommand();
const Subcommand& ExportCommand();
const Subcommand& ConvertCommand();
const Subcommand& ThumbnailCommand();
const Subcommand& ListCommand();
const Subcommand& LayoutCommand();
const Subcommand& CheckCommand();
const Subcommand& FixCommand();

// What the thumbnail command makes ready for a model or player's folder of
// size x size pixels; md2: the header is judged before the rest is read.
PrepareRequest ThumbnailRequest(const std::string& model, int size, bool md2);
// The model drawn as the thumbnail command draws it, into the offscreen
// context current on this thread (size x size, with alpha), as a PNG; empty
// when it cannot be made ready.
std::vector<uint8_t> DrawThumbnailPng(const std::string& model, int size, const OffscreenContext& context);

// Text as it may reach a terminal: control characters (C0, DEL, C1) and
// bytes that are not UTF-8 become \xHH, so a name can neither start an
// escape sequence nor break a line of the output.
std::string Printable(std::string_view text);

// Flushes standard output; on failure (a closed pipe, a full disk) says why
// and returns kExitRefused, else kExitOk.
int FlushOutput();

// Prints the problem in one line and where to read the usage; returns kExitUsage.
int Usage(const CommandTable& table, const std::string& problem);

// What a command has to say besides its output. Said on stderr only once the
// command has succeeded, so a failing command says only why it failed.
class Notes {
public:
    Notes() = default;
    explicit Notes(std::vector<std::string> lines) : lines_(std::move(lines)) {}
    void Add(std::string line) { lines_.push_back(std::move(line)); }
    // Prints every note when exitCode is kExitOk; returns exitCode.
    int Finish(int exitCode) const;

private:
    std::vector<std::string> lines_;
};

// Prints "PATH: message (detail)" for a refusal, the user's message (or a
// plain reason where the viewer refuses silently); returns kExitRefused.
int Refused(FileKind kind, const Failure& failure, const std::string& path);

// Prints "PATH: what" for a model the command cannot use; returns kExitRefused.
int Unusable(const std::string& path, const std::string& what);

// The number given with --skin (the game's skin number, from 0) into skin;
// for a player's folder as the command's model, the text (a player skin's
// name or number) into playerSkin instead. The problem, or empty when it is
// absent or good.
std::string ReadSkinNumber(const Arguments& args, std::optional<int32_t>& skin, std::string* playerSkin = nullptr);

// Reports why a model could not be made ready, as the command's own
// refusal or usage error; the exit code.
int Report(const PrepareProblem& problem, const CommandTable& table);

// The first output that would replace a file one of the inputs was read
// from, the archive an input lies in included (session/inputs.h); empty
// when none would.
std::string SameAsInput(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs);

// Writes bytes to path, or to standard output when path is "-". Prints why
// and returns false on failure.
bool WriteOutput(const std::string& path, std::span<const uint8_t> bytes, WriteMode mode = WriteMode::Replace);

// A whole decimal number within [low, high]; false for anything else.
bool ParseInteger(std::string_view text, long low, long high, long& out);

// A decimal number within (0, high]; false for anything else.
bool ParsePositive(std::string_view text, double high, double& out);

}  // namespace meshara::cli

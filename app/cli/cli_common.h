#pragma once
// Shared by the meshara-cli subcommands.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/load_result.h"
#include "resources/messages.h"

namespace meshara::cli {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

using Args = std::vector<std::string_view>;

void PrintUsage(std::FILE* to);

// Prints the problem and the usage text to stderr; returns kExitUsage.
int Usage(const std::string& problem);

// Prints "PATH: message (detail)" for a refusal, the user's message (or a
// plain reason where the viewer refuses silently); returns kExitRefused.
int Refused(FileKind kind, LoadError error, const std::string& path, const std::string& detail);

// Writes bytes to path, or to standard output when path is "-". Prints why
// and returns false on failure.
bool WriteOutput(const std::string& path, std::span<const uint8_t> bytes);

// A whole decimal number within [low, high]; false for anything else.
bool ParseInteger(std::string_view text, long low, long high, long& out);

int Render(const Args& args);
int Export(const Args& args);
int Thumbnail(const Args& args);

}  // namespace meshara::cli

#pragma once
// Shared by the meshara-cli subcommands.

#include <cstdio>
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

// Prints the user's message for a refusal (or a plain reason where the
// program refuses silently) with the detail; returns kExitRefused.
int Refused(FileKind kind, LoadError error, const std::string& detail);

int Render(const Args& args);

}  // namespace meshara::cli

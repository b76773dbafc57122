#pragma once
// The command line of every meshara-cli subcommand, read by one parser from
// a table that also writes the usage texts. An option has a long form, may
// have a short one, and takes a value or not; a value is the next argument
// whatever it looks like ("--drag -40,10"), or follows "=" in the long form.
// Anything else is an operand; "--" makes the rest operands, and a lone "-"
// is one too.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace meshara::cli {

struct Option {
    const char* longName;          // "size", written --size
    char shortName = 0;            // 's', written -s; 0 for none
    const char* value = nullptr;   // what it takes ("WxH"); null for a switch
    const char* help = "";         // one line for the usage text
    bool repeatable = false;       // may be given more than once
};

struct CommandTable {
    const char* name;      // "render"
    const char* operands;  // "MODEL.md2", as the usage shows them
    size_t minOperands = 0, maxOperands = 0;
    const char* summary = "";  // what the command does, one line
    std::span<const Option> options;
};

struct Arguments {
    struct Given {
        const Option* option;
        std::string value;  // empty for a switch
    };
    std::vector<std::string> operands;
    std::vector<Given> given;  // every option, in command-line order

    bool Has(std::string_view longName) const;
    // The value of an option given once, or null when it was not given.
    const std::string* Value(std::string_view longName) const;
    // Every value of a repeatable option, in order.
    std::vector<std::string> Values(std::string_view longName) const;
};

// Reads args by the table into out. Returns the problem in one line, or
// empty when the arguments fit: known options with their values, options
// not repeated unless they may be, and the right number of operands.
std::string ParseArguments(const CommandTable& table, std::span<const std::string_view> args, Arguments& out);

// "usage: meshara-cli NAME OPERANDS [options]", the summary and one line per option.
std::string CommandUsage(const CommandTable& table);

}  // namespace meshara::cli

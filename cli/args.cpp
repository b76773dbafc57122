#include "cli/args.h"

#include <algorithm>

namespace meshara::cli {

bool Arguments::Has(std::string_view longName) const {
    return std::any_of(given.begin(), given.end(), [&](const Given& g) { return g.option->longName == longName; });
}

const std::string* Arguments::Value(std::string_view longName) const {
    for (const Given& g : given)
        if (g.option->longName == longName) return &g.value;
    return nullptr;
}

std::vector<std::string> Arguments::Values(std::string_view longName) const {
    std::vector<std::string> out;
    for (const Given& g : given)
        if (g.option->longName == longName) out.push_back(g.value);
    return out;
}

namespace {

std::string Written(const Option& o) { return std::string("--") + o.longName; }

const Option* FindLong(const CommandTable& table, std::string_view name) {
    for (const Option& o : table.options)
        if (name == o.longName) return &o;
    return nullptr;
}

const Option* FindShort(const CommandTable& table, char name) {
    for (const Option& o : table.options)
        if (o.shortName != 0 && o.shortName == name) return &o;
    return nullptr;
}

}  // namespace

std::string ParseArguments(const CommandTable& table, std::span<const std::string_view> args, Arguments& out) {
    out = Arguments{};
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (optionsEnded || a == "-" || !a.starts_with('-')) {
            out.operands.emplace_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        const Option* option = nullptr;
        std::string_view inlineValue;
        bool hasInlineValue = false;
        if (a.starts_with("--")) {
            std::string_view name = a.substr(2);
            if (const size_t eq = name.find('='); eq != std::string_view::npos) {
                inlineValue = name.substr(eq + 1);
                hasInlineValue = true;
                name = name.substr(0, eq);
            }
            option = FindLong(table, name);
        } else if (a.size() == 2) {
            option = FindShort(table, a[1]);
        }
        if (!option) return "unknown option " + std::string(a);
        if (!option->repeatable && out.Has(option->longName)) return Written(*option) + " is given more than once";
        Arguments::Given given{option, {}};
        if (option->value) {
            if (hasInlineValue) {
                given.value = inlineValue;
            } else if (i + 1 < args.size()) {
                given.value = args[++i];
            } else {
                return Written(*option) + " needs " + option->value;
            }
        } else if (hasInlineValue) {
            return Written(*option) + " takes no value";
        }
        out.given.push_back(std::move(given));
    }
    if (out.operands.size() < table.minOperands) return std::string("missing ") + table.operands;
    if (out.operands.size() > table.maxOperands) return "unexpected argument: " + out.operands[table.maxOperands];
    return {};
}

std::string CommandUsage(const CommandTable& table) {
    std::string text = std::string("usage: meshara-cli ") + table.name;
    if (*table.operands) text += std::string(" ") + table.operands;
    if (!table.options.empty()) text += " [options]";
    text += std::string("\n  ") + table.summary + "\n";
    for (const Option& o : table.options) {
        std::string left = "  ";
        left += o.shortName ? std::string("-") + o.shortName + ", " : std::string("    ");
        left += Written(o);
        if (o.value) left += std::string(" ") + o.value;
        left.resize(std::max<size_t>(left.size() + 2, 30), ' ');
        text += left + o.help + (o.repeatable ? " (may be repeated)" : "") + "\n";
    }
    return text;
}

}  // namespace meshara::cli

#pragma once
// The one table of commands. A row holds a command's id (or a range of ids
// that share one handler), its menu entry (text, menu, kind, the key shown
// beside it), the keys the frame's accelerator table sends as its id, its
// handler on Commands and its update rule. Commands::Run dispatches
// through it, Commands::UpdateRule and StateOf evaluate its rules, and the
// main window builds its menus, accelerators, extra keys and check marks
// from it. A new command is one row here and one handler on Commands.

#include <cstdint>
#include <span>
#include <string>

#include "session/commands.h"

namespace meshara {

// The menus an entry can stand in. The window knows their labels and how
// they nest; a submenu takes its place in its parent where the first row
// of it comes in the table.
enum class MenuPlace : uint8_t { None, File, LightTransfer, Skin, Weapon, Rendering, Texture, MultiPass, Animation, Show, ViewKeys, Help };

enum class EntryKind : uint8_t { Plain, Check, Radio };

struct IdSpan {
    int first;
    int last = first;
};

constexpr IdSpan CountedIds(int first, int count) { return {first, first + count - 1}; }

struct CommandRow {
    IdSpan ids;
    // The menu entry's text, & mnemonics included. A range made with the
    // menus has one text per id in labels; one filled when its menu opens
    // takes its texts from text.
    const char* label = nullptr;
    std::span<const char* const> labels = {};
    MenuPlace menu = MenuPlace::None;
    EntryKind kind = EntryKind::Plain;
    bool separatorBefore = false;
    // Shown beside the entry and handled by the frame itself while the view
    // or nothing has the focus, as wx names keys ("Home", "Shift+Left", "+";
    // "+" and "-" stand for the keypad's too).
    const char* key = nullptr;
    // Sent as this id from anywhere in the frame ("Ctrl+Q"); not shown, so
    // the entry keeps its own text.
    const char* accelerators[2] = {};
    // Handler and rule take the id's place in the range (0 for one command).
    // Without a handler Run declines the id: its keys alone are kept, or the
    // window answers it itself (Exit, File > Skin).
    void (*run)(Commands&, int index) = nullptr;
    Commands::ItemState (*rule)(const Commands&, int index) = nullptr;
    bool spins = false;  // the rule calls SpinStep each time it is evaluated
    // A range filled when its menu opens: how many entries it has now (at
    // most the range's size) and what each says.
    int (*count)(const Commands&) = nullptr;
    std::string (*text)(const Commands&, int index) = nullptr;

    bool IsRange() const { return ids.last != ids.first; }
    // How many of its entries are made with the menus.
    int FixedEntries() const { return !IsRange() ? 1 : static_cast<int>(labels.size()); }
};

std::span<const CommandRow> CommandRows();
// The row whose ids hold id, or null.
const CommandRow* RowOf(int id);

}  // namespace meshara

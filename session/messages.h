#pragma once
// Every text the program shows the user about a refused file, in one place.

#include <optional>
#include <string>
#include <vector>

#include "io/result.h"
#include "model/md2_model.h"

namespace meshara {

namespace msg {
inline constexpr const char* kProgramName = "Torvane's Meshara";
inline constexpr const char* kCannotLoadFile = "There was an error loading the specified file!";
inline constexpr const char* kNotMd2 = "This is not an MD2!";
inline constexpr const char* kDamagedMd2 = "This MD2 file is damaged or incomplete!";
inline constexpr const char* kCannotConvertModel = "This glTF or OBJ model cannot be shown as an MD2.";
inline constexpr const char* kNotSkin = "This file does not appear to be a valid skin";
inline constexpr const char* kCannotCreate = "Unable to create the file specified!";
inline constexpr const char* kCannotOpenLight = "Unable to open the file specified!";
inline constexpr const char* kNotLight = "This file does not appear to be a Light format file!";
inline constexpr const char* kChoosePixelFormatFailed = "ChoosePixelFormat failed";
inline constexpr const char* kSetPixelFormatFailed = "SetPixelFormat failed";
inline constexpr const char* kEnterNumber = "Please enter a number.";
inline constexpr const char* kNoNamedSkin = "None of the skins this model names could be found.";
inline constexpr const char* kNamesNoSkin = "This model names no skin.";
inline constexpr const char* kFilesRefused = "Some of the files could not be opened.";
inline constexpr const char* kNoModelsInArchive = "This archive holds no MD2 models.";
inline constexpr const char* kNameOutsideSet =
    "The Name can hold only characters of the Windows-1252 (Western European) set.";
}  // namespace msg

// Which kind of file a refusal was about: the same reason reads differently
// for a model, a skin and a light file.
enum class FileKind { Model, Skin, Light, Output };

// The message box text for a refusal, or null when the program refuses
// silently (a skin that cannot be opened, a BMP of an unsupported depth).
const char* UserMessage(FileKind kind, const Failure& failure);

// A plain account of the refusal for the command line, never empty: "not an
// MD2 file", "the PNG file is damaged or incomplete".
std::string ReasonText(const Failure& failure);

// The reason and, when there is one, the detail: "not a valid skin picture (...)".
std::string FailureText(const Failure& failure);

// What the user should know about a model that opened despite a quirk of
// its file, one sentence each; empty for a clean file.
std::vector<std::string> ModelNotes(const Md2Model& model);

// Why no named skin was drawn, for a model at whose names (all of them, or
// only name skinIndex) nothing usable was found: "the model names no skin",
// "its skin models/x/skin.pcx was not found", ... Names are shown as text.
std::string MissingSkinText(const Md2Model& model, std::optional<int32_t> skinIndex);

// A count with its noun: "1 triangle", "3 triangles".
std::string Plural(int64_t n, const char* one, const char* many);

}  // namespace meshara

#include "session/messages.h"

#include <string_view>

#include "formats/format_names.h"
#include "formats/name_text.h"

namespace meshara {

namespace {

bool IsGltfOrObj(const Failure& f) { return format::Is(f.format, format::kGltf) || format::Is(f.format, format::kObj); }

// "an MD2", "a PNG", "a light": the article as the name is spoken.
std::string WithArticle(const char* name) {
    const char first = name[0];
    const bool vowel = std::string_view("AEFHILMNORSXaeiou").find(first) != std::string_view::npos;
    return std::string(vowel ? "an " : "a ") + name;
}

}  // namespace

const char* UserMessage(FileKind kind, const Failure& failure) {
    const ErrorKind error = failure.kind;
    switch (kind) {
        case FileKind::Model:
            if (error == ErrorKind::CannotOpen) return msg::kCannotLoadFile;
            // A glTF or OBJ that cannot be read, or whose mesh does not fit an MD2.
            if (IsGltfOrObj(failure) || error == ErrorKind::DoesNotFit) return msg::kCannotConvertModel;
            if (error == ErrorKind::NotThisFormat) return msg::kNotMd2;
            return msg::kDamagedMd2;
        case FileKind::Skin:
            if (error == ErrorKind::CannotOpen) return nullptr;
            if (error == ErrorKind::Unsupported && format::Is(failure.format, format::kBmp)) return nullptr;
            return msg::kNotSkin;
        case FileKind::Light:
            switch (error) {
                case ErrorKind::CannotOpen: return msg::kCannotOpenLight;
                case ErrorKind::CannotCreate: return msg::kCannotCreate;
                default: return msg::kNotLight;
            }
        case FileKind::Output: return msg::kCannotCreate;
    }
    return nullptr;
}

std::string ReasonText(const Failure& failure) {
    const char* name = failure.format;
    switch (failure.kind) {
        case ErrorKind::CannotOpen: return "the file cannot be opened";
        case ErrorKind::NotThisFormat:
            if (format::Is(name, format::kPicture)) return "not a picture of a kind this program reads";
            return name ? "not " + WithArticle(name) + " file" : "not a file of a kind this program reads";
        case ErrorKind::Damaged: return name ? std::string("the ") + name + " file is damaged or incomplete" : "the file is damaged or incomplete";
        case ErrorKind::Unsupported: return name ? "unsupported " + std::string(name) + " file" : "unsupported file";
        case ErrorKind::TooLarge: return name ? std::string("the ") + name + " file is too large" : "the file is too large";
        case ErrorKind::CannotCreate: return "the file cannot be created";
        case ErrorKind::DoesNotFit:
            return name ? std::string("the model cannot be written as ") + name : "the model cannot be written in that format";
    }
    return "unknown error";
}

std::string FailureText(const Failure& failure) {
    std::string text = ReasonText(failure);
    if (!failure.detail.empty()) text += " (" + failure.detail + ")";
    return text;
}

std::vector<std::string> ModelNotes(const Md2Model& model) {
    std::vector<std::string> notes;
    if (const int32_t n = model.cornersWithoutTexCoord; n > 0)
        notes.push_back(std::to_string(n) + (n == 1 ? " triangle corner names" : " triangle corners name") +
                        " a texture coordinate the model does not have; " + (n == 1 ? "it uses" : "they use") +
                        " the picture's corner (0, 0)");
    return notes;
}

std::string Plural(int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string MissingSkinText(const Md2Model& model, std::optional<int32_t> skinIndex) {
    if (model.skinNames.empty()) return "the model names no skin";
    if (skinIndex) return "its skin " + NameToUtf8(model.skinNames[static_cast<size_t>(*skinIndex)]) + " was not found";
    if (model.skinNames.size() == 1) return "its skin " + NameToUtf8(model.skinNames.front()) + " was not found";
    std::string names;
    for (const std::string& n : model.skinNames) names += (names.empty() ? "" : ", ") + NameToUtf8(n);
    return "none of its skins was found (" + names + ")";
}

}  // namespace meshara

#include "session/messages.h"

#include "formats/name_text.h"

namespace meshara {

const char* UserMessage(FileKind kind, ErrorKind error) {
    switch (kind) {
        case FileKind::Model:
            switch (error) {
                case ErrorKind::CannotOpen: return msg::kCannotLoadFile;
                case ErrorKind::NotMd2: return msg::kNotMd2;
                case ErrorKind::NotReadableModel:
                case ErrorKind::CannotConvert: return msg::kCannotConvertModel;
                default: return msg::kDamagedMd2;
            }
        case FileKind::Skin:
            switch (error) {
                case ErrorKind::CannotOpen:
                case ErrorKind::UnsupportedBmpDepth: return nullptr;
                default: return msg::kNotSkin;
            }
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

const char* ReasonText(ErrorKind error) {
    switch (error) {
        case ErrorKind::CannotOpen: return "the file cannot be opened";
        case ErrorKind::NotMd2: return "not an MD2 file";
        case ErrorKind::DamagedMd2: return "the MD2 file is damaged or incomplete";
        case ErrorKind::NotSkin: return "not a valid skin picture";
        case ErrorKind::UnsupportedBmpDepth: return "unsupported BMP bit depth";
        case ErrorKind::SkinTooLarge: return "the picture is too large";
        case ErrorKind::NotLight: return "not a light file";
        case ErrorKind::CannotCreate: return "the file cannot be created";
        case ErrorKind::CannotExport: return "the model cannot be exported";
        case ErrorKind::NotReadableModel: return "not a glTF or OBJ model this program can read";
        case ErrorKind::CannotConvert: return "the model cannot be written as MD2";
    }
    return "unknown error";
}

std::string FailureText(const Failure& failure) {
    std::string text = ReasonText(failure.kind);
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

std::string MissingSkinText(const Md2Model& model, std::optional<int32_t> skinIndex) {
    if (model.skinNames.empty()) return "the model names no skin";
    if (skinIndex) return "its skin " + NameToUtf8(model.skinNames[static_cast<size_t>(*skinIndex)]) + " was not found";
    if (model.skinNames.size() == 1) return "its skin " + NameToUtf8(model.skinNames.front()) + " was not found";
    std::string names;
    for (const std::string& n : model.skinNames) names += (names.empty() ? "" : ", ") + NameToUtf8(n);
    return "none of its skins was found (" + names + ")";
}

}  // namespace meshara

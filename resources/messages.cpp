#include "resources/messages.h"

namespace meshara {

const char* UserMessage(FileKind kind, LoadError error) {
    switch (kind) {
        case FileKind::Model:
            switch (error) {
                case LoadError::None: return nullptr;
                case LoadError::CannotOpen: return msg::kCannotLoadFile;
                case LoadError::NotMd2: return msg::kNotMd2;
                default: return msg::kDamagedMd2;
            }
        case FileKind::Skin:
            switch (error) {
                case LoadError::None:
                case LoadError::CannotOpen:
                case LoadError::UnsupportedBmpDepth: return nullptr;
                default: return msg::kNotSkin;
            }
        case FileKind::Light:
            switch (error) {
                case LoadError::None: return nullptr;
                case LoadError::CannotOpen: return msg::kCannotOpenLight;
                case LoadError::CannotCreate: return msg::kCannotCreate;
                default: return msg::kNotLight;
            }
        case FileKind::Output: return error == LoadError::None ? nullptr : msg::kCannotCreate;
    }
    return nullptr;
}

const char* ReasonText(LoadError error) {
    switch (error) {
        case LoadError::None: return "no error";
        case LoadError::CannotOpen: return "the file cannot be opened";
        case LoadError::NotMd2: return "not an MD2 file";
        case LoadError::DamagedMd2: return "the MD2 file is damaged or incomplete";
        case LoadError::NotSkin: return "not a valid skin picture";
        case LoadError::UnsupportedBmpDepth: return "unsupported BMP bit depth";
        case LoadError::SkinTooLarge: return "the picture is too large";
        case LoadError::NotLight: return "not a light file";
        case LoadError::CannotCreate: return "the file cannot be created";
    }
    return "unknown error";
}

}  // namespace meshara

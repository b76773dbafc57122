#include "session/messages.h"

namespace meshara {

const char* UserMessage(FileKind kind, ErrorKind error) {
    switch (kind) {
        case FileKind::Model:
            switch (error) {
                case ErrorKind::CannotOpen: return msg::kCannotLoadFile;
                case ErrorKind::NotMd2: return msg::kNotMd2;
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
    }
    return "unknown error";
}

}  // namespace meshara

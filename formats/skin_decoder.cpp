#include "formats/skin_decoder.h"

#include <cmath>
#include <new>
#include <vector>

#include "io/file_name.h"
#include "formats/format_names.h"
#include "formats/picture_decoders.h"
#include "formats/readers.h"
#include "formats/path_input.h"

namespace meshara {

namespace pictures {

// The side limit keeps width * height * 3 far inside size_t; the pixel limit
// keeps a small file from asking for gigabytes (a run-length BMP of a
// kilobyte can claim 16384 x 16384).
Status SizeProblem(const char* format, int64_t width, int64_t height, int64_t maxPixels) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width <= 0 || height <= 0) return Broken(format, "picture size " + size + " is empty");
    if (width > kMaxSkinSide || height > kMaxSkinSide)
        return Failure{ErrorKind::TooLarge,
                       "picture size " + size + " exceeds " + std::to_string(kMaxSkinSide) + " pixels a side", format};
    if (width * height > maxPixels) {
        const auto side = static_cast<int64_t>(std::sqrt(static_cast<double>(maxPixels)));
        const std::string square =
            side * side == maxPixels ? " (" + std::to_string(side) + " x " + std::to_string(side) + ")" : "";
        return Failure{ErrorKind::TooLarge,
                       "picture size " + size + " has more than " + std::to_string(maxPixels) + " pixels" + square,
                       format};
    }
    return {};
}

SkinImage MakePicture(int32_t width, int32_t height) {
    SkinImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    return image;
}

}  // namespace pictures

namespace {

using namespace pictures;

constexpr const char* kNotAPicture = "not a picture of a kind Meshara reads (PCX, BMP, PNG, JPEG or TGA)";

}  // namespace

Result<SkinImage> DecodeSkinImage(std::span<const uint8_t> bytes) {
    const Reader& reader = ReaderOf(bytes);
    if (!reader.decodePicture) return Failure{ErrorKind::NotThisFormat, kNotAPicture, format::kPicture};
    return reader.decodePicture(bytes);
}

Status CheckSkinHeader(std::span<const uint8_t> head, int64_t maxPixels) {
    // Only the binary kinds' first bytes tell a picture; a start of a text is none.
    const Reader& reader = ReaderOf(head, false);
    if (!reader.checkPicture) return Failure{ErrorKind::NotThisFormat, kNotAPicture, format::kPicture};
    return reader.checkPicture(head, maxPixels);
}

Result<std::shared_ptr<const SkinImage>> ReadSkinImage(const std::string& path, int64_t maxPixels) {
    auto file = OpenPathInput(path, kMaxPictureEntryBytes);
    if (!file) return file.Why();
    return ReadSkinImage(file.Take(), path, maxPixels);
}

Result<std::shared_ptr<const SkinImage>> ReadSkinImage(PathInput f, const std::string& path, int64_t maxPixels) {
    std::vector<uint8_t> bytes;
    // What the header says is checked before the rest of the file is read.
    if (Status read = f.ReadMore(bytes, kSkinHeaderBytes); !read) return read.Why();
    if (Status header = CheckSkinHeader(bytes, maxPixels); !header) return header.Why();
    if (f.Size() > bytes.size()) {
        if (Status read = f.ReadMore(bytes, f.Size() - bytes.size()); !read) return read.Why();
        // A JPEG's frame header may lie past the first bytes.
        if (maxPixels < kMaxSkinPixels)
            if (Status header = CheckSkinHeader(bytes, maxPixels); !header) return header.Why();
    }
    try {
        auto decoded = DecodeSkinImage(bytes);
        if (!decoded) return decoded.Why();
        auto image = std::make_shared<SkinImage>(decoded.Take());
        image->fileName = FileNameOfPath(path);
        image->path = path;
        return std::shared_ptr<const SkinImage>(std::move(image));
    } catch (const std::bad_alloc&) {
        return Failure{ErrorKind::CannotOpen, "not enough memory to hold the picture"};
    }
}

}  // namespace meshara

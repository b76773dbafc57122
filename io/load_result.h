#pragma once
// What a parser hands back: a value, or the reason it refused the input.
// Parsers never talk to the user; the caller turns the reason into the
// program's message text (resources/messages.h).

#include <optional>
#include <string>
#include <utility>

namespace meshara {

enum class LoadError {
    None,
    CannotOpen,          // the file could not be opened or read
    NotMd2,              // no "IDP2" magic
    DamagedMd2,          // starts as an MD2 but its tables do not fit
    NotSkin,             // not a PCX or BMP we can decode
    UnsupportedBmpDepth, // a BMP whose bit count is neither 8 nor 24 (refused silently)
    SkinTooLarge,        // picture dimensions beyond what we accept
    NotLight,            // no "LGT0" magic, or too short to hold a light
    CannotCreate,        // an output file could not be written
};

template <class T>
class LoadResult {
public:
    LoadResult(T value) : value_(std::move(value)) {}  // NOLINT: implicit by design
    static LoadResult Fail(LoadError error, std::string detail = {}) {
        LoadResult r;
        r.error_ = error;
        r.detail_ = std::move(detail);
        return r;
    }

    bool Ok() const { return value_.has_value(); }
    explicit operator bool() const { return Ok(); }
    LoadError Error() const { return error_; }
    // A short technical account of what was wrong, for logs and the command line.
    const std::string& Detail() const { return detail_; }

    T& Value() { return *value_; }
    const T& Value() const { return *value_; }
    T Take() { return std::move(*value_); }

private:
    LoadResult() = default;
    std::optional<T> value_;
    LoadError error_ = LoadError::None;
    std::string detail_;
};

}  // namespace meshara

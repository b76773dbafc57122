#pragma once
// What every read, write and export hands back: a value, or why it failed.
// The kind says what went wrong in terms the user is told about (the
// program's message texts, session/messages.h); the detail is a short
// technical account: which table, which size, which system error. Nothing
// here ever talks to the user.

#include <optional>
#include <string>
#include <utility>

namespace meshara {

enum class ErrorKind {
    CannotOpen,           // the file could not be opened or read
    NotMd2,               // no "IDP2" magic
    DamagedMd2,           // starts as an MD2 but its tables do not fit
    NotSkin,              // not a picture we can decode
    UnsupportedBmpDepth,  // a BMP of 1, 4 or another bit count not 8, 16, 24 or 32 (refused silently)
    SkinTooLarge,         // picture dimensions beyond what we accept
    NotLight,             // no "LGT0" magic, or too short to hold a light
    CannotCreate,         // an output file could not be written
    CannotExport,         // the model cannot be written in the asked format
    NotReadableModel,     // a glTF or OBJ file that cannot be read as one mesh
    CannotConvert,        // the model does not fit in an MD2 file
};

struct Failure {
    ErrorKind kind = ErrorKind::CannotOpen;
    std::string detail;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}        // NOLINT: implicit by design
    Result(Failure failure) : failure_(std::move(failure)) {}  // NOLINT
    static Result Fail(ErrorKind kind, std::string detail = {}) { return Failure{kind, std::move(detail)}; }

    bool Ok() const { return value_.has_value(); }
    explicit operator bool() const { return Ok(); }
    ErrorKind Error() const { return failure_.kind; }
    const std::string& Detail() const { return failure_.detail; }
    const Failure& Why() const { return failure_; }

    T& Value() { return *value_; }
    const T& Value() const { return *value_; }
    T Take() { return std::move(*value_); }

private:
    std::optional<T> value_;
    Failure failure_;
};

// The same for operations that make nothing but may fail (writes).
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failed_(true), failure_(std::move(failure)) {}  // NOLINT
    static Result Fail(ErrorKind kind, std::string detail = {}) { return Failure{kind, std::move(detail)}; }

    bool Ok() const { return !failed_; }
    explicit operator bool() const { return Ok(); }
    ErrorKind Error() const { return failure_.kind; }
    const std::string& Detail() const { return failure_.detail; }
    const Failure& Why() const { return failure_; }

private:
    bool failed_ = false;
    Failure failure_;
};

using Status = Result<void>;

}  // namespace meshara

#pragma once
// What every read, write and export hands back: a value, or why it failed.
// The kind says what went wrong in general terms; the format, which reader
// or writer it was, so the layers above can word it for the user (the
// program's message texts, session/messages.h); the detail is a short
// technical account: which table, which size, which system error. Nothing
// here ever talks to the user.

#include <optional>
#include <string>
#include <utility>

namespace meshara {

enum class ErrorKind {
    CannotOpen,     // the file could not be opened or read
    NotThisFormat,  // its bytes are not of the format asked for: no magic number, no header of it
    Damaged,        // of that format, but its contents do not hold together
    Unsupported,    // of that format, in a variant the reader does not take (a bit depth, a coding)
    TooLarge,       // larger than the sizes accepted
    CannotCreate,   // an output file could not be written
    DoesNotFit,     // what was asked cannot be written in the output's format
};

struct Failure {
    ErrorKind kind = ErrorKind::CannotOpen;
    std::string detail;
    // Which reader or writer refused, as the layer above names its formats;
    // null where no format was involved (a file that cannot be opened).
    const char* format = nullptr;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}        // NOLINT: implicit by design
    Result(Failure failure) : failure_(std::move(failure)) {}  // NOLINT
    static Result Fail(ErrorKind kind, std::string detail = {}, const char* format = nullptr) {
        return Failure{kind, std::move(detail), format};
    }

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
    static Result Fail(ErrorKind kind, std::string detail = {}, const char* format = nullptr) {
        return Failure{kind, std::move(detail), format};
    }

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

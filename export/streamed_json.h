#pragma once
// The pieces a glTF export is written out with as it is made: bytes on
// their way to a sink, base64 for a data URI, and JSON laid out as
// tinygltf's writer lays out a whole document, so a streamed file is the
// same bytes as one serialised at once.

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/file_bytes.h"

namespace meshara::streamed {

// The JSON library tinygltf writes with: its numbers and strings are laid
// out here exactly as tinygltf's writer lays them out.
using Json = nlohmann::json;

// Bytes on their way to the sink, a megabyte at a time. The first failure
// is kept and everything after it dropped, so the writers need not check
// every piece; loops over frames ask Ok() to stop early.
class Out {
public:
    explicit Out(ByteSink& sink) : sink_(sink) { buffer_.reserve(kPiece); }

    void Bytes(const void* data, size_t size) {
        const auto* first = static_cast<const uint8_t*>(data);
        while (size > 0 && status_) {
            const size_t n = std::min(size, kPiece - buffer_.size());
            buffer_.insert(buffer_.end(), first, first + n);
            first += n, size -= n, written_ += n;
            if (buffer_.size() == kPiece) Send();
        }
    }
    void Text(std::string_view text) { Bytes(text.data(), text.size()); }
    void Zeros(size_t count) {
        static constexpr uint8_t kZeros[4096] = {};
        for (size_t n; count > 0; count -= n) Bytes(kZeros, n = std::min(count, sizeof kZeros));
    }
    template <class T>
    void Array(const std::vector<T>& values) { Bytes(values.data(), values.size() * sizeof(T)); }

    uint64_t Written() const { return written_; }
    bool Ok() const { return status_.Ok(); }
    void Fail(Failure failure) {
        if (status_) status_ = std::move(failure);
    }
    Status Flush() {
        Send();
        return status_;
    }

private:
    void Send() {
        if (status_ && !buffer_.empty()) status_ = sink_.Append(buffer_);
        buffer_.clear();
    }

    static constexpr size_t kPiece = size_t{1} << 20;
    ByteSink& sink_;
    std::vector<uint8_t> buffer_;
    uint64_t written_ = 0;
    Status status_;
};

// Bytes as base64, for a data URI, written as they come.
class Base64Out {
public:
    explicit Base64Out(Out& out) : out_(out) {}

    void Bytes(const void* data, size_t size) {
        const auto* b = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; ++i) {
            held_[count_++] = b[i];
            if (count_ == 3) Emit();
        }
    }
    void Zeros(size_t count) {
        static constexpr uint8_t kZeros[4096] = {};
        for (size_t n; count > 0; count -= n) Bytes(kZeros, n = std::min(count, sizeof kZeros));
    }
    template <class T>
    void Array(const std::vector<T>& values) { Bytes(values.data(), values.size() * sizeof(T)); }
    bool Ok() const { return out_.Ok(); }

    // The last one or two bytes, the group padded with '='.
    void Finish() {
        if (count_ > 0) Emit();
        out_.Text(text_);
        text_.clear();
    }

private:
    void Emit() {
        static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (size_t i = count_; i < 3; ++i) held_[i] = 0;
        const uint32_t v = uint32_t{held_[0]} << 16 | uint32_t{held_[1]} << 8 | held_[2];
        const char group[4] = {kDigits[v >> 18 & 63], kDigits[v >> 12 & 63], count_ > 1 ? kDigits[v >> 6 & 63] : '=',
                               count_ > 2 ? kDigits[v & 63] : '='};
        text_.append(group, 4);
        if (text_.size() >= 65536) out_.Text(text_), text_.clear();
        count_ = 0;
    }

    Out& out_;
    uint8_t held_[3] = {};
    size_t count_ = 0;
    std::string text_;
};

// JSON written as it is made, laid out as tinygltf's writer (through
// nlohmann's) lays out a whole document: compact, or indented by two
// spaces a level with "key": value.
class JsonOut {
public:
    JsonOut(Out& out, bool pretty) : out_(out), pretty_(pretty) {}

    void BeginObject() { Open('{', true); }
    void BeginArray() { Open('[', false); }
    void End() {
        const Level level = levels_.back();
        levels_.pop_back();
        if (level.count > 0 && pretty_) NewLine();
        out_.Text(level.object ? "}" : "]");
    }
    void Key(std::string_view key) {
        Separate();
        out_.Text("\"");
        out_.Text(key);  // the keys are the format's own names
        out_.Text(pretty_ ? "\": " : "\":");
        afterKey_ = true;
    }
    // A value as nlohmann's writer lays it out at this depth.
    void Value(const Json& value) {
        Separate();
        const std::string text = value.dump(pretty_ ? 2 : -1);
        const std::string_view rest(text);
        size_t from = 0;
        if (pretty_)  // each line after the first indented to this depth
            for (size_t end; (end = rest.find('\n', from)) != std::string_view::npos; from = end + 1) {
                out_.Text(rest.substr(from, end + 1 - from));
                out_.Text(std::string_view(kSpaces, std::min(sizeof kSpaces, 2 * levels_.size())));
            }
        out_.Text(rest.substr(from));
    }
    void Number(uint64_t v) {
        Separate();
        out_.Text(std::to_string(v));
    }
    // A value whose text the caller writes next, straight to the output.
    Out& RawValue() {
        Separate();
        return out_;
    }

private:
    struct Level {
        bool object;
        size_t count;
    };
    void Open(char bracket, bool object) {
        Separate();
        out_.Text(std::string_view(&bracket, 1));
        levels_.push_back({object, 0});
    }
    void NewLine() {
        out_.Text("\n");
        out_.Text(std::string_view(kSpaces, std::min(sizeof kSpaces, 2 * levels_.size())));
    }
    static constexpr char kSpaces[32] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                         ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    // Before a key in an object or a value in an array (not a key's value).
    void Separate() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (levels_.empty()) return;
        if (levels_.back().count++ > 0) out_.Text(",");
        if (pretty_) NewLine();
    }

    Out& out_;
    bool pretty_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

}  // namespace meshara::streamed

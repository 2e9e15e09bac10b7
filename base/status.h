// How an operation ended, at the boundaries of the modules: a code for the
// caller to act on and a message for people ("header_size 26983 out of range
// 1 to 1024 (field at offset 150)", "out of memory"). Inside a module any
// means may serve; what crosses into another module is a Status, or a
// Result<T> that holds either a value or a failed Status. Exceptions do not
// cross: a module turns std::bad_alloc into StatusCode::kOutOfMemory at its
// boundary.
//
//   Result<Dictionary> d = Open(path);
//   if (!d.IsOk()) return d.GetStatus();
//   Use(*d);
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <utility>

namespace kebu {

enum class StatusCode {
  kOk,
  kInvalidArgument,  // the caller asked for something that cannot be (usage)
  kNotFound,         // no such file, entry or record
  kCorrupt,          // the input is not what it claims (a damaged dictionary, a bad line)
  kUnsupported,      // well formed, but beyond what is handled (a format limit)
  kIoError,          // the system refused a read or a write (disk full, permissions)
  kOutOfMemory,
  kCancelled,        // stopped on request (a cancel flag, a signal)
  kInternal,         // anything else a callee let through (an exception from a
                     // caller's callback, with its message)
};

class [[nodiscard]] Status {
 public:
  // Success.
  Status() = default;
  // A failure; `code` is not kOk.
  Status(StatusCode code, std::string message) : code_(code), message_(std::move(message)) {
    assert(code != StatusCode::kOk);
  }

  static Status Ok() { return Status(); }
  static Status InvalidArgument(std::string m) { return {StatusCode::kInvalidArgument, std::move(m)}; }
  static Status NotFound(std::string m) { return {StatusCode::kNotFound, std::move(m)}; }
  static Status Corrupt(std::string m) { return {StatusCode::kCorrupt, std::move(m)}; }
  static Status Unsupported(std::string m) { return {StatusCode::kUnsupported, std::move(m)}; }
  static Status IoError(std::string m) { return {StatusCode::kIoError, std::move(m)}; }
  static Status OutOfMemory() { return {StatusCode::kOutOfMemory, "out of memory"}; }
  static Status Cancelled(std::string m = "cancelled") { return {StatusCode::kCancelled, std::move(m)}; }
  static Status Internal(std::string m) { return {StatusCode::kInternal, std::move(m)}; }

  bool IsOk() const { return code_ == StatusCode::kOk; }
  StatusCode Code() const { return code_; }
  // Empty for success.
  const std::string& Message() const { return message_; }

  // The same failure with `context` in front of its message ("x.dic: ...").
  Status WithContext(const std::string& context) const {
    if (IsOk()) return *this;
    return Status(code_, context + ": " + message_);
  }

 private:
  StatusCode code_ = StatusCode::kOk;
  std::string message_;
};

// A value, or the Status of why there is none.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: a value converts
  // A failure; `status` is not Ok.
  Result(Status status) : status_(std::move(status)) { assert(!status_.IsOk()); }  // NOLINT

  bool IsOk() const { return value_.has_value(); }
  const Status& GetStatus() const { return status_; }

  T& Value() & { assert(IsOk()); return *value_; }
  const T& Value() const& { assert(IsOk()); return *value_; }
  T&& Value() && { assert(IsOk()); return std::move(*value_); }
  T& operator*() & { return Value(); }
  const T& operator*() const& { return Value(); }
  T* operator->() { return &Value(); }
  const T* operator->() const { return &Value(); }

 private:
  std::optional<T> value_;
  Status status_;
};

}  // namespace kebu

// The program's one error type: the kind of failure and a Simplified Chinese message that names it.
// Every service raises these; system, libcurl and D-Bus failures are translated where they arise.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace horalux {

enum class ErrorKind {
  kTypeMismatch,   // a text that is not a date-time
  kOverflow,       // a value outside the date-time range
  kFloatingPoint,  // invalid operation, division by zero or overflow in arithmetic
  kInvalidUrl,     // a URL the request component refuses
  kNetwork,        // name not resolved, connection refused or reset, bad response
  kTimeout,        // the server took too long
  kTls,            // the secure connection failed or the certificate was refused
  kClockRefused,   // the system would not set the clock
  kSystem,         // any other failure of the operating system
};

// The kind's name as the user sees it, e.g. "类型不匹配".
std::string_view ErrorKindName(ErrorKind kind) noexcept;

class Error : public std::runtime_error {
 public:
  // what() is the kind's name, a full-width colon, then the detail:
  // 类型不匹配：“ 6 Nov 1994 08:49:37x” 不是有效的日期时间
  Error(ErrorKind kind, std::string_view detail);

  ErrorKind kind() const noexcept { return kind_; }
  // The detail alone, without the kind's name.
  const std::string& detail() const noexcept { return detail_; }

 private:
  ErrorKind kind_;
  std::string detail_;
};

// Quotes a value for a message with Chinese quotation marks: “value”.
std::string Quoted(std::string_view value);

// An error from an errno value: the detail, then the system's own description of the errno.
Error SystemError(ErrorKind kind, int errno_value, std::string_view detail);

// The system's own description of an errno value, in brackets, as SystemError appends it:
// （Operation not permitted，errno 1）
std::string ErrnoNote(int errno_value);

}  // namespace horalux

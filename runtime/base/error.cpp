#include "runtime/base/error.h"

#include <string>

#include "runtime/base/system_text.h"

namespace horalux {

std::string_view ErrorKindName(ErrorKind kind) noexcept {
  switch (kind) {
    case ErrorKind::kTypeMismatch:
      return "类型不匹配";
    case ErrorKind::kOverflow:
      return "溢出";
    case ErrorKind::kFloatingPoint:
      return "浮点运算错误";
    case ErrorKind::kInvalidUrl:
      return "网址无效";
    case ErrorKind::kNetwork:
      return "网络错误";
    case ErrorKind::kTimeout:
      return "连接超时";
    case ErrorKind::kTls:
      return "安全连接失败";
    case ErrorKind::kClockRefused:
      return "无法设置系统时间";
    case ErrorKind::kSystem:
      return "系统错误";
  }
  return "未知错误";
}

namespace {

std::string ComposeMessage(ErrorKind kind, std::string_view detail) {
  std::string message(ErrorKindName(kind));
  message += "：";
  message += detail;
  return message;
}

}  // namespace

Error::Error(ErrorKind kind, std::string_view detail)
    : std::runtime_error(ComposeMessage(kind, detail)), kind_(kind), detail_(detail) {}

std::string Quoted(std::string_view value) {
  std::string quoted = "“";
  quoted += value;
  quoted += "”";
  return quoted;
}

Error SystemError(ErrorKind kind, int errno_value, std::string_view detail) {
  return Error(kind, std::string(detail) + ErrnoNote(errno_value));
}

std::string ErrnoNote(int errno_value) {
  std::string text = "（";
  text += ErrnoText(errno_value);
  text += "，errno ";
  text += std::to_string(errno_value);
  text += "）";
  return text;
}

}  // namespace horalux

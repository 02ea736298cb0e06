#include "handlers/error_report.h"

#include <string>

#include "runtime/base/system_text.h"

namespace horalux {

std::string_view ErrorReportTitle(const Error& error) noexcept {
  switch (error.kind()) {
    case ErrorKind::kTypeMismatch:
    case ErrorKind::kOverflow:
      // Raised only by the reading of the site's Date header, its text or its range.
      return "无法读取网站的时间";
    case ErrorKind::kFloatingPoint:
      return "无法计算时间";
    case ErrorKind::kInvalidUrl:
      return "网址无法使用";
    case ErrorKind::kNetwork:
      return "无法从网站获取时间";
    case ErrorKind::kTimeout:
      return "网站没有及时应答";
    case ErrorKind::kTls:
      return "无法与网站建立安全连接";
    case ErrorKind::kClockRefused:
      return "无法设置系统时间";
    case ErrorKind::kSystem:
      break;
  }
  return "程序无法完成操作";
}

Error InternalError(const std::exception& error, AfterInternalError after) {
  std::string detail = "程序内部出现意外错误（" + SystemTextToUtf8(error.what()) + "）。";
  detail += after == AfterInternalError::kTryAgain ? "请重试；如果问题仍然存在，请重新启动程序。"
                                                   : "请重新启动程序。";
  return Error(ErrorKind::kSystem, detail);
}

}  // namespace horalux

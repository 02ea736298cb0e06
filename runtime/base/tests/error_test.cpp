#include "runtime/base/error.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace horalux {
namespace {

TEST(Error, MessageNamesTheKindThenTheDetail) {
  Error error(ErrorKind::kTypeMismatch, Quoted(" 6 Nov 1994 08:49:37x") + " 不是有效的日期时间");
  EXPECT_STREQ(error.what(), "类型不匹配：“ 6 Nov 1994 08:49:37x” 不是有效的日期时间");
  EXPECT_EQ(error.kind(), ErrorKind::kTypeMismatch);
  EXPECT_EQ(error.detail(), "“ 6 Nov 1994 08:49:37x” 不是有效的日期时间");
}

TEST(Error, SystemErrorCarriesTheErrnoAndItsDescription) {
  Error error = SystemError(ErrorKind::kClockRefused, EPERM, "需要管理员权限");
  const std::string message = error.what();
  EXPECT_EQ(message.rfind("无法设置系统时间：需要管理员权限（", 0), 0u) << message;
  EXPECT_NE(message.find("errno 1"), std::string::npos) << message;
}

}  // namespace
}  // namespace horalux

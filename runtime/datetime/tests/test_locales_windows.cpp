#include "runtime/datetime/tests/test_locales.h"

namespace horalux::testing {

const std::vector<TestLocale>& TestLocales() {
  static const std::vector<TestLocale> locales = {
      {"User", std::nullopt}, {"en_US", "en-US"}, {"en_GB", "en-GB"},
      {"de_DE", "de-DE"},     {"zh_CN", "zh-CN"}, {"ja_JP", "ja-JP"},
  };
  return locales;
}

}  // namespace horalux::testing

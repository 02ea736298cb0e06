#include "runtime/datetime/tests/test_locales.h"

namespace horalux::testing {

// The test command generates these with locale-gen. Two-digit years in the locale's own patterns
// (en_GB's "%d/%m/%y") come out widened.
const std::vector<TestLocale>& TestLocales() {
  static const std::vector<TestLocale> locales = {
      {"C", "C.UTF-8"},         {"en_US", "en_US.UTF-8"}, {"en_GB", "en_GB.UTF-8"},
      {"de_DE", "de_DE.UTF-8"}, {"zh_CN", "zh_CN.UTF-8"}, {"ja_JP", "ja_JP.UTF-8"},
  };
  return locales;
}

}  // namespace horalux::testing

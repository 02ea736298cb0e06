// The locales whose forms the tests read, under each platform's own names ("de_DE.UTF-8" on
// Linux, "de-DE" on Windows).
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "runtime/datetime/text_forms.h"

namespace horalux::testing {

struct TestLocale {
  std::string label;  // the same on every platform, names the test case: "de_DE"
  // What TextFormsForLocale takes here; none for the user's own settings.
  std::optional<std::string> name;

  TextForms Forms() const { return name ? TextFormsForLocale(*name) : UserTextForms(); }
  friend std::ostream& operator<<(std::ostream& out, const TestLocale& locale) {
    return out << (locale.name ? *locale.name : "the user's locale");
  }
};

// en_US, en_GB, de_DE, zh_CN and ja_JP, and the plainest forms the platform has: the C locale
// on Linux, the user's locale on Windows (which has no name for its invariant locale).
const std::vector<TestLocale>& TestLocales();

}  // namespace horalux::testing

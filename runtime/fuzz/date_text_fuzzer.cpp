// Any bytes as a date-time text, under several regional forms: nothing crashes, the is-date test
// agrees with the conversion, and what a conversion gives formats and reads back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/error.h"
#include "runtime/ole_date.h"
#include "runtime/text.h"
#include "runtime/text_forms.h"

namespace {

using horalux::TextForms;

std::vector<TextForms> LoadForms() {
  std::vector<TextForms> all;
  for (const char* name : {"C.UTF-8", "en_US.UTF-8", "en_GB.UTF-8", "de_DE.UTF-8", "zh_CN.UTF-8",
                           "ja_JP.UTF-8"}) {
    try {
      all.push_back(horalux::TextFormsForLocale(name));
    } catch (const horalux::Error&) {
      // Not generated on this machine; the others still run.
    }
  }
  if (all.empty()) all.push_back(horalux::UserTextForms());
  return all;
}

[[noreturn]] void Fail(const char* what, std::string_view text) {
  std::fprintf(stderr, "%s: \"%s\"\n", what, horalux::ExcerptForMessage(text, 200).c_str());
  std::abort();
}

void CheckRoundTrip(horalux::OleDate value, const TextForms& forms) {
  const std::string text = horalux::FormatDateTime(value, forms);
  const auto moment = value.ToLocalSeconds();
  horalux::OleDate again = horalux::ParseDateTime(text, forms);
  if (again.ToLocalSeconds() != moment) Fail("formatted value reads back differently", text);
  if (horalux::FormatDateTime(again, forms) != text) Fail("second formatting differs", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<TextForms> kForms = LoadForms();
  if (size == 0) return 0;
  const TextForms& forms = kForms[data[0] % kForms.size()];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  bool parsed = false;
  try {
    const horalux::OleDate value = horalux::ParseDateTime(text, forms);
    parsed = true;
    CheckRoundTrip(value, forms);
  } catch (const horalux::Error& error) {
    if (parsed) Fail(error.what(), text);
    if (error.kind() != horalux::ErrorKind::kTypeMismatch) Fail("not a type mismatch", text);
  }
  if (horalux::IsDateTime(text, forms) != parsed) Fail("is-date disagrees with the conversion", text);

  // The same bytes as a day count.
  if (text.size() >= sizeof(double)) {
    double days = 0;
    std::memcpy(&days, text.data(), sizeof days);
    try {
      CheckRoundTrip(horalux::OleDate::FromDays(days), forms);
    } catch (const horalux::Error& error) {
      if (error.kind() != horalux::ErrorKind::kOverflow) Fail(error.what(), text);
    }
  }

  // And as a text to take characters from.
  const std::size_t start = size > 1 ? data[1] % 40 : 0;
  const std::size_t length = size > 2 ? data[2] % 40 : 0;
  const std::string part = horalux::MidChars(text, start, length);
  if (part.size() > text.size()) Fail("characters longer than the text", text);
  return 0;
}

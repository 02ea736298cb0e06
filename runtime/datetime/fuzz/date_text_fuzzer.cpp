// Any bytes as a date-time text, under several regional forms: nothing crashes, the is-date test
// agrees with the conversion, and what a conversion gives formats and reads back unchanged.
// Inputs whose first byte has its high bit set describe a made-up locale instead (strftime or
// Windows patterns and day-period names), whose forms must read back every value they write.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/base/error.h"
#include "runtime/base/text.h"
#include "runtime/datetime/ole_date.h"
#include "runtime/datetime/picture_forms.h"
#include "runtime/datetime/strftime_forms.h"
#include "runtime/datetime/text_forms.h"

namespace {

using horalux::TextForms;

std::vector<TextForms> LoadForms() {
  std::vector<TextForms> all;
  for (const char* name :
       {"C.UTF-8", "en_US.UTF-8", "en_GB.UTF-8", "de_DE.UTF-8", "zh_CN.UTF-8", "ja_JP.UTF-8"}) {
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
  horalux::OleDate again = value;
  try {
    again = horalux::ParseDateTime(text, forms);
  } catch (const horalux::Error&) {
    Fail("formatted value is refused", text);
  }
  if (again.ToLocalSeconds() != moment) Fail("formatted value reads back differently", text);
  if (horalux::FormatDateTime(again, forms) != text) Fail("second formatting differs", text);
}

// After the first byte: eight bytes choosing a moment, then the date pattern, the time pattern,
// the 12-hour pattern, and the two day-period names, separated by \x01.
void CheckMadeUpLocale(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return;
  std::uint64_t choice = 0;
  std::memcpy(&choice, data + 1, sizeof choice);
  std::string parts[5];
  std::size_t part = 0;
  for (std::size_t i = 9; i < size; ++i) {
    if (data[i] == 1 && part < 4) {
      ++part;
    } else {
      parts[part] += static_cast<char>(data[i]);
    }
  }
  const TextForms forms =
      (data[0] & 1) != 0
          ? horalux::TextFormsFromLcTime({parts[0], parts[1], parts[2], parts[3], parts[4]})
          : horalux::TextFormsFromPictures(parts[0], parts[1], parts[3], parts[4]);
  using namespace std::chrono;
  const local_seconds first{local_days{year{100} / January / 1}};
  const local_seconds last{local_days{year{9999} / December / 31} + 86399s};
  const auto span = static_cast<std::uint64_t>((last - first).count()) + 1;
  const local_seconds moment = first + seconds{static_cast<long long>(choice % span)};
  CheckRoundTrip(horalux::OleDate::FromLocalSeconds(moment), forms);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<TextForms> kForms = LoadForms();
  if (size == 0) return 0;
  if (data[0] >= 0x80) {
    CheckMadeUpLocale(data, size);
    return 0;
  }
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
  if (horalux::IsDateTime(text, forms) != parsed)
    Fail("is-date disagrees with the conversion", text);

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

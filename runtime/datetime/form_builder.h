// Building date and time forms from a platform's pattern language, and making them safe for a
// round trip. Shared by the translators of strftime patterns and of Windows picture strings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/datetime/text_forms.h"

namespace horalux {

class FormBuilder {
 public:
  // Joined to a literal right before it.
  void AddLiteral(std::string_view text);
  void AddField(FormField::Kind kind, int width);
  // A piece that cannot be read back (a zone, a weekday, an era...): it is left out, and so is
  // the separator that joins it to the rest, so that "%a %d" does not leave a stray blank.
  void AddUnreadable();

  std::vector<FormField> Take() && { return std::move(fields_); }

 private:
  std::vector<FormField> fields_;
  bool skipping_separator_ = false;
};

// The forms as given where they can be read back, and otherwise the nearest that can: one year,
// month and day in the date; an hour, a minute and a second in the time (seconds added after the
// minutes where the separators allow, otherwise "HH:mm:ss"); a 12-hour clock only with two
// distinct day-period names; and a zero-padded width wherever an unpadded number would run into
// a digit after it.
TextForms MakeRoundTrippable(std::vector<FormField> short_date, std::vector<FormField> long_time,
                             std::string am, std::string pm);

// yyyy-mm-dd HH:mm:ss: the forms a repair falls back to, and forms that read the same whatever
// the machine's regional settings.
TextForms IsoTextForms();

}  // namespace horalux

// Date and time forms from Windows picture strings, as the user locale gives them
// (LOCALE_SSHORTDATE "M/d/yyyy", LOCALE_STIMEFORMAT "h:mm:ss tt"). Portable, so that the
// translation is tested everywhere.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/datetime/text_forms.h"

namespace horalux {

// The fields of one picture string in UTF-8. Quoted text is literal; a two-digit year becomes the
// four-digit year; month names become month numbers; weekday and era names are left out.
std::vector<FormField> TranslatePicture(std::string_view picture);

// The short-date and long-time forms of a locale, made safe for a round trip.
TextForms TextFormsFromPictures(std::string_view short_date, std::string_view long_time,
                                std::string am, std::string pm);

}  // namespace horalux

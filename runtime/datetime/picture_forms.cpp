#include "runtime/datetime/picture_forms.h"

#include "runtime/datetime/form_builder.h"

namespace horalux {

std::vector<FormField> TranslatePicture(std::string_view picture) {
  using Kind = FormField::Kind;
  FormBuilder builder;
  std::size_t at = 0;
  while (at < picture.size()) {
    const char letter = picture[at];
    if (letter == '\'') {
      // 'text' stands as it is; '' inside or outside quotes is one quote mark.
      ++at;
      if (at < picture.size() && picture[at] == '\'') {
        builder.AddLiteral("'");
        ++at;
        continue;
      }
      std::string text;
      while (at < picture.size()) {
        if (picture[at] == '\'') {
          if (at + 1 < picture.size() && picture[at + 1] == '\'') {
            text += '\'';
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        text += picture[at++];
      }
      builder.AddLiteral(text);
      continue;
    }
    std::size_t run = 1;
    while (at + run < picture.size() && picture[at + run] == letter) ++run;
    const int width = run >= 2 ? 2 : 1;
    switch (letter) {
      case 'd':
        if (run <= 2) {
          builder.AddField(Kind::kDay, width);
        } else {
          builder.AddUnreadable();  // weekday name
        }
        break;
      case 'M':
        builder.AddField(Kind::kMonth, run <= 2 ? width : 2);
        break;
      case 'y':
        builder.AddField(Kind::kYear, 4);
        break;
      case 'g':
        builder.AddUnreadable();
        break;  // era name
      case 'h':
        builder.AddField(Kind::kHour12, width);
        break;
      case 'H':
        builder.AddField(Kind::kHour24, width);
        break;
      case 'm':
        builder.AddField(Kind::kMinute, width);
        break;
      case 's':
        builder.AddField(Kind::kSecond, width);
        break;
      // "t" is the first letter of the day period; the whole name is the nearest that reads back
      // when the names share their first letter.
      case 't':
        builder.AddField(Kind::kDayPeriod, 1);
        break;
      default:
        builder.AddLiteral(picture.substr(at, run));
        break;
    }
    at += run;
  }
  return std::move(builder).Take();
}

TextForms TextFormsFromPictures(std::string_view short_date, std::string_view long_time,
                                std::string am, std::string pm) {
  return MakeRoundTrippable(TranslatePicture(short_date), TranslatePicture(long_time),
                            std::move(am), std::move(pm));
}

}  // namespace horalux

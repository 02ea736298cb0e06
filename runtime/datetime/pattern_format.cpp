#include "runtime/datetime/pattern_format.h"

#include <chrono>
#include <cstddef>

#include "runtime/base/text.h"

namespace horalux {
std::string FormatPattern(OleDate value, std::string_view pattern) {
  using namespace std::chrono;
  const local_seconds moment = value.ToLocalSeconds();
  const local_days day = floor<days>(moment);
  const year_month_day date{day};
  const hh_mm_ss<seconds> time{moment - day};
  const auto year = static_cast<unsigned>(static_cast<int>(date.year()));

  std::string out;
  // "m" means minutes right after an hour, and the month everywhere else.
  bool after_hour = false;
  std::size_t at = 0;
  while (at < pattern.size()) {
    const char letter = pattern[at];
    std::size_t run = 1;
    while (at + run < pattern.size() && pattern[at + run] == letter) ++run;
    const std::size_t width = run;
    bool is_hour = false;
    // Longer runs (names of days and months, day of the year) are not offered; they stand as
    // they are rather than being guessed at.
    const bool offered = letter == 'y' ? (run == 2 || run == 4) : run <= 2;
    switch (offered ? letter : '\0') {
      case 'y':
        AppendZeroPadded(out, run == 4 ? year : year % 100, run);
        break;
      case 'm':
        AppendZeroPadded(out,
                         after_hour ? static_cast<unsigned>(time.minutes().count())
                                    : static_cast<unsigned>(date.month()),
                         width);
        break;
      case 'n':
        AppendZeroPadded(out, static_cast<unsigned>(time.minutes().count()), width);
        break;
      case 'd':
        AppendZeroPadded(out, static_cast<unsigned>(date.day()), width);
        break;
      case 'h':
        AppendZeroPadded(out, static_cast<unsigned>(time.hours().count()), width);
        is_hour = true;
        break;
      case 's':
        AppendZeroPadded(out, static_cast<unsigned>(time.seconds().count()), width);
        break;
      default:
        out.append(run, letter);
        break;
    }
    if (offered && (letter == 'y' || letter == 'm' || letter == 'n' || letter == 'd' ||
                    letter == 'h' || letter == 's')) {
      after_hour = is_hour;
    }
    at += run;
  }
  return out;
}

}  // namespace horalux

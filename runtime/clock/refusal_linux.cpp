#include "runtime/clock/refusal_linux.h"

#include <cstdio>

#include "runtime/base/error.h"

namespace horalux {
namespace {

std::string FormatLocal(std::chrono::local_seconds time) {
  using std::chrono::days;
  using std::chrono::floor;
  using std::chrono::seconds;
  const auto day = floor<days>(time);
  const std::chrono::year_month_day date{day};
  const std::chrono::hh_mm_ss<seconds> clock_time{time - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock_time.hours().count()),
                static_cast<int>(clock_time.minutes().count()),
                static_cast<int>(clock_time.seconds().count()));
  return text;
}

}  // namespace

std::string Explain(std::string_view cause, std::chrono::local_seconds wanted,
                    std::string_view remedy) {
  std::string text(cause);
  text += "（要设为本地时间 ";
  text += Quoted(FormatLocal(wanted));
  text += "）";
  if (!remedy.empty()) {
    text += "。";
    text += remedy;
  }
  return text;
}

}  // namespace horalux

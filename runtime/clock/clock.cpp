#include "runtime/clock/clock.h"

#include <optional>
#include <string>

#include "runtime/base/error.h"
#include "runtime/base/text.h"

namespace horalux {

namespace {

std::optional<std::chrono::year_month_day> ParseIsoDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const auto year = ParseDigits(text, 0, 4);
  const auto month = ParseDigits(text, 5, 2);
  const auto day = ParseDigits(text, 8, 2);
  if (!year || !month || !day) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year{*year},
                                         std::chrono::month{static_cast<unsigned>(*month)},
                                         std::chrono::day{static_cast<unsigned>(*day)}};
  if (!date.ok()) return std::nullopt;
  return date;
}

std::optional<std::chrono::seconds> ParseTimeOfDay(std::string_view text) {
  if (text.size() != 8 || text[2] != ':' || text[5] != ':') return std::nullopt;
  const auto hours = ParseDigits(text, 0, 2);
  const auto minutes = ParseDigits(text, 3, 2);
  const auto seconds = ParseDigits(text, 6, 2);
  if (!hours || !minutes || !seconds) return std::nullopt;
  if (*hours > 23 || *minutes > 59 || *seconds > 59) return std::nullopt;
  return std::chrono::hours{*hours} + std::chrono::minutes{*minutes} +
         std::chrono::seconds{*seconds};
}

}  // namespace

void CheckTimeOfDay(std::chrono::seconds time_of_day) {
  if (time_of_day < std::chrono::seconds::zero() || time_of_day >= std::chrono::days{1}) {
    throw Error(ErrorKind::kTypeMismatch,
                "一天中的时间必须在 00:00:00 到 23:59:59 之间，系统时间未更改");
  }
}

void SetLocalDateFromText(Clock& clock, std::string_view date_text) {
  const auto date = ParseIsoDate(date_text);
  if (!date) {
    throw Error(ErrorKind::kTypeMismatch,
                Quoted(date_text) + " 不是 yyyy-mm-dd 形式的有效日期，系统日期未更改");
  }
  clock.SetLocalDate(*date);
}

void SetLocalTimeFromText(Clock& clock, std::string_view time_text) {
  const auto time_of_day = ParseTimeOfDay(time_text);
  if (!time_of_day) {
    throw Error(ErrorKind::kTypeMismatch,
                Quoted(time_text) + " 不是 hh:mm:ss 形式的有效时间，系统时间未更改");
  }
  clock.SetLocalTimeOfDay(*time_of_day);
}

}  // namespace horalux

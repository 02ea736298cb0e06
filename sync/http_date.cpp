#include "sync/http_date.h"

#include <array>

namespace horalux {
namespace {

using namespace std::chrono;

constexpr std::array<std::string_view, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Reads exactly `digits` decimal digits from the front of `text`.
std::optional<int> TakeNumber(std::string_view& text, std::size_t digits) {
  if (text.size() < digits) return std::nullopt;
  int value = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  text.remove_prefix(digits);
  return value;
}

bool Take(std::string_view& text, std::string_view expected) {
  if (!text.starts_with(expected)) return false;
  text.remove_prefix(expected.size());
  return true;
}

template <std::size_t N>
std::optional<unsigned> TakeName(std::string_view& text,
                                 const std::array<std::string_view, N>& names) {
  for (unsigned i = 0; i < N; ++i) {
    if (Take(text, names[i])) return i;
  }
  return std::nullopt;
}

}  // namespace

std::optional<sys_seconds> ParseHttpDate(std::string_view text) {
  const auto weekday_index = TakeName(text, kWeekdays);
  if (!weekday_index || !Take(text, ", ")) return std::nullopt;
  const bool one_digit_day = text.size() > 1 && text[1] == ' ';
  const auto day_number = TakeNumber(text, one_digit_day ? 1 : 2);
  if (!day_number || !Take(text, " ")) return std::nullopt;
  const auto month_index = TakeName(text, kMonths);
  if (!month_index || !Take(text, " ")) return std::nullopt;
  const auto year_number = TakeNumber(text, 4);
  if (!year_number || !Take(text, " ")) return std::nullopt;
  const auto hour = TakeNumber(text, 2);
  if (!hour || !Take(text, ":")) return std::nullopt;
  const auto minute = TakeNumber(text, 2);
  if (!minute || !Take(text, ":")) return std::nullopt;
  const auto second = TakeNumber(text, 2);
  if (!second || text != " GMT") return std::nullopt;

  const year_month_day date{year{*year_number}, month{*month_index + 1},
                            day{static_cast<unsigned>(*day_number)}};
  // A leap second (:60) is read as the last second of its minute.
  if (!date.ok() || *hour > 23 || *minute > 59 || *second > 60) return std::nullopt;
  if (weekday{sys_days{date}}.c_encoding() != *weekday_index) return std::nullopt;
  return sys_days{date} + hours{*hour} + minutes{*minute} + seconds{*second > 59 ? 59 : *second};
}

}  // namespace horalux

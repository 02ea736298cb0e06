// The date-time value: an OLE Automation date, a double counting days from 1899-12-30 whose
// fraction is the time of day. Valid from 0100-01-01 00:00:00 to 9999-12-31 23:59:59.
#pragma once

#include <chrono>

namespace horalux {

class OleDate {
 public:
  // Range-checked: a value whose moment, rounded to the nearest second, lies outside
  // 0100-01-01 00:00:00 .. 9999-12-31 23:59:59 (or a NaN) raises ErrorKind::kOverflow.
  static OleDate FromDays(double days);

  // The civil moment as a date-time value; out of range raises ErrorKind::kOverflow.
  static OleDate FromLocalSeconds(std::chrono::local_seconds moment);

  double days() const noexcept { return days_; }

  // The civil moment, rounded to the nearest second. Before 1899-12-30 the whole part counts
  // days back and the fraction's absolute value is the time of day: -1.25 is 1899-12-29 06:00.
  std::chrono::local_seconds ToLocalSeconds() const noexcept;

  friend bool operator==(OleDate, OleDate) = default;

 private:
  explicit OleDate(double days) noexcept : days_(days) {}
  double days_;
};

}  // namespace horalux

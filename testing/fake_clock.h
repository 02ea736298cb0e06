// An in-memory clock for tests: records every date and time of day it is asked to set, in order,
// and can be told to refuse.
#pragma once

#include <chrono>
#include <optional>
#include <variant>
#include <vector>

#include "runtime/base/error.h"
#include "runtime/clock/clock.h"

namespace horalux::testing {

class FakeClock : public Clock {
 public:
  using Change = std::variant<std::chrono::year_month_day, std::chrono::seconds>;

  void SetLocalDate(std::chrono::year_month_day date) override {
    if (refuse_dates_) throw Error(ErrorKind::kClockRefused, "测试时钟拒绝设置日期");
    changes_.emplace_back(date);
  }
  void SetLocalTimeOfDay(std::chrono::seconds time_of_day) override {
    if (refuse_times_) throw Error(ErrorKind::kClockRefused, "测试时钟拒绝设置时间");
    changes_.emplace_back(time_of_day);
  }

  void RefuseDates() { refuse_dates_ = true; }
  void RefuseTimes() { refuse_times_ = true; }

  // Every change made, in the order made.
  const std::vector<Change>& changes() const { return changes_; }

 private:
  std::vector<Change> changes_;
  bool refuse_dates_ = false;
  bool refuse_times_ = false;
};

}  // namespace horalux::testing

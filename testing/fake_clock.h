// An in-memory clock for tests: records every date, time of day and offset it is asked to set, in
// order, counts the authorizations asked for, and can be told to refuse any of them.
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
  // A move by an offset, kept apart from a time of day of the same type.
  struct Adjustment {
    std::chrono::microseconds offset;
    friend bool operator==(const Adjustment&, const Adjustment&) = default;
  };
  using Change = std::variant<std::chrono::year_month_day, std::chrono::seconds, Adjustment>;

  void Authorize() override {
    ++authorizations_;
    if (refuse_authorization_) throw Error(ErrorKind::kClockRefused, "测试时钟拒绝授权");
  }
  void SetLocalDate(std::chrono::year_month_day date) override {
    if (refuse_dates_) throw Error(ErrorKind::kClockRefused, "测试时钟拒绝设置日期");
    changes_.emplace_back(date);
  }
  void SetLocalTimeOfDay(std::chrono::seconds time_of_day) override {
    if (refuse_times_) throw Error(ErrorKind::kClockRefused, "测试时钟拒绝设置时间");
    changes_.emplace_back(time_of_day);
  }

  void AdjustBy(std::chrono::microseconds offset) override {
    if (refuse_adjustments_) throw Error(ErrorKind::kClockRefused, "测试时钟拒绝调整时间");
    changes_.emplace_back(Adjustment{offset});
  }

  void RefuseAdjustments() { refuse_adjustments_ = true; }
  void RefuseAuthorization() { refuse_authorization_ = true; }
  void RefuseDates() { refuse_dates_ = true; }
  void RefuseTimes() { refuse_times_ = true; }

  // Every change made, in the order made.
  const std::vector<Change>& changes() const { return changes_; }
  int authorizations() const { return authorizations_; }

 private:
  std::vector<Change> changes_;
  int authorizations_ = 0;
  bool refuse_authorization_ = false;
  bool refuse_dates_ = false;
  bool refuse_times_ = false;
  bool refuse_adjustments_ = false;
};

}  // namespace horalux::testing

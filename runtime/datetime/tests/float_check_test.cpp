#include "runtime/datetime/float_check.h"

#include <limits>

#include <gtest/gtest.h>

#include "runtime/base/error.h"

namespace horalux {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMax = std::numeric_limits<double>::max();

TEST(CheckedAdd, AddsFiniteValues) {
  EXPECT_DOUBLE_EQ(CheckedAdd(34644.0, 1.0 / 3.0), 34644.0 + 1.0 / 3.0);
  EXPECT_EQ(CheckedAdd(-1.0, 1.0), 0.0);
  EXPECT_EQ(CheckedAdd(kMax, 0.0), kMax);
}

TEST(CheckedAdd, RefusesResultsThatAreNotFiniteNumbers) {
  const std::pair<double, double> cases[] = {
      {kMax, kMax},   // overflow
      {kInf, -kInf},  // invalid
      {kInf, 1.0},    // an infinity passes through without a flag
      {kNaN, 1.0},    // so does a quiet NaN
      {1.0, kNaN},
  };
  for (const auto& [a, b] : cases) {
    try {
      CheckedAdd(a, b);
      ADD_FAILURE() << a << " + " << b << " was accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), ErrorKind::kFloatingPoint) << a << " + " << b;
    }
  }
}

}  // namespace
}  // namespace horalux

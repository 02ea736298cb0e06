#include "runtime/float_check.h"

#include <array>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <string>

#include "runtime/error.h"

namespace horalux {
namespace {

std::string ShortestText(double value) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

}  // namespace

double CheckedAdd(double a, double b) {
  // volatile keeps the compiler from folding the sum or moving it across the flag test.
  volatile double left = a;
  volatile double right = b;
  std::feclearexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  volatile double sum = left + right;
  const bool raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW) != 0;
  const double result = sum;
  // A quiet NaN or an infinity passes through an addition without raising a flag; it would only
  // turn up later as a nonsense date, so it is refused here as well.
  if (raised || !std::isfinite(result)) {
    throw Error(ErrorKind::kFloatingPoint,
                ShortestText(a) + " 加 " + ShortestText(b) + " 的结果不是有限的数");
  }
  return result;
}

}  // namespace horalux

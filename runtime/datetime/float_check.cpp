#include "runtime/datetime/float_check.h"

#include <cfenv>
#include <cmath>
#include <string>

#include "runtime/base/error.h"
#include "runtime/base/text.h"

namespace horalux {

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
                ShortestDecimal(a) + " 加 " + ShortestDecimal(b) + " 的结果不是有限的数");
  }
  return result;
}

}  // namespace horalux

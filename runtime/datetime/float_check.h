// Arithmetic on date-time values that reports the floating-point exceptions it raises.
#pragma once

namespace horalux {

// a + b; an invalid operation, a division by zero or an overflow raises
// ErrorKind::kFloatingPoint.
double CheckedAdd(double a, double b);

}  // namespace horalux

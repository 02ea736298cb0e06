#include "testing/wine.h"

namespace horalux::testing {

bool RunningUnderWine() { return false; }

}  // namespace horalux::testing

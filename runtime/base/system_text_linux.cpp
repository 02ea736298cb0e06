#include "runtime/base/system_text.h"

namespace horalux {

std::string SystemTextToUtf8(std::string_view text) { return std::string(text); }

}  // namespace horalux

// Stand-in for the runtime's Latin1ToUtf8 until runtime/text.cpp provides it; delete then.
#include "runtime/text.h"

namespace horalux {

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string utf8;
  utf8.reserve(bytes.size() * 2);
  for (const char byte : bytes) {
    const auto code = static_cast<unsigned char>(byte);
    if (code < 0x80) {
      utf8 += static_cast<char>(code);
    } else {
      utf8 += static_cast<char>(0xC0 | (code >> 6));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return utf8;
}

}  // namespace horalux

// Our texts are UTF-8 std::strings; Qt's are QStrings. One conversion for the whole front end.
#pragma once

#include <string_view>

#include <QString>

namespace horalux {

inline QString ToQString(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace horalux

#include "runtime/base/text.h"

#include <array>
#include <charconv>
#include <cstdint>

namespace horalux {
namespace {

// The length in bytes of the well-formed UTF-8 sequence at the front of `text`, or 0 when the
// first byte does not start one (stray continuation bytes, overlong forms, surrogates, values
// past U+10FFFF, truncated sequences).
std::size_t Utf8SequenceLength(std::string_view text) noexcept {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t second_low = 0x80;
  std::uint8_t second_high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) second_low = 0xA0;   // overlong
    if (lead == 0xED) second_high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) second_low = 0x90;   // overlong
    if (lead == 0xF4) second_high = 0x8F;  // past U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  if (byte(1) < second_low || byte(1) > second_high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

// One character: a well-formed sequence, or else a single byte.
std::size_t CharacterLength(std::string_view text) noexcept {
  const std::size_t length = Utf8SequenceLength(text);
  return length == 0 ? 1 : length;
}

}  // namespace

std::string MidChars(std::string_view utf8, std::size_t start, std::size_t length) {
  std::size_t skip = start == 0 ? 0 : start - 1;
  std::size_t begin = 0;
  while (skip > 0 && begin < utf8.size()) {
    begin += CharacterLength(utf8.substr(begin));
    --skip;
  }
  std::size_t end = begin;
  while (length > 0 && end < utf8.size()) {
    end += CharacterLength(utf8.substr(end));
    --length;
  }
  return std::string(utf8.substr(begin, end - begin));
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string utf8;
  utf8.reserve(bytes.size());
  for (const char c : bytes) {
    const auto code = static_cast<std::uint8_t>(c);
    if (code < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (code >> 6));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return utf8;
}

std::string ExcerptForMessage(std::string_view bytes, std::size_t max_chars) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string excerpt;
  std::size_t at = 0;
  for (std::size_t chars = 0; at < bytes.size(); ++chars) {
    if (chars == max_chars) {
      excerpt += "…";
      break;
    }
    const std::size_t length = Utf8SequenceLength(bytes.substr(at));
    const auto lead = static_cast<std::uint8_t>(bytes[at]);
    if (length == 0 || lead < 0x20 || lead == 0x7F) {
      excerpt += "\\x";
      excerpt += kHex[lead >> 4];
      excerpt += kHex[lead & 0xF];
      ++at;
    } else {
      excerpt += bytes.substr(at, length);
      at += length;
    }
  }
  return excerpt;
}

std::string ShortestDecimal(double value) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

}  // namespace horalux

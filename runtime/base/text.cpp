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

namespace {

void AppendHexEscape(std::string& out, std::uint8_t byte) {
  constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

bool IsControl(std::uint8_t byte) { return byte < 0x20 || byte == 0x7F; }

}  // namespace

std::optional<int> ParseDigits(std::string_view text, std::size_t at, std::size_t count) {
  if (at > text.size() || text.size() - at < count) return std::nullopt;
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (!IsAsciiDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

void AppendZeroPadded(std::string& out, unsigned value, std::size_t min_digits) {
  const std::string digits = std::to_string(value);
  if (digits.size() < min_digits) out.append(min_digits - digits.size(), '0');
  out += digits;
}

std::string EscapeControlBytes(std::string_view bytes) {
  std::string shown;
  for (const char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (IsControl(byte)) {
      AppendHexEscape(shown, byte);
    } else {
      shown += c;
    }
  }
  return shown;
}

std::string ExcerptForMessage(std::string_view bytes, std::size_t max_chars) {
  std::string excerpt;
  std::size_t at = 0;
  for (std::size_t chars = 0; at < bytes.size(); ++chars) {
    if (chars == max_chars) {
      excerpt += "…";
      break;
    }
    const std::size_t length = Utf8SequenceLength(bytes.substr(at));
    const auto lead = static_cast<std::uint8_t>(bytes[at]);
    if (length == 0 || IsControl(lead)) {
      AppendHexEscape(excerpt, lead);
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

// Text helpers: characters counted as characters, not bytes; ASCII digits and blanks; bytes made
// fit to quote in a message.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace horalux {

// The characters of a UTF-8 text from a 1-based `start` for at most `length` characters: shorter
// when the text ends first, empty when it ends before `start`. A `start` of 0 counts as 1.
// Bytes that are not valid UTF-8 count as one character each.
std::string MidChars(std::string_view utf8, std::size_t start, std::size_t length);

// Bytes taken as ISO-8859-1 characters, as UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);

// Any bytes made fit to quote in a message: valid UTF-8 stays, control characters and bytes that
// are not UTF-8 become \xNN, and text beyond `max_chars` characters is cut off with "…".
std::string ExcerptForMessage(std::string_view bytes, std::size_t max_chars = 64);

// ASCII only: other scripts' digits and blanks do not count.
constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Exactly `count` ASCII digits at `at` as a number; nothing else counts, not even a sign or a
// blank, so that a text either has the form or is refused.
std::optional<int> ParseDigits(std::string_view text, std::size_t at, std::size_t count);

// `value` in decimal, zero-padded to at least `min_digits` digits.
void AppendZeroPadded(std::string& out, unsigned value, std::size_t min_digits);

// Control characters (a NUL among them) written as \xNN, everything else as it is.
std::string EscapeControlBytes(std::string_view bytes);

// The shortest decimal text that reads back as the same double ("2958466", "-1.25", "nan").
std::string ShortestDecimal(double value);

}  // namespace horalux

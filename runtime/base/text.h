// Text helpers that count characters, not bytes.
#pragma once

#include <cstddef>
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

// The shortest decimal text that reads back as the same double ("2958466", "-1.25", "nan").
std::string ShortestDecimal(double value);

}  // namespace horalux

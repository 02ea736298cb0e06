#include "runtime/base/text.h"

#include <gtest/gtest.h>

namespace horalux {
namespace {

struct MidCase {
  std::string text;
  std::size_t start;
  std::size_t length;
  std::string expected;
};

TEST(MidChars, CountsCharactersNotBytes) {
  const std::vector<MidCase> cases = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", 5, 21, " 06 Nov 1994 08:49:37"},
      {"设置时间成功！", 3, 2, "时间"},
      {"设置时间成功！", 6, 10, "功！"},
      {"a€b😀c", 2, 3, "€b😀"},
      {"abc", 0, 2, "ab"},
      {"abc", 4, 2, ""},
      {"abc", 2, 0, ""},
      {"", 1, 5, ""},
      // A byte that is not UTF-8 is one character of its own.
      {"a\xff\xe4\xb8z", 2, 2, "\xff\xe4"},
      {"\xe4\xb8", 2, 1, "\xb8"},
      {"\xed\xa0\x80!", 4, 1, "!"},  // an encoded surrogate is three characters
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MidChars(c.text, c.start, c.length), c.expected)
        << '"' << c.text << "\" from " << c.start << " for " << c.length;
  }
}

TEST(Latin1ToUtf8, WidensEveryByteAboveAscii) {
  EXPECT_EQ(Latin1ToUtf8("Date"), "Date");
  EXPECT_EQ(Latin1ToUtf8("caf\xe9 \xff\x80"), "café ÿ\xc2\x80");
  EXPECT_EQ(Latin1ToUtf8(std::string("\0a", 2)), std::string("\0a", 2));
}

TEST(ExcerptForMessage, KeepsUtf8AndShowsOtherBytes) {
  EXPECT_EQ(ExcerptForMessage("时间 ok"), "时间 ok");
  EXPECT_EQ(ExcerptForMessage(std::string("a\0\xff\n", 4)), "a\\x00\\xFF\\x0A");
  EXPECT_EQ(ExcerptForMessage("时间时间", 2), "时间…");
}

}  // namespace
}  // namespace horalux

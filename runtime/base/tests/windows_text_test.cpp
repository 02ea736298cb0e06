#include "runtime/base/windows_text.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace horalux {
namespace {

struct CodePageCase {
  UINT code_page;
  std::string bytes;
  std::string utf8;
};

TEST(CodePageToUtf8, ReadsTheCodePagesTheRuntimeWritesIn) {
  const std::vector<CodePageCase> cases = {
      // std::system_error(ERROR_ACCESS_DENIED, "ctx").what() under Chinese Wine: GBK from
      // FormatMessageA, with its line break.
      {936, "ctx: \xb7\xc3\xce\xca\xb1\xbb\xbe\xdc\xbe\xf8\xa1\xa3\r\n", "ctx: 访问被拒绝。"},
      {936, "resource deadlock would occur", "resource deadlock would occur"},
      {1252, "caf\xe9", "café"},
      {CP_UTF8, "时间", "时间"},
      {936, "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CodePageToUtf8(c.bytes, c.code_page), c.utf8) << c.code_page << ": " << c.bytes;
  }
}

struct ReplacingCase {
  std::string utf8;
  std::vector<std::wstring> kept;  // the valid parts, in order, each where it stood
  bool faulty;                     // U+FFFD must stand for what was not UTF-8
};

TEST(Utf8ToWideReplacing, MarksWhatIsNotUtf8AndKeepsTheRest) {
  const std::vector<ReplacingCase> cases = {
      {"设置时间成功！", {L"设置时间成功！"}, false},
      {"a\xff"
       "b",
       {L"a", L"b"},
       true},
      // A GBK text pasted into a UTF-8 message as it was: the message still shows.
      {"无法设置系统时间：\xbe\xdc\xbe\xf8\xb7\xc3\xce\xca。请重试",
       {L"无法设置系统时间：", L"。请重试"},
       true},
      {"\xe4\xb8", {}, true},      // a sequence cut short
      {"\xed\xa0\x80", {}, true},  // an encoded surrogate
      {"", {}, false},
  };
  for (const auto& c : cases) {
    const std::wstring wide = Utf8ToWideReplacing(c.utf8);
    EXPECT_EQ(wide.empty(), c.utf8.empty()) << c.utf8;
    EXPECT_EQ(wide.find(L'\xFFFD') != std::wstring::npos, c.faulty) << c.utf8;
    std::size_t at = 0;
    for (const std::wstring& part : c.kept) {
      at = wide.find(part, at);
      ASSERT_NE(at, std::wstring::npos) << c.utf8;
      at += part.size();
    }
    // The valid text alone comes through as strict conversion gives it.
    if (!c.faulty) {
      EXPECT_EQ(wide, Utf8ToWide(c.utf8).value_or(L"(refused)")) << c.utf8;
    }
  }
}

}  // namespace
}  // namespace horalux

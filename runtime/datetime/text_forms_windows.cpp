#include "runtime/datetime/text_forms.h"

#include <windows.h>

#include <string>

#include "runtime/base/error.h"
#include "runtime/base/text.h"
#include "runtime/base/windows_text.h"
#include "runtime/datetime/picture_forms.h"

namespace horalux {
namespace {

[[noreturn]] void ThrowLocaleError(std::string_view locale_text, DWORD code) {
  throw Error(ErrorKind::kSystem, "无法读取区域设置 " + Quoted(locale_text) +
                                      " 的日期时间格式，请检查控制面板中的“区域”设置（" +
                                      WindowsErrorNote(code) + "）");
}

// One item of the locale's settings; `locale` null means the user's own.
std::string LocaleItem(const wchar_t* locale, LCTYPE item, std::string_view locale_text) {
  const int size = GetLocaleInfoEx(locale, item, nullptr, 0);
  if (size <= 0) ThrowLocaleError(locale_text, GetLastError());
  std::wstring value(static_cast<std::size_t>(size), L'\0');
  // The user may change the setting between the two calls: keep what the second one wrote.
  const int written = GetLocaleInfoEx(locale, item, value.data(), size);
  if (written <= 0) ThrowLocaleError(locale_text, GetLastError());
  value.resize(static_cast<std::size_t>(written) - 1);  // the terminating null
  return WideToUtf8(value);
}

TextForms FormsOf(const wchar_t* locale, std::string_view locale_text) {
  return TextFormsFromPictures(LocaleItem(locale, LOCALE_SSHORTDATE, locale_text),
                               LocaleItem(locale, LOCALE_STIMEFORMAT, locale_text),
                               LocaleItem(locale, LOCALE_S1159, locale_text),
                               LocaleItem(locale, LOCALE_S2359, locale_text));
}

}  // namespace

TextForms UserTextForms() { return FormsOf(LOCALE_NAME_USER_DEFAULT, "用户默认"); }

TextForms TextFormsForLocale(std::string_view locale_name) {
  const std::string shown = ExcerptForMessage(locale_name);
  const std::wstring name = Utf8ToWide(locale_name).value_or(std::wstring());
  if (name.empty() || name.find(L'\0') != std::wstring::npos || !IsValidLocaleName(name.c_str())) {
    throw Error(ErrorKind::kSystem,
                "找不到区域设置 " + Quoted(shown) + "，请使用 zh-CN 这样的区域名称");
  }
  return FormsOf(name.c_str(), shown);
}

}  // namespace horalux

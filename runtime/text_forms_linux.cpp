#include "runtime/text_forms.h"

#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <memory>
#include <string>
#include <type_traits>

#include "runtime/error.h"
#include "runtime/strftime_forms.h"
#include "runtime/text.h"

namespace horalux {
namespace {

struct LocaleDeleter {
  void operator()(locale_t locale) const noexcept { freelocale(locale); }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

// Only LC_TIME is taken from the named locale; the rest of the process's locale is left as it is.
LocaleHandle OpenTimeLocale(const char* name) {
  return LocaleHandle(newlocale(LC_TIME_MASK, name, static_cast<locale_t>(nullptr)));
}

LcTimeFormats ReadFormats(locale_t locale) {
  const auto item = [&](nl_item which) {
    const char* text = nl_langinfo_l(which, locale);
    return std::string(text == nullptr ? "" : text);
  };
  return {item(D_FMT), item(T_FMT), item(T_FMT_AMPM), item(AM_STR), item(PM_STR)};
}

}  // namespace

TextForms UserTextForms() {
  LocaleHandle locale = OpenTimeLocale("");
  // Settings that name a locale this machine does not have: the C library itself would work in
  // the "C" locale then, and so does this program.
  if (!locale) locale = OpenTimeLocale("C");
  if (!locale) throw SystemError(ErrorKind::kSystem, errno, "无法读取区域设置的日期时间格式");
  return TextFormsFromLcTime(ReadFormats(locale.get()));
}

TextForms TextFormsForLocale(std::string_view locale_name) {
  const std::string name(locale_name);
  const std::string what = "找不到区域设置 " + Quoted(ExcerptForMessage(name)) +
                           "，请用 locale -a 查看已安装的区域设置";
  if (name.find('\0') != std::string::npos) throw Error(ErrorKind::kSystem, what);
  LocaleHandle locale = OpenTimeLocale(name.c_str());
  if (!locale) throw SystemError(ErrorKind::kSystem, errno, what);
  return TextFormsFromLcTime(ReadFormats(locale.get()));
}

}  // namespace horalux

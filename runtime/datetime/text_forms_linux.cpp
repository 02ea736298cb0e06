#include "runtime/datetime/text_forms.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "runtime/base/error.h"
#include "runtime/base/text.h"
#include "runtime/datetime/strftime_forms.h"

namespace horalux {
namespace {

struct LocaleDeleter {
  void operator()(locale_t locale) const noexcept { freelocale(locale); }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

// LC_TIME for the forms, and LC_CTYPE of the same name for the character set they are written
// in. The process's own locale is neither read nor changed.
LocaleHandle OpenTimeLocale(const char* name) {
  return LocaleHandle(
      newlocale(LC_TIME_MASK | LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr)));
}

// The locale the C library would take LC_TIME from.
std::string UserTimeLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

class Converter {
 public:
  explicit Converter(const char* codeset) : handle_(iconv_open("UTF-8", codeset)) {}
  ~Converter() {
    if (valid()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  std::optional<std::string> ToUtf8(const std::string& text) {
    std::string input = text;
    std::string output(text.size() * 4 + 16, '\0');
    char* in = input.data();
    std::size_t in_left = input.size();
    char* out = output.data();
    std::size_t out_left = output.size();
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(handle_, &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1) ||
        iconv(handle_, nullptr, nullptr, &out, &out_left) == static_cast<std::size_t>(-1)) {
      return std::nullopt;
    }
    output.resize(output.size() - out_left);
    return output;
  }

 private:
  iconv_t handle_;
};

bool IsAscii(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The locale's formats in UTF-8, or nothing when its character set cannot be converted.
std::optional<LcTimeFormats> ReadFormats(locale_t locale) {
  const auto item = [&](nl_item which) {
    const char* text = nl_langinfo_l(which, locale);
    return std::string(text == nullptr ? "" : text);
  };
  LcTimeFormats formats{item(D_FMT), item(T_FMT), item(T_FMT_AMPM), item(AM_STR), item(PM_STR)};
  const std::string codeset = item(CODESET);
  if (codeset == "UTF-8") return formats;
  Converter converter(codeset.c_str());
  for (std::string* text : {&formats.date_format, &formats.time_format, &formats.time_format_ampm,
                            &formats.am, &formats.pm}) {
    if (IsAscii(*text)) continue;
    if (!converter.valid()) return std::nullopt;
    std::optional<std::string> utf8 = converter.ToUtf8(*text);
    if (!utf8) return std::nullopt;
    *text = std::move(*utf8);
  }
  return formats;
}

TextForms PlainCForms() {
  const LocaleHandle locale = OpenTimeLocale("C");
  if (!locale) throw SystemError(ErrorKind::kSystem, errno, "无法读取区域设置的日期时间格式");
  return TextFormsFromLcTime(*ReadFormats(locale.get()));
}

}  // namespace

TextForms UserTextForms() {
  // Settings that name a locale this machine does not have, or one whose character set cannot be
  // converted: the C library itself would work in the "C" locale then, and so does this program.
  const LocaleHandle locale = OpenTimeLocale(UserTimeLocaleName().c_str());
  if (!locale) return PlainCForms();
  const std::optional<LcTimeFormats> formats = ReadFormats(locale.get());
  return formats ? TextFormsFromLcTime(*formats) : PlainCForms();
}

TextForms TextFormsForLocale(std::string_view locale_name) {
  const std::string name(locale_name);
  const std::string what =
      "找不到区域设置 " + Quoted(ExcerptForMessage(name)) + "，请用 locale -a 查看已安装的区域设置";
  if (name.find('\0') != std::string::npos) throw Error(ErrorKind::kSystem, what);
  const LocaleHandle locale = OpenTimeLocale(name.c_str());
  if (!locale) throw SystemError(ErrorKind::kSystem, errno, what);
  const std::optional<LcTimeFormats> formats = ReadFormats(locale.get());
  if (!formats) {
    throw Error(ErrorKind::kSystem,
                "区域设置 " + Quoted(ExcerptForMessage(name)) + " 的日期时间格式无法转换为 UTF-8");
  }
  return TextFormsFromLcTime(*formats);
}

}  // namespace horalux

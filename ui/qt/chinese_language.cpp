#include "ui/qt/chinese_language.h"

#include <clocale>

#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace horalux {

void UseSimplifiedChinese(QApplication& application) {
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

  // The text shaper takes the language of LC_CTYPE to choose among a font's regional forms: under
  // a Japanese LC_CTYPE even the Simplified Chinese face draws "：" and some Han characters the
  // Japanese way. It reads LC_CTYPE once, at the first text laid out, which is after this.
  // Nothing else in the program depends on the process's LC_CTYPE.
  if (std::setlocale(LC_CTYPE, "zh_CN.UTF-8") == nullptr) std::setlocale(LC_CTYPE, "C.UTF-8");

  // The same code points have Japanese, Korean and Traditional glyph forms too; left to the
  // font fallback, a Japanese locale would draw the window in Japanese forms. Naming the
  // Simplified Chinese face first settles it; the usual face stays as the fallback.
  QFont font = QApplication::font();
  QStringList families = {"Noto Sans CJK SC", "Source Han Sans SC", "Microsoft YaHei",
                          "WenQuanYi Micro Hei"};
  families.append(font.families());
  font.setFamilies(families);
  QApplication::setFont(font);

  // Missing translations leave Qt's texts in English; that is no reason to stop the program.
  auto* translator = new QTranslator(&application);
  if (translator->load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(translator);
  } else {
    delete translator;
  }
}

}  // namespace horalux

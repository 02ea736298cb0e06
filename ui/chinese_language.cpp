#include "ui/chinese_language.h"

#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace horalux {

void UseSimplifiedChinese(QApplication& application) {
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

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

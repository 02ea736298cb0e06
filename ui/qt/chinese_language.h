// Makes the program speak Simplified Chinese whatever the user's locale: Simplified glyph forms
// for the Han characters, and Qt's own texts (context menus, standard buttons) in Chinese.
#pragma once

#include <QApplication>

namespace horalux {

// Call once, after the application is created and before any window is.
void UseSimplifiedChinese(QApplication& application);

}  // namespace horalux

#pragma once

#include <QString>
#include <QStringList>

class QApplication;

namespace fd::ui {

// The look of the program on every machine, whatever its locale: Qt's own Chinese texts for the
// standard buttons and dialogs (确定, 取消, the file and print dialogs), Chinese number and date
// forms, and a CJK font as the program's font, in which an 11-digit phone number fits the grid's
// 80-pixel columns. Call once, after the QApplication exists and before any window.
void applyProgramLook(QApplication& app);

// Installs Qt's zh_CN translations (qtbase_zh_CN) into the application; false when they cannot be
// found. A second call does nothing more.
bool loadQtChinese();

// The program's font family among the installed ones: SimSun on Windows; elsewhere the first
// installed of WenQuanYi Micro Hei and Noto Sans CJK SC; empty when none is (Qt's choice stays).
QString programFontFamily(const QStringList& installedFamilies);

// The program's font size: 9 points at 96 dots per inch, given in pixels because the windows'
// geometry is given in pixels (80-pixel columns); at 100 or 120 dpi a 9-point text would no longer
// fit the boxes designed for it.
inline constexpr int kProgramFontPixels = 12;

} // namespace fd::ui

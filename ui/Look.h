#pragma once

#include <QString>
#include <QStringList>

class QApplication;

namespace fd {

// The look of the program on every machine, whatever its locale: Qt's own Chinese texts for the
// standard buttons and dialogs (确定, 取消, the file and print dialogs), Chinese number and date
// forms, and a CJK font as the program's font, in which an 11-digit phone number fits the grid's
// 80-pixel columns. Call once, after the QApplication exists and before any window.
void applyProgramLook(QApplication& app);

// Installs Qt's zh_CN translations (qtbase_zh_CN) into the application; false when they cannot be
// found. A second call does nothing more.
bool loadQtChinese();

// The program's font family among the installed ones: SimSun on Windows; elsewhere the first
// installed of Noto Sans CJK SC and WenQuanYi Micro Hei; empty when none is (Qt's choice stays).
QString programFontFamily(const QStringList& installedFamilies);

// The program's font size in points.
inline constexpr int kProgramFontPoints = 9;

} // namespace fd

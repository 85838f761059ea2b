// The program's look on any machine: Qt's standard buttons and dialogs in Chinese, and a CJK font
// chosen from the installed ones.
#include "ui/Dialogs.h"
#include "ui/Look.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFont>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

bool hasChinese(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}

TEST(ProgramLook, StandardButtonsAndDialogsSpeakChineseWhateverTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    fd::ui::applyProgramLook(*qApp);
    EXPECT_EQ(QLocale().language(), QLocale::Chinese);

    const auto okCancel = fd::ui::QtDialogs::messageBox(QStringLiteral("保存成功！"), fd::ui::Dialogs::OkCancel, fd::ui::Dialogs::kCaption);
    EXPECT_EQ(okCancel->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(okCancel->button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    EXPECT_EQ(okCancel->windowTitle(), QStringLiteral("信息："));
    EXPECT_EQ(okCancel->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(okCancel->icon(), QMessageBox::NoIcon);
    const auto yesNo = fd::ui::QtDialogs::messageBox(QStringLiteral("删除？"), fd::ui::Dialogs::YesNo, fd::ui::Dialogs::kCaption);
    EXPECT_TRUE(hasChinese(yesNo->button(QMessageBox::Yes)->text())) << yesNo->button(QMessageBox::Yes)->text().toStdString();
    EXPECT_TRUE(hasChinese(yesNo->button(QMessageBox::No)->text()));

    // Qt's own file dialog, as on a machine without a native one; and the print dialog's texts.
    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    const auto* lookIn = files.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    ASSERT_NE(lookIn, nullptr);
    EXPECT_TRUE(hasChinese(lookIn->text())) << lookIn->text().toStdString();
    EXPECT_TRUE(hasChinese(QCoreApplication::translate("QPrintDialog", "Print")));

    // Loading again installs nothing more.
    EXPECT_TRUE(fd::ui::loadQtChinese());
    EXPECT_EQ(fd::ui::QtDialogs::messageBox(QString(), fd::ui::Dialogs::OkOnly, QString())->button(QMessageBox::Ok)->text(),
        QStringLiteral("确定"));
}

TEST(ProgramLook, FontIsTheFirstInstalledCjkFont)
{
    struct Case {
        QStringList installed;
        QString expected;
    };
#ifdef Q_OS_WIN
    const Case cases[] = {{{"Arial", "SimSun", "Microsoft YaHei"}, "SimSun"}, {{"Arial"}, QString()}};
#else
    const Case cases[] = {
        {{"DejaVu Sans", "Noto Sans CJK SC", "WenQuanYi Micro Hei"}, "WenQuanYi Micro Hei"},
        {{"DejaVu Sans", "Noto Sans CJK SC"}, "Noto Sans CJK SC"},
        {{"DejaVu Sans", "Noto Sans CJK JP"}, QString()},
    };
#endif
    for (const Case& c : cases)
        EXPECT_EQ(fd::ui::programFontFamily(c.installed), c.expected) << c.installed.join(u',').toStdString();

    fd::ui::applyProgramLook(*qApp);
    const QFont font = QApplication::font();
    EXPECT_FALSE(fd::ui::programFontFamily({font.family()}).isEmpty()) << font.family().toStdString();
    EXPECT_EQ(font.pixelSize(), fd::ui::kProgramFontPixels);
}

} // namespace

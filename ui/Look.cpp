#include "ui/Look.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace fd::ui {
namespace {

const QString kTranslatorName = QStringLiteral("fleetdesk-qtbase-zh_CN");

} // namespace

bool loadQtChinese()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    if (app->findChild<QTranslator*>(kTranslatorName))
        return true;
    auto* translator = new QTranslator(app);
    translator->setObjectName(kTranslatorName);
    // Qt's own folder, else a "translations" folder beside the program (a Windows deployment).
    const QStringList folders = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
    for (const QString& folder : folders) {
        if (translator->load(QStringLiteral("qtbase_zh_CN"), folder) && QCoreApplication::installTranslator(translator))
            return true;
    }
    delete translator;
    return false;
}

QString programFontFamily(const QStringList& installedFamilies)
{
#ifdef Q_OS_WIN
    const QStringList preferred = {QStringLiteral("SimSun")};
#else
    // WenQuanYi first: at 12 pixels "13900000001" is 72.7 pixels wide in it and 73.2 in Noto Sans
    // CJK SC, and an 80-pixel grid column leaves 73 for its text.
    const QStringList preferred = {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")};
#endif
    for (const QString& family : preferred) {
        if (installedFamilies.contains(family, Qt::CaseInsensitive))
            return family;
    }
    return QString();
}

void applyProgramLook(QApplication& app)
{
    Q_UNUSED(app);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    loadQtChinese();
    const QString family = programFontFamily(QFontDatabase::families());
    if (!family.isEmpty()) {
        QFont font(family);
        font.setPixelSize(kProgramFontPixels);
        // Unhinted, as designed: a desktop's full hinting rounds each digit up to 7 pixels.
        font.setHintingPreference(QFont::PreferNoHinting);
        QApplication::setFont(font);
    }
}

} // namespace fd::ui

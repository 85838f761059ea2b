#include "pictures/PictureFiles.h"

#include "common/ProgramFolder.h"
#include "common/Text.h"
#include "net/Endpoints.h"
#include "vehicles/VehicleColumns.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace fd::pictures {

const QStringList& thumbnailFetchOrder()
{
    static const QStringList order = {QStringLiteral("行车证1"), QStringLiteral("行车证2"), QStringLiteral("营运证"),
        QStringLiteral("驾驶员身份证"), QStringLiteral("资格证"), QStringLiteral("竣工合格证"), QStringLiteral("主车商险"),
        QStringLiteral("主车强险"), QStringLiteral("挂车保险"), QStringLiteral("车主身份证")};
    return order;
}

const vehicles::VehicleColumn* pictureColumnOf(const QString& docKind)
{
    for (const vehicles::VehicleColumn& c : vehicles::vehicleColumns())
        if (c.form == vehicles::ColumnForm::Picture && c.docKind == docKind)
            return &c;
    return nullptr;
}

QString pictureFileName(const QString& plate, const QString& docKind)
{
    return plate + docKind + QStringLiteral(".jpg");
}

QString pictureNameProblem(const QString& plate)
{
    if (plate.isEmpty())
        return QStringLiteral("车牌号是空的");
    if (plate == QLatin1String(".") || plate == QLatin1String(".."))
        return QStringLiteral("车牌号不能是“%1”").arg(plate);
    static const QString refused = QStringLiteral("/\\<>:\"|?*");
    for (const QChar c : plate) {
        if (refused.contains(c))
            return QStringLiteral("车牌号中有不能用在文件名中的字符“%1”").arg(c);
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control
            || c.category() == QChar::Other_Format || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph)
            return QStringLiteral("车牌号中有控制字符（U+%1）").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    // 255 bytes is the usual limit of one name; the longest document kind and ".jpg" take 19 of them.
    if (pictureFileName(plate, QStringLiteral("驾驶员身份证")).toUtf8().size() > 255)
        return QStringLiteral("车牌号太长");
    return QString();
}

QByteArray serverNameBytes(const QString& name, bool gbk)
{
    if (!gbk)
        return name.toUtf8();
    const text::GbkResult r = text::toGbk(name);
    return r.ok() ? r.bytes : QByteArray();
}

QStringList thumbnailUrls(const QStringList& webBases, const QString& name, bool gbk)
{
    // Every byte outside the unreserved set is escaped: a space, "#" or "?" in a stored name
    // would otherwise make a malformed or cut address.
    return net::webUrls(webBases, serverNameBytes(name, gbk));
}

namespace {

bool writableFolder(const QString& path)
{
    if (!QDir().mkpath(path))
        return false;
    QTemporaryFile probe(QDir(path).filePath(QStringLiteral("probe-XXXXXX")));
    return probe.open();
}

} // namespace

QString pictureFolder()
{
    // Beside a program run from its own folder; an installed one writes only into the user's folders.
    if (!runsFromSystemFolder()) {
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("pic"));
        if (writableFolder(beside))
            return beside;
    }
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!data.isEmpty()) {
        const QString fallback = QDir(data).filePath(QStringLiteral("pic"));
        if (writableFolder(fallback))
            return fallback;
    }
    return QString();
}

} // namespace fd::pictures

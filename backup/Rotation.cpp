#include "backup/Rotation.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace fd::backup {

QString archiveName(const QDateTime& when)
{
    return QStringLiteral("fleetdesk-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".tar.zst");
}

QDateTime archiveTime(const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^fleetdesk-(\\d{8}-\\d{6})\\.tar\\.zst$"));
    const QRegularExpressionMatch m = pattern.match(fileName);
    if (!m.hasMatch())
        return {};
    return QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
}

QStringList archivesToDelete(const QStringList& fileNames, const Keep& keep, const QString& justMade)
{
    struct Archive {
        QString name;
        QDateTime time;
    };
    std::vector<Archive> archives;
    for (const QString& name : fileNames) {
        const QDateTime time = archiveTime(name);
        if (time.isValid())
            archives.push_back({ name, time });
    }
    // Newest first; the name breaks ties so that the answer does not depend on the listing's order.
    std::sort(archives.begin(), archives.end(), [](const Archive& a, const Archive& b) {
        return a.time != b.time ? a.time > b.time : a.name > b.name;
    });

    QSet<QString> kept { justMade };
    // The newest archive of each period, for the first `count` periods met going back in time.
    auto keepNewestPer = [&](int count, auto periodOf) {
        QSet<qint64> seen;
        for (const Archive& a : archives) {
            if (seen.size() >= count)
                break;
            const qint64 period = periodOf(a.time.date());
            if (!seen.contains(period)) {
                seen.insert(period);
                kept.insert(a.name);
            }
        }
    };
    keepNewestPer(keep.daily, [](const QDate& d) { return d.toJulianDay(); });
    keepNewestPer(keep.weekly, [](const QDate& d) {
        int year = 0;
        const int week = d.weekNumber(&year);
        return qint64(year) * 100 + week;
    });
    keepNewestPer(keep.monthly, [](const QDate& d) { return qint64(d.year()) * 100 + d.month(); });

    QStringList doomed;
    for (const Archive& a : archives)
        if (!kept.contains(a.name))
            doomed.append(a.name);
    return doomed;
}

} // namespace fd::backup

#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Which backup archives to keep: the newest archive of each of the last keepDaily days that have
// one, of each of the last keepWeekly weeks (ISO weeks, Monday first) and of each of the last
// keepMonthly months. Pure: works on the names alone.
namespace fd::backup {

struct Keep {
    int daily = 7;
    int weekly = 4;
    int monthly = 12;
};

// "fleetdesk-YYYYMMDD-HHMMSS.tar.zst" for the given local time.
QString archiveName(const QDateTime& when);
// The time in an archive's name; invalid for any other name (a file that is not a backup archive).
QDateTime archiveTime(const QString& fileName);
// The names among fileNames to delete. Names that are not archives' are never among them, nor is
// justMade (the archive of this run), whatever the counts say.
QStringList archivesToDelete(const QStringList& fileNames, const Keep& keep, const QString& justMade);

} // namespace fd::backup

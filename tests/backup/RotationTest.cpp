// Which archives a backup run keeps: 7 days, 4 weeks, 12 months by default.
#include "backup/Rotation.h"

#include <gtest/gtest.h>

using namespace fd::backup;

namespace {

QStringList names(std::initializer_list<const char*> stamps)
{
    QStringList list;
    for (const char* s : stamps)
        list.append(QStringLiteral("fleetdesk-%1.tar.zst").arg(QLatin1String(s)));
    return list;
}

} // namespace

TEST(Rotation, KeepsTheNewestOfEachDayWeekAndMonth)
{
    struct Case {
        const char* what;
        QStringList present;
        Keep keep;
        QString justMade;
        QStringList deleted;
    };
    const QString latest = QStringLiteral("fleetdesk-20240315-020000.tar.zst");
    // 2024-03-15 is a Friday; 03-11 the Monday of its week.
    const QStringList twoADay = names({ "20240315-020000", "20240315-010000", "20240314-020000", "20240314-010000" });
    const QStringList tenDays = names({ "20240315-020000", "20240314-020000", "20240313-020000", "20240312-020000",
        "20240311-020000", "20240310-020000", "20240309-020000", "20240308-020000", "20240307-020000", "20240306-020000" });
    const QStringList months = names({ "20240315-020000", "20240215-020000", "20240115-020000", "20231215-020000" });
    const Case cases[] = {
        { "the older archive of a day goes", twoADay, Keep {}, latest,
            names({ "20240315-010000", "20240314-010000" }) },
        { "each of the last 7 days with an archive stays, the days before go", tenDays, Keep { 7, 0, 0 },
            latest, names({ "20240308-020000", "20240307-020000", "20240306-020000" }) },
        { "a week's newest stays beyond the days: Sunday 03-10 ends last week", tenDays, Keep { 2, 2, 0 }, latest,
            names({ "20240313-020000", "20240312-020000", "20240311-020000", "20240309-020000", "20240308-020000",
                "20240307-020000", "20240306-020000" }) },
        { "months", months, Keep { 1, 1, 3 }, latest, names({ "20231215-020000" }) },
        { "nothing kept by the counts: the archive just made still stays", months, Keep { 0, 0, 0 }, latest,
            names({ "20240215-020000", "20240115-020000", "20231215-020000" }) },
        { "files that are not archives are never touched",
            names({ "20240315-020000" }) + QStringList { QStringLiteral("notes.txt"),
                QStringLiteral("fleetdesk-20240101-000000.tar.zst.part"), QStringLiteral("fleetdesk-2024-01-01.tar.zst") },
            Keep { 0, 0, 0 }, latest, {} },
    };
    for (const Case& c : cases) {
        QStringList got = archivesToDelete(c.present, c.keep, c.justMade);
        QStringList want = c.deleted;
        got.sort();
        want.sort();
        EXPECT_EQ(got, want) << c.what;
    }
}

TEST(Rotation, NamesCarryTheTime)
{
    const QDateTime t(QDate(2024, 3, 15), QTime(2, 5, 9));
    EXPECT_EQ(archiveName(t), QStringLiteral("fleetdesk-20240315-020509.tar.zst"));
    EXPECT_EQ(archiveTime(archiveName(t)), t);
}

// The vehicle columns table against the real table, and the statements built from it.
#include "db/Database.h"
#include "support/TestSupport.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleStatements.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace fd;
using namespace fd::vehicles;

namespace {

QSet<QString> namesOf(ColumnForm form)
{
    QSet<QString> names;
    for (const VehicleColumn& c : vehicleColumns())
        if (c.form == form)
            names.insert(c.name);
    return names;
}

QSet<QString> dataColumns()
{
    return namesOf(ColumnForm::Text) | namesOf(ColumnForm::Date) | namesOf(ColumnForm::Status);
}

QSet<QString> toSet(const QStringList& list) { return QSet<QString>(list.cbegin(), list.cend()); }

} // namespace

TEST(VehicleColumns, MatchTheTableOfTheDatabase)
{
    auto conn = test::freshDatabase(QStringLiteral("t_vehicle_cols"));
    ASSERT_TRUE(conn);
    const db::Reply columns = conn->run(db::Statement("show columns from celiangzongbiao"));
    ASSERT_TRUE(columns.ok && columns.rows) << columns.error.toStdString();
    QSet<QString> tableColumns, tableDates;
    while (columns.rows->next()) {
        const QString name = columns.rows->text("Field"), type = columns.rows->text("Type");
        tableColumns.insert(name);
        if (type.startsWith(QLatin1String("date")))
            tableDates.insert(name);
    }

    QSet<QString> ours;
    for (const VehicleColumn& c : vehicleColumns())
        ours.insert(c.name);
    EXPECT_EQ(vehicleColumns().size(), 80u);
    EXPECT_EQ(ours, tableColumns);
    EXPECT_EQ(namesOf(ColumnForm::Date), tableDates);
}

TEST(VehicleColumns, FormsAndControlsOfTheWindow)
{
    EXPECT_EQ(namesOf(ColumnForm::Key), QSet<QString>{QStringLiteral("ID")});
    EXPECT_EQ(namesOf(ColumnForm::Text).size(), 54);
    EXPECT_EQ(namesOf(ColumnForm::Date).size(), 14);
    EXPECT_EQ(namesOf(ColumnForm::Status), QSet<QString>{QStringLiteral("celiangzuangtai")});
    EXPECT_EQ(namesOf(ColumnForm::Picture).size(), 10);

    QSet<QString> multiLine, today, untrimmed, controls;
    for (const VehicleColumn& c : vehicleColumns()) {
        if (c.multiLine)
            multiLine.insert(c.control);
        if (c.startsToday)
            today.insert(c.control);
        if (c.keepSpaces)
            untrimmed.insert(c.name);
        if (c.form != ColumnForm::Key) {
            EXPECT_FALSE(controls.contains(c.control)) << c.control.toStdString();
            controls.insert(c.control);
            const char* prefix = c.form == ColumnForm::Text ? "编辑框_"
                : c.form == ColumnForm::Date                ? "日期框_"
                : c.form == ColumnForm::Status              ? "组合框_"
                                                            : "图片框_";
            EXPECT_TRUE(c.control.startsWith(QString::fromUtf8(prefix))) << c.control.toStdString();
        }
    }
    EXPECT_EQ(multiLine,
        (QSet<QString>{QStringLiteral("编辑框_车主地址"), QStringLiteral("编辑框_车辆信息备注"), QStringLiteral("编辑框_审车备注"),
            QStringLiteral("编辑框_保险备注"), QStringLiteral("编辑框_营运备注"), QStringLiteral("编辑框_管理备注")}));
    EXPECT_EQ(today,
        (QSet<QString>{QStringLiteral("日期框_审车缴费时间"), QStringLiteral("日期框_保险缴费时间"),
            QStringLiteral("日期框_营运缴费时间"), QStringLiteral("日期框_管理缴费时间")}));
    EXPECT_EQ(untrimmed, QSet<QString>{QStringLiteral("baoxianyingjiaofei")});

    const VehicleColumn* kind = findColumn(QStringLiteral("zigezengtupian"));
    ASSERT_TRUE(kind);
    EXPECT_EQ(kind->docKind, QStringLiteral("资格证"));
    EXPECT_EQ(kind->label, QStringLiteral("驾驶员资格证"));
    EXPECT_EQ(kind->control, QStringLiteral("图片框_资格证图片"));
    EXPECT_EQ(findColumn(QStringLiteral("guacebaoxiantupina"))->docKind, QStringLiteral("挂车保险"));
    EXPECT_EQ(findColumn(QStringLiteral("nosuchcolumn")), nullptr);
}

TEST(VehicleColumns, OrdersCoverTheirColumnsOnce)
{
    for (const QStringList* order : {&loadOrder(), &saveOrder()}) {
        EXPECT_EQ(order->size(), 69);
        EXPECT_EQ(toSet(*order), dataColumns());
    }
    EXPECT_EQ(pictureLoadOrder().size(), 10);
    EXPECT_EQ(toSet(pictureLoadOrder()), namesOf(ColumnForm::Picture));
    EXPECT_EQ(watchedDates().size(), 7);
    EXPECT_TRUE(toSet(watchedDates()).subtract(namesOf(ColumnForm::Date)).isEmpty());
    // The insert names the file number and the plate first; the update leaves exactly those two out.
    EXPECT_EQ(saveOrder().mid(0, 2), (QStringList{QStringLiteral("danganbianhao"), QStringLiteral("cepaihao")}));
    EXPECT_EQ(saveOrder().last(), QStringLiteral("jibenjingbanren"));
}

TEST(VehicleColumns, FieldNamesForMessages)
{
    EXPECT_EQ(fieldName(*findColumn(QStringLiteral("cezuxingming"))), QStringLiteral("车主姓名"));
    EXPECT_EQ(fieldName(*findColumn(QStringLiteral("ruhusijian"))), QStringLiteral("入户时间"));
    // Labels several fields share are told apart by their group.
    EXPECT_EQ(fieldName(*findColumn(QStringLiteral("baoxianbeizu"))), QStringLiteral("保险信息的备注"));
    EXPECT_EQ(fieldName(*findColumn(QStringLiteral("guanlijingbanren"))), QStringLiteral("管理费信息的经办人"));
    EXPECT_EQ(fieldName(*findColumn(QStringLiteral("senceyingjiaofei"))), QStringLiteral("审车信息的应缴费用"));
}

TEST(VehicleStatements, UpdateLeavesOutPlateAndFileNumberAndEndsWithTheKey)
{
    VehicleValues values;
    for (const QString& c : saveOrder())
        values.insert(c, c.toUpper());
    const QString sql = updateVehicleStatement(values, QStringLiteral("17")).renderOffline();
    EXPECT_TRUE(sql.startsWith(QStringLiteral("update celiangzongbiao set cezuxingming='CEZUXINGMING',cezudianhua=")));
    EXPECT_TRUE(sql.endsWith(QStringLiteral(",guanlibeizu='GUANLIBEIZU',jibenjingbanren='JIBENJINGBANREN'where ID='17'")))
        << sql.right(120).toStdString();
    EXPECT_FALSE(sql.contains(QStringLiteral("danganbianhao")));
    EXPECT_FALSE(sql.contains(QStringLiteral(",cepaihao=")) || sql.contains(QStringLiteral(" cepaihao=")));
    EXPECT_TRUE(sql.contains(QStringLiteral(",guacepaihao='GUACEPAIHAO',")));
    EXPECT_EQ(sql.count(QStringLiteral("='")), 68); // 67 assignments and the key

    const QString list = insertAssignments(values).renderOffline();
    EXPECT_TRUE(list.startsWith(QStringLiteral("danganbianhao='DANGANBIANHAO',cepaihao='CEPAIHAO',cezuxingming=")));
    EXPECT_TRUE(list.endsWith(QStringLiteral(
        "guanlijingbanren='GUANLIJINGBANREN',guanlijiaofeiriqi='GUANLIJIAOFEIRIQI',guanlibeizu='GUANLIBEIZU',"
        "jibenjingbanren='JIBENJINGBANREN'")));
    EXPECT_EQ(list.count(QLatin1Char(',')), 68);
}

// Every value is bound, none pasted into the text: each is escaped by the session that sends it.
TEST(VehicleStatements, EveryValueIsBound)
{
    VehicleValues values;
    for (const QString& c : saveOrder())
        values.insert(c, QStringLiteral("v'?"));
    const QString escaped = QStringLiteral("'v''?'");
    const db::Statement insert = insertVehicleStatement(values);
    EXPECT_EQ(insert.valueCount(), 69);
    EXPECT_EQ(insert.placeholderCount(), 69);
    EXPECT_EQ(insert.renderOffline().count(escaped), 69);
    EXPECT_TRUE(insert.renderOffline().startsWith(QStringLiteral("insert into celiangzongbiao set danganbianhao=") + escaped + ','));
    const QString update = updateVehicleStatement(values, QStringLiteral("9'")).renderOffline();
    EXPECT_EQ(update.count(escaped), 67);
    EXPECT_TRUE(update.endsWith(QStringLiteral("where ID='9'''")));
    EXPECT_EQ(selectVehicleStatement(QStringLiteral("9")).renderOffline(), QStringLiteral("select * from celiangzongbiao where ID='9'"));
    EXPECT_EQ(countVehiclesStatement(QStringLiteral("cepaihao"), QStringLiteral("豫H'1")).renderOffline(),
        QStringLiteral("select count(*) as suliang from celiangzongbiao where cepaihao='豫H''1'"));
}

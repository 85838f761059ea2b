// Two offices edit one vehicle at once, each with its own window and connection: changes to
// different fields both reach the row; changes to the same field ask the conflict window before
// anything is written, and each of its answers does what it says. The history window lists what
// was done, newest first.
#include "app/HistoryModel.h"
#include "app/HistoryWindow.h"
#include "app/VehicleWindow.h"
#include "common/AppState.h"
#include "db/Database.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleHistory.h"

#include <QDateEdit>
#include <QSysInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <functional>
#include <set>
#include <tuple>

using namespace fd;
using namespace fd::vehicles;

namespace {

const QString kDatabase = QStringLiteral("t_concurrent");
const QString kSaved = QStringLiteral("保存车辆信息成功！");

// One office: its login, connection, dialogs and vehicle window.
struct Office {
    explicit Office(const QString& user)
    {
        state.settings = test::stackSettings();
        state.dbConnection = test::connectStack(kDatabase);
        state.loginUser = user;
        state.appTitle = QStringLiteral("车辆管理");
    }

    VehicleWindow& open(const QString& id)
    {
        state.newFlag = 0;
        state.modifyFlag = 1;
        state.editVehicleId = id;
        form = std::make_unique<VehicleWindow>(state, dialogs, [this] { ++saved; });
        form->show();
        return *form;
    }

    QWidget* control(const QString& column) const { return form->findChild<QWidget*>(findColumn(column)->control); }

    void type(const QString& column, const QString& text)
    {
        if (auto* line = qobject_cast<QLineEdit*>(control(column)))
            line->setText(text);
        else if (auto* multi = qobject_cast<QPlainTextEdit*>(control(column)))
            multi->setPlainText(text);
        else
            ADD_FAILURE() << column.toStdString() << " is no edit box";
    }

    QString shown(const QString& column) const
    {
        if (auto* line = qobject_cast<QLineEdit*>(control(column)))
            return line->text();
        if (auto* multi = qobject_cast<QPlainTextEdit*>(control(column)))
            return multi->toPlainText();
        if (auto* date = qobject_cast<QDateEdit*>(control(column)))
            return date->date().toString(Qt::ISODate);
        return {};
    }

    void save() { QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("按钮_保存")), Qt::LeftButton); }

    AppState state;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<VehicleWindow> form;
    int saved = 0;
};

class ConcurrentEditTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_conn = test::freshDatabase(kDatabase);
        ASSERT_TRUE(s_conn);
        ASSERT_TRUE(ensureHistoryTable(s_conn));
    }
    static void TearDownTestSuite() { s_conn.reset(); }

    void SetUp() override
    {
        conn = s_conn;
        test::mustExecute(conn, QStringLiteral("delete from celiangzongbiao"));
        test::mustExecute(conn, QStringLiteral("delete from ") + kHistoryTable);
        test::mustExecute(conn,
            QStringLiteral("insert into celiangzongbiao set cepaihao='豫H10001', danganbianhao='F1', cezuxingming='原车主', "
                           "cezudianhua='13900000000', jiasiyuanxingming='原司机', jibenbeizu='原备注', "
                           "zucebaoxianyouxiaoqi='2020-01-01'"));
        id = test::queryValue(conn, QStringLiteral("select last_insert_id()"));
    }

    void TearDown() override
    {
        a.form.reset();
        b.form.reset();
        EXPECT_TRUE(waitForAllJobs(20000));
        QCoreApplication::processEvents();
    }

    QString stored(const QString& column)
    {
        return test::queryValue(conn, QStringLiteral("select `%1` from celiangzongbiao where ID=%2").arg(column, id));
    }
    QString wholeRow()
    {
        return test::queryValue(conn, QStringLiteral("select md5(concat_ws('|',cezuxingming,cezudianhua,jiasiyuanxingming,"
                                                     "jibenbeizu,zucebaoxianyouxiaoqi)) from celiangzongbiao where ID=")
                + id);
    }

    // Office A saves three fields; office B, which opened the vehicle before that save, changes two
    // of them and one other, and saves answering the conflict window as scripted. whileAsked runs
    // while the first question is open.
    void saveOverAnotherOffice(QList<ConflictChoice> answers, std::function<void()> whileAsked = {})
    {
        a.open(id);
        b.open(id);
        a.type(QStringLiteral("cezuxingming"), QStringLiteral("甲的车主"));
        a.type(QStringLiteral("jibenbeizu"), QStringLiteral("甲的备注"));
        a.type(QStringLiteral("jiasiyuanxingming"), QStringLiteral("甲的司机"));
        a.save();
        ASSERT_EQ(a.dialogs.lastMessage(), kSaved);
        rowAfterA = wholeRow();

        b.type(QStringLiteral("cezuxingming"), QStringLiteral("乙的车主"));
        b.type(QStringLiteral("jibenbeizu"), QStringLiteral("乙的备注"));
        b.type(QStringLiteral("cezudianhua"), QStringLiteral("13922222222"));
        b.dialogs.conflictChoices = answers;
        b.dialogs.onShown = [this, whileAsked](const test::ScriptedDialogs::Shown& shown) {
            if (shown.kind != QLatin1String("conflict"))
                return;
            rowsWhenAsked.append(wholeRow());
            if (whileAsked && rowsWhenAsked.size() == 1)
                whileAsked();
        };
        b.save();
        ASSERT_GE(b.dialogs.conflicts.size(), 1);
        // The first question: both fields, each with the three values, and nothing written yet.
        const QList<ConflictRow>& rows = b.dialogs.conflicts.first();
        ASSERT_EQ(rows.size(), 2);
        EXPECT_EQ((QStringList {rows[0].field, rows[0].read, rows[0].theirs, rows[0].mine}),
            (QStringList {fieldOf("cezuxingming"), QStringLiteral("原车主"), QStringLiteral("甲的车主"), QStringLiteral("乙的车主")}));
        EXPECT_EQ((QStringList {rows[1].field, rows[1].read, rows[1].theirs, rows[1].mine}),
            (QStringList {fieldOf("jibenbeizu"), QStringLiteral("原备注"), QStringLiteral("甲的备注"), QStringLiteral("乙的备注")}));
        EXPECT_EQ(rowsWhenAsked.first(), rowAfterA);
    }

    static QString fieldOf(const char* column) { return fieldName(*findColumn(QString::fromUtf8(column))); }

    static ConflictChoice keepMine(QList<bool> takeTheirs) { return {ConflictChoice::KeepMine, std::move(takeTheirs)}; }

    static inline db::ConnectionPtr s_conn;
    db::ConnectionPtr conn;
    QString id;
    Office a {QStringLiteral("甲")};
    Office b {QStringLiteral("乙")};
    QString rowAfterA;
    QStringList rowsWhenAsked;
};

TEST_F(ConcurrentEditTest, ChangesToDifferentFieldsAreBothStoredWithoutAsking)
{
    a.open(id);
    b.open(id);
    a.type(QStringLiteral("cezuxingming"), QStringLiteral("甲的车主"));
    a.save();
    b.type(QStringLiteral("cezudianhua"), QStringLiteral("13911112222"));
    b.form->findChild<QDateEdit*>(findColumn(QStringLiteral("zucebaoxianyouxiaoqi"))->control)->setDate(QDate(2021, 6, 30));
    b.save();

    EXPECT_EQ(a.dialogs.messages(), QStringList{kSaved});
    EXPECT_EQ(b.dialogs.messages(), QStringList{kSaved});
    EXPECT_TRUE(b.dialogs.conflicts.isEmpty());
    EXPECT_EQ(stored(QStringLiteral("cezuxingming")), QStringLiteral("甲的车主"));
    EXPECT_EQ(stored(QStringLiteral("cezudianhua")), QStringLiteral("13911112222"));
    EXPECT_EQ(stored(QStringLiteral("zucebaoxianyouxiaoqi")), QStringLiteral("2021-06-30"));

    const auto history = readHistory(conn, id);
    ASSERT_TRUE(history);
    std::set<std::tuple<QString, QString, QString, QString>> changes;
    for (const HistoryEntry& e : *history)
        changes.insert({e.user, e.column, e.oldValue, e.newValue});
    EXPECT_TRUE(changes.count({QStringLiteral("甲"), QStringLiteral("cezuxingming"), QStringLiteral("原车主"), QStringLiteral("甲的车主")}));
    EXPECT_TRUE(changes.count({QStringLiteral("乙"), QStringLiteral("cezudianhua"), QStringLiteral("13900000000"), QStringLiteral("13911112222")}));
}

// Keep mine writes this form's value where the user kept it and the other office's where the
// user gave it up; the field only the other office changed keeps its change. A save meeting yet
// another change asks again.
TEST_F(ConcurrentEditTest, KeepMineWritesTheValuesPickedAndAsksAgainWhenTheRowMovedOnMeanwhile)
{
    // While the first question is open, a third office changes the owner once more.
    saveOverAnotherOffice({keepMine({false, true}), keepMine({false})}, [this] {
        test::mustExecute(conn, QStringLiteral("update celiangzongbiao set cezuxingming='丙的车主' where ID=") + id);
    });
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(b.dialogs.conflicts.size(), 2) << "asked again after the row moved on";
    ASSERT_EQ(b.dialogs.conflicts[1].size(), 1);
    EXPECT_EQ(b.dialogs.conflicts[1][0].theirs, QStringLiteral("丙的车主"));
    EXPECT_EQ(b.dialogs.conflicts[1][0].mine, QStringLiteral("乙的车主"));

    EXPECT_EQ(b.dialogs.lastMessage(), kSaved);
    EXPECT_EQ(b.saved, 1);
    EXPECT_EQ(stored(QStringLiteral("cezuxingming")), QStringLiteral("乙的车主"));
    EXPECT_EQ(stored(QStringLiteral("jibenbeizu")), QStringLiteral("甲的备注"));
    EXPECT_EQ(stored(QStringLiteral("jiasiyuanxingming")), QStringLiteral("甲的司机"));
    EXPECT_EQ(stored(QStringLiteral("cezudianhua")), QStringLiteral("13922222222"));
}

TEST_F(ConcurrentEditTest, TakeTheirsShowsTheStoredVehicleAndWritesNothing)
{
    saveOverAnotherOffice({ConflictChoice {ConflictChoice::TakeTheirs, {}}});
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(b.form->isVisible());
    EXPECT_EQ(b.saved, 0);
    EXPECT_EQ(wholeRow(), rowAfterA);
    // Every field as stored, this form's own change to the phone included.
    EXPECT_EQ(b.shown(QStringLiteral("cezuxingming")), QStringLiteral("甲的车主"));
    EXPECT_EQ(b.shown(QStringLiteral("jibenbeizu")), QStringLiteral("甲的备注"));
    EXPECT_EQ(b.shown(QStringLiteral("jiasiyuanxingming")), QStringLiteral("甲的司机"));
    EXPECT_EQ(b.shown(QStringLiteral("cezudianhua")), QStringLiteral("13900000000"));

    // The stored row is now the one the form compares with: a change saves without a question.
    b.type(QStringLiteral("jibenbeizu"), QStringLiteral("乙后来的备注"));
    b.save();
    EXPECT_EQ(b.dialogs.conflicts.size(), 1);
    EXPECT_EQ(b.dialogs.lastMessage(), kSaved);
    EXPECT_EQ(stored(QStringLiteral("jibenbeizu")), QStringLiteral("乙后来的备注"));
    EXPECT_EQ(stored(QStringLiteral("cezuxingming")), QStringLiteral("甲的车主"));
}

TEST_F(ConcurrentEditTest, BackToEditingKeepsTheFormAndTheRowAndTheNextSaveAsksAgain)
{
    saveOverAnotherOffice({ConflictChoice {ConflictChoice::BackToEditing, {}}});
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(b.form->isVisible());
    EXPECT_EQ(b.saved, 0);
    EXPECT_EQ(wholeRow(), rowAfterA);
    EXPECT_EQ(b.shown(QStringLiteral("cezuxingming")), QStringLiteral("乙的车主"));
    EXPECT_EQ(b.shown(QStringLiteral("cezudianhua")), QStringLiteral("13922222222"));
    EXPECT_FALSE(b.dialogs.messages().contains(kSaved));

    b.save(); // no answer scripted: back again
    EXPECT_EQ(b.dialogs.conflicts.size(), 2);
    EXPECT_EQ(wholeRow(), rowAfterA);
}

// The vehicle's history behind 修改记录: added by one office, changed by the other, newest first,
// each field by its Chinese name.
TEST_F(ConcurrentEditTest, HistoryWindowListsTheChangesNewestFirstInChinese)
{
    a.state.newFlag = 1;
    a.state.modifyFlag = 0;
    a.form = std::make_unique<VehicleWindow>(a.state, a.dialogs, [] {});
    EXPECT_FALSE(a.form->findChild<QPushButton*>(QStringLiteral("按钮_修改记录"))) << "nothing to show before the vehicle exists";
    a.type(QStringLiteral("danganbianhao"), QStringLiteral("F2"));
    a.type(QStringLiteral("cepaihao"), QStringLiteral("豫H10002"));
    a.type(QStringLiteral("cezuxingming"), QStringLiteral("新车主"));
    a.save();
    ASSERT_EQ(a.dialogs.lastMessage(), QStringLiteral("新增车辆信息成功！"));
    id = test::queryValue(conn, QStringLiteral("select ID from celiangzongbiao where cepaihao='豫H10002'"));

    b.open(id);
    b.type(QStringLiteral("cezuxingming"), QStringLiteral("改过的车主"));
    b.save();
    ASSERT_EQ(b.dialogs.lastMessage(), kSaved);

    b.open(id);
    QStringList header;
    std::vector<QStringList> rows;
    b.form->setHistoryOpener([&](HistoryWindow& window) {
        QSignalSpy shown(&window, &HistoryWindow::historyShown);
        if (!window.readDone()) {
            EXPECT_TRUE(shown.wait(10000));
        }
        EXPECT_FALSE(window.readFailed());
        const QAbstractItemModel& model = window.model();
        for (int c = 0; c < model.columnCount(); ++c)
            header << model.headerData(c, Qt::Horizontal).toString();
        for (int r = 0; r < model.rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < model.columnCount(); ++c)
                row << model.index(r, c).data().toString();
            rows.push_back(row);
        }
    });
    auto* button = b.form->findChild<QPushButton*>(QStringLiteral("按钮_修改记录"));
    ASSERT_TRUE(button);
    ASSERT_TRUE(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);

    EXPECT_EQ(header, (QStringList {QStringLiteral("时间"), QStringLiteral("用户"), QStringLiteral("机器"),
                          QStringLiteral("操作"), QStringLiteral("项目"), QStringLiteral("原值"), QStringLiteral("新值")}));
    ASSERT_GE(rows.size(), 3u);
    // The change on top, the addition's rows below it, times never rising downwards.
    EXPECT_EQ(rows[0].mid(1), (QStringList {QStringLiteral("乙"), QSysInfo::machineHostName(), kActionModify,
                                  QStringLiteral("车主姓名"), QStringLiteral("新车主"), QStringLiteral("改过的车主")}));
    QStringList addedFields;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        EXPECT_GE(rows[r - 1][0], rows[r][0]);
        EXPECT_EQ(rows[r][1], QStringLiteral("甲"));
        EXPECT_EQ(rows[r][3], kActionAdd);
        addedFields << rows[r][4];
    }
    EXPECT_TRUE(addedFields.contains(QStringLiteral("主车牌号")));
    EXPECT_TRUE(addedFields.contains(QStringLiteral("车主姓名")));
}

} // namespace

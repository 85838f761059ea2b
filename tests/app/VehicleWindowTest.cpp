// The vehicle window on the real database: its controls, the add and modify modes, the checks
// before an insert, every column written and read back, and the failures that must keep the input.
#include "support/AdminState.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "BoundStatements.h"
#include "support/ScriptedDialogs.h"
#include "ui/ScreenFit.h"

#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include "support/TestSupport.h"
#include "vehicles/VehicleColumns.h"
#include "app/VehicleWindow.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace fd;
using namespace fd::vehicles;
using fd::app::VehicleWindow;

namespace {

const QString kTitle = kProgramTitle;
const QString kEmoji = QString::fromUtf8("\xF0\x9F\x98\x80");

class VehicleWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_conn = test::freshDatabase(QStringLiteral("t_vehicle")); }
    static void TearDownTestSuite() { s_conn.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(s_conn);
        conn = s_conn;
        test::mustExecute(test::adminBeside(conn), QStringLiteral("drop trigger if exists refuse_insert"));
        test::mustExecute(test::adminBeside(conn), QStringLiteral("drop trigger if exists refuse_update"));
        test::mustExecute(conn, QStringLiteral("delete from celiangzongbiao"));
        state.dbConnection = conn;
        state.appTitle = kTitle;
    }

    std::unique_ptr<VehicleWindow> openAdd()
    {
        state.newFlag = 1;
        state.modifyFlag = 0;
        return open();
    }

    std::unique_ptr<VehicleWindow> openModify(const QString& id)
    {
        state.newFlag = 0;
        state.modifyFlag = 1;
        state.currentVehicleId = id;
        state.editVehicleId = id;
        return open();
    }

    std::unique_ptr<VehicleWindow> open()
    {
        auto w = std::make_unique<VehicleWindow>(state, dialogs, [this] { ++refreshes; });
        w->show();
        return w;
    }

    static QWidget* control(VehicleWindow& w, const QString& column)
    {
        const VehicleColumn* c = findColumn(column);
        QWidget* widget = c ? w.findChild<QWidget*>(c->control) : nullptr;
        if (!widget)
            ADD_FAILURE() << "no control for " << column.toStdString();
        return widget;
    }

    static void type(VehicleWindow& w, const QString& column, const QString& text)
    {
        QWidget* c = control(w, column);
        if (auto* line = qobject_cast<QLineEdit*>(c)) {
            line->setText(text);
            Q_EMIT line->textEdited(text);
        } else if (auto* multi = qobject_cast<QPlainTextEdit*>(c)) {
            multi->setPlainText(text);
        } else {
            ADD_FAILURE() << column.toStdString() << " is no edit box";
        }
    }

    static QString shown(VehicleWindow& w, const QString& column)
    {
        QWidget* c = control(w, column);
        if (auto* line = qobject_cast<QLineEdit*>(c))
            return line->text();
        if (auto* multi = qobject_cast<QPlainTextEdit*>(c))
            return multi->toPlainText();
        if (auto* date = qobject_cast<QDateEdit*>(c))
            return date->date().toString(Qt::ISODate);
        if (auto* combo = qobject_cast<QComboBox*>(c))
            return combo->currentText();
        return QStringLiteral("<no control>");
    }

    static QDateEdit* dateBox(VehicleWindow& w, const QString& column) { return qobject_cast<QDateEdit*>(control(w, column)); }
    static QComboBox* statusBox(VehicleWindow& w) { return w.findChild<QComboBox*>(QStringLiteral("组合框_车辆状态")); }

    // What every control of the form shows, by column.
    static QHash<QString, QString> snapshot(VehicleWindow& w)
    {
        QHash<QString, QString> all;
        for (const QString& column : loadOrder())
            all.insert(column, shown(w, column));
        return all;
    }

    static void save(VehicleWindow& w)
    {
        auto* button = w.findChild<QPushButton*>(QStringLiteral("按钮_保存"));
        ASSERT_TRUE(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    qint64 rowCount() { return test::queryValue(conn, QStringLiteral("select count(*) from celiangzongbiao")).toLongLong(); }

    QString idOfPlate(const QString& plate)
    {
        return test::valueOf(conn, db::Statement("select ID from celiangzongbiao where cepaihao=?").bind(plate));
    }

    QString stored(const QString& id, const QString& column)
    {
        return test::queryValue(conn, QStringLiteral("select `%1` from celiangzongbiao where ID=%2").arg(column, id));
    }

    // Inserts a vehicle directly; returns its ID.
    QString insertRow(const QHash<QString, QString>& values)
    {
        db::Statement insert("insert into celiangzongbiao set ");
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            insert.append(QStringLiteral("%1`%2`=?").arg(it == values.cbegin() ? QString() : QStringLiteral(","), it.key()));
            if (it.value().isNull())
                insert.bindNull();
            else
                insert.bind(it.value());
        }
        test::mustRun(conn, insert);
        return test::queryValue(conn, QStringLiteral("select last_insert_id()"));
    }

    // A complete stored vehicle: distinct texts, distinct dates, status, picture names.
    QString insertFullVehicle(const QString& plate, const QString& fileNumber, const QString& status)
    {
        QHash<QString, QString> values;
        int i = 0;
        for (const VehicleColumn& c : vehicleColumns()) {
            switch (c.form) {
            case ColumnForm::Text:
                values.insert(c.name, QStringLiteral("原 %1").arg(c.name));
                break;
            case ColumnForm::Date:
                values.insert(c.name, QDate(2010, 1, 1).addDays(40 * i++).toString(Qt::ISODate));
                break;
            case ColumnForm::Picture:
                values.insert(c.name, plate + c.docKind + QStringLiteral(".jpg"));
                break;
            default:
                break;
            }
        }
        values.insert(QStringLiteral("cepaihao"), plate);
        values.insert(QStringLiteral("danganbianhao"), fileNumber);
        values.insert(QStringLiteral("celiangzuangtai"), status);
        return insertRow(values);
    }

    // Adds a vehicle through the form with only the file number and plate typed; returns the message.
    QString addVehicle(const QString& fileNumber, const QString& plate)
    {
        auto w = openAdd();
        type(*w, QStringLiteral("danganbianhao"), fileNumber);
        type(*w, QStringLiteral("cepaihao"), plate);
        dialogs.clear();
        save(*w);
        return dialogs.lastMessage();
    }

    static inline db::ConnectionPtr s_conn;
    db::ConnectionPtr conn;
    AppState state = fd::test::adminState();
    test::ScriptedDialogs dialogs;
    int refreshes = 0;
};

TEST_F(VehicleWindowTest, ControlsHaveTheirNamesPlacesAndStartValues)
{
    auto w = openAdd();
    EXPECT_EQ(w->windowTitle(), kTitle);
    // On a screen too small for it, the controls sit on a scrolled page of the designed size.
    QWidget* page = w->findChild<QWidget*>(QStringLiteral("windowPage"));
    if (!page) {
        page = w.get();
        EXPECT_EQ(w->pos(), QPoint(50, 50));
        EXPECT_EQ(page->size(), QSize(892, 965));
    }

    const QString group = QStringLiteral("分组框_");
    QStringList groups;
    for (QGroupBox* g : w->findChildren<QGroupBox*>())
        groups.append(g->objectName() + QLatin1Char(' ') + g->title());
    groups.sort();
    EXPECT_EQ(groups, (QStringList{QStringLiteral("分组框_保险 保险信息"), QStringLiteral("分组框_基本信息 基本信息"),
                          QStringLiteral("分组框_审车 审车信息"), QStringLiteral("分组框_管理费用 管理费信息"),
                          QStringLiteral("分组框_营运证 营运信息")}));
    auto* basic = w->findChild<QGroupBox*>(QStringLiteral("分组框_基本信息"));
    ASSERT_TRUE(basic);
    EXPECT_EQ(basic->geometry(), QRect(9, 11, 645, 244));
    EXPECT_EQ(w->findChild<QGroupBox*>(QStringLiteral("分组框_管理费用"))->geometry(), QRect(14, 764, 645, 105));

    // Single-line and multi-line edit boxes, counted by their names.
    int single = 0, multi = 0;
    for (QLineEdit* e : w->findChildren<QLineEdit*>())
        single += e->objectName().startsWith(QStringLiteral("编辑框_"));
    for (QPlainTextEdit* e : w->findChildren<QPlainTextEdit*>())
        multi += e->objectName().startsWith(QStringLiteral("编辑框_"));
    EXPECT_EQ(single, 48);
    EXPECT_EQ(multi, 6);
    EXPECT_EQ(w->findChildren<QDateEdit*>().size(), 14);

    auto* file = w->findChild<QLineEdit*>(QStringLiteral("编辑框_档案编号"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->parentWidget(), basic);
    EXPECT_EQ(file->geometry(), QRect(75, 20, 76, 24));
    auto* remark = w->findChild<QPlainTextEdit*>(QStringLiteral("编辑框_营运备注"));
    ASSERT_TRUE(remark);
    EXPECT_EQ(remark->parentWidget()->objectName(), QStringLiteral("分组框_营运证"));
    EXPECT_EQ(remark->geometry(), QRect(457, 51, 176, 72));
    EXPECT_EQ(w->findChild<QDateEdit*>(QStringLiteral("日期框_下次挂车保险"))->geometry(), QRect(383, 121, 120, 20));

    // Ten validity and first-issue dates start at 2000-01-01, the four payment dates today.
    int at2000 = 0, atToday = 0;
    for (QDateEdit* d : w->findChildren<QDateEdit*>()) {
        at2000 += d->date() == QDate(2000, 1, 1);
        atToday += d->date() == QDate::currentDate();
        EXPECT_EQ(d->displayFormat(), QStringLiteral("yyyy-MM-dd"));
    }
    EXPECT_EQ(at2000, 10);
    EXPECT_EQ(atToday, 4);
    EXPECT_EQ(dateBox(*w, QStringLiteral("guanlijiaofeiriqi"))->date(), QDate::currentDate());
    EXPECT_EQ(dateBox(*w, QStringLiteral("ruhusijian"))->date(), QDate(2000, 1, 1));

    QComboBox* status = statusBox(*w);
    ASSERT_TRUE(status);
    EXPECT_FALSE(status->isEditable());
    EXPECT_EQ(status->count(), 3);
    EXPECT_EQ(status->itemText(0), QStringLiteral("正常"));
    EXPECT_EQ(status->itemText(1), QStringLiteral("转出"));
    EXPECT_EQ(status->itemText(2), QStringLiteral("注销"));
    EXPECT_EQ(status->currentIndex(), 0);

    auto* thumb = w->findChild<QLabel*>(QStringLiteral("图片框_竣工合格证"));
    ASSERT_TRUE(thumb);
    EXPECT_EQ(thumb->parentWidget(), page);
    EXPECT_EQ(thumb->geometry(), QRect(776, 775, 99, 150));
    int thumbs = 0;
    QStringList captions;
    for (QLabel* l : w->findChildren<QLabel*>()) {
        thumbs += l->objectName().startsWith(QStringLiteral("图片框_"));
        if (l->parentWidget() == page && l->objectName().isEmpty())
            captions.append(l->text());
    }
    EXPECT_EQ(thumbs, 10);
    EXPECT_EQ(captions.size(), 10);
    EXPECT_TRUE(captions.contains(QStringLiteral("驾驶员资格证")));

    auto* saveButton = w->findChild<QPushButton*>(QStringLiteral("按钮_保存"));
    ASSERT_TRUE(saveButton);
    EXPECT_EQ(saveButton->text(), QStringLiteral("保     存"));
    // Outside the scrolled page, the button keeps its size and its place across.
    EXPECT_EQ(saveButton->geometry(), page == w.get() ? QRect(8, 877, 656, 48) : QRect(8, 8, 656, 48));
}

// On the test screen (800 × 600) and on a laptop's 1366 × 768 the form scrolls, 保存 stays in
// view below it wherever the form is scrolled to, and where the width fits there is no sideways bar.
TEST_F(VehicleWindowTest, OnASmallScreenTheFormScrollsAndSaveStaysInView)
{
    auto w = openAdd();
    auto* save = w->findChild<QPushButton*>(QStringLiteral("按钮_保存"));
    ASSERT_TRUE(save);
    const QRect testScreen = w->screen()->availableGeometry();
    ASSERT_LT(testScreen.height(), 965 + ui::kFrameHeight) << "the test screen must be smaller than the window";
    for (const QRect& available : {testScreen, QRect(0, 0, 1366, 768)}) {
        SCOPED_TRACE(QStringLiteral("%1 x %2").arg(available.width()).arg(available.height()).toStdString());
        w->fitToArea(available);
        QCoreApplication::processEvents();
        EXPECT_LE(w->width() + ui::kFrameWidth, available.width());
        EXPECT_LE(w->height() + ui::kFrameHeight, available.height());
        auto* area = w->findChild<QScrollArea*>(QStringLiteral("windowScroll"));
        ASSERT_TRUE(area);
        QWidget* page = area->widget();
        EXPECT_EQ(page->width(), 892);
        EXPECT_GE(area->viewport()->height() + area->verticalScrollBar()->maximum(), page->height());
        if (available.width() - ui::kFrameWidth >= 892 + area->verticalScrollBar()->sizeHint().width()) {
            EXPECT_FALSE(area->horizontalScrollBar()->isVisible());
            EXPECT_GE(area->viewport()->width(), page->width());
        }
        for (int scrolled : {0, area->verticalScrollBar()->maximum()}) {
            area->verticalScrollBar()->setValue(scrolled);
            EXPECT_TRUE(save->isVisible());
            EXPECT_FALSE(area->isAncestorOf(save));
            EXPECT_TRUE(w->rect().contains(QRect(save->mapTo(w.get(), QPoint(0, 0)), save->size())));
        }
        EXPECT_EQ(save->size(), QSize(656, 48));
    }

    // In modify mode 修改记录 sits beside 保存, below the scrolled form, in view on a laptop's screen.
    const QString id = insertFullVehicle(QStringLiteral("豫H90100"), QStringLiteral("F100"), QStringLiteral("正常"));
    auto m = openModify(id);
    m->fitToArea(QRect(0, 0, 1366, 768));
    QCoreApplication::processEvents();
    auto* history = m->findChild<QPushButton*>(QStringLiteral("按钮_修改记录"));
    auto* saveButton = m->findChild<QPushButton*>(QStringLiteral("按钮_保存"));
    auto* area = m->findChild<QScrollArea*>(QStringLiteral("windowScroll"));
    ASSERT_TRUE(history && saveButton && area);
    EXPECT_TRUE(history->isVisible());
    EXPECT_TRUE(history->isEnabled());
    EXPECT_FALSE(area->isAncestorOf(history));
    const QRect at(history->mapTo(m.get(), QPoint(0, 0)), history->size());
    const QRect saveAt(saveButton->mapTo(m.get(), QPoint(0, 0)), saveButton->size());
    EXPECT_TRUE(m->rect().contains(at));
    EXPECT_FALSE(at.intersects(saveAt));
    EXPECT_EQ(at.top(), saveAt.top());

    // A screen large enough leaves the window as designed.
    QDialog roomy;
    roomy.resize(892, 965);
    EXPECT_EQ(ui::fitToScreen(&roomy, QRect(0, 0, 1920, 1080)), nullptr);
    EXPECT_EQ(roomy.size(), QSize(892, 965));
}

TEST_F(VehicleWindowTest, AddModeStartsWithThePlatePrefix)
{
    auto w = openAdd();
    EXPECT_EQ(shown(*w, QStringLiteral("cepaihao")), QStringLiteral("豫H"));
    EXPECT_TRUE(control(*w, QStringLiteral("cepaihao"))->isEnabled());
    EXPECT_TRUE(control(*w, QStringLiteral("danganbianhao"))->isEnabled());
    EXPECT_EQ(shown(*w, QStringLiteral("cezuxingming")), QString());
    EXPECT_EQ(w->pictureName(QStringLiteral("zigezengtupian")), QString());
}

TEST_F(VehicleWindowTest, PlateMustBeEightOrNineGbkBytesAfterTrimming)
{
    EXPECT_EQ(addVehicle(QStringLiteral("A1"), QStringLiteral("豫H")), QStringLiteral("请输入正确的车牌号！"));
    EXPECT_EQ(addVehicle(QStringLiteral("A1"), QStringLiteral("豫H1234")), QStringLiteral("请输入正确的车牌号！"));
    EXPECT_EQ(addVehicle(QStringLiteral("A1"), QStringLiteral("豫H1234567")), QStringLiteral("请输入正确的车牌号！"));
    EXPECT_EQ(addVehicle(QStringLiteral("A1"), QStringLiteral("  豫H1234　")), QStringLiteral("请输入正确的车牌号！"));
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(refreshes, 0);

    EXPECT_EQ(addVehicle(QStringLiteral("A8"), QStringLiteral("豫H12345")), QStringLiteral("新增车辆信息成功！"));
    EXPECT_EQ(addVehicle(QStringLiteral("A9"), QStringLiteral("豫H123456")), QStringLiteral("新增车辆信息成功！"));
    EXPECT_EQ(addVehicle(QStringLiteral("A10"), QStringLiteral(" 　豫H54321  ")), QStringLiteral("新增车辆信息成功！"));
    EXPECT_EQ(rowCount(), 3);
    EXPECT_EQ(refreshes, 3);
    EXPECT_NE(idOfPlate(QStringLiteral("豫H54321")), QStringLiteral("<none>"));
}

TEST_F(VehicleWindowTest, ChecksRunInOrderAndKeepTheFormOpen)
{
    insertRow({{QStringLiteral("cepaihao"), QStringLiteral("豫H11111")}, {QStringLiteral("danganbianhao"), QStringLiteral("F1")}});

    {   // No file number: nothing else is checked.
        auto w = openAdd();
        type(*w, QStringLiteral("cepaihao"), QStringLiteral("豫H1"));
        save(*w);
        EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("请输入档案编号！")});
        EXPECT_TRUE(w->isVisible());
    }
    {   // Both already present: only the plate is reported, and the plate box goes back to the prefix.
        dialogs.clear();
        auto w = openAdd();
        type(*w, QStringLiteral("danganbianhao"), QStringLiteral("F1"));
        type(*w, QStringLiteral("cepaihao"), QStringLiteral("豫H11111"));
        type(*w, QStringLiteral("cezuxingming"), QStringLiteral("张三"));
        save(*w);
        EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("对不起此车牌号已经存在！")});
        EXPECT_EQ(shown(*w, QStringLiteral("cepaihao")), QStringLiteral("豫H"));
        EXPECT_EQ(shown(*w, QStringLiteral("danganbianhao")), QStringLiteral("F1"));
        EXPECT_EQ(shown(*w, QStringLiteral("cezuxingming")), QStringLiteral("张三"));
        EXPECT_TRUE(w->isVisible());
    }
    {   // The file number present: its box is emptied, the plate stays.
        dialogs.clear();
        auto w = openAdd();
        type(*w, QStringLiteral("danganbianhao"), QStringLiteral("  F1 "));
        type(*w, QStringLiteral("cepaihao"), QStringLiteral("豫H22222"));
        save(*w);
        EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("对不起此档案编号已经存在！")});
        EXPECT_EQ(shown(*w, QStringLiteral("danganbianhao")), QString());
        EXPECT_EQ(shown(*w, QStringLiteral("cepaihao")), QStringLiteral("豫H22222"));
        EXPECT_TRUE(w->isVisible());
    }
    EXPECT_EQ(rowCount(), 1);
    EXPECT_EQ(refreshes, 0);
}

TEST_F(VehicleWindowTest, FileNumberOfSpacesIsStoredEmptyOnce)
{
    EXPECT_EQ(addVehicle(QStringLiteral("   "), QStringLiteral("豫H30001")), QStringLiteral("新增车辆信息成功！"));
    EXPECT_EQ(stored(idOfPlate(QStringLiteral("豫H30001")), QStringLiteral("danganbianhao")), QString());
    EXPECT_EQ(addVehicle(QStringLiteral("　 "), QStringLiteral("豫H30002")), QStringLiteral("对不起此档案编号已经存在！"));
    EXPECT_EQ(rowCount(), 1);
}

TEST_F(VehicleWindowTest, AddStoresEveryColumn)
{
    auto w = openAdd();
    QHash<QString, QString> typed;
    for (const VehicleColumn& c : vehicleColumns()) {
        if (c.form != ColumnForm::Text)
            continue;
        QString value = QStringLiteral(" 　值 %1  ").arg(c.name);
        if (c.multiLine)
            value = QStringLiteral("  第一行 %1\n第二行　").arg(c.name);
        typed.insert(c.name, value);
        type(*w, c.name, value);
    }
    type(*w, QStringLiteral("cepaihao"), QStringLiteral(" 豫H40001　"));
    typed[QStringLiteral("cepaihao")] = QStringLiteral(" 豫H40001　");
    save(*w);
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("新增车辆信息成功！")});
    EXPECT_EQ(refreshes, 1);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->result(), QDialog::Accepted);

    const QString id = idOfPlate(QStringLiteral("豫H40001"));
    ASSERT_NE(id, QStringLiteral("<none>"));
    for (const VehicleColumn& c : vehicleColumns()) {
        const QString value = stored(id, c.name);
        switch (c.form) {
        case ColumnForm::Text:
            if (c.name == QStringLiteral("baoxianyingjiaofei")) {
                EXPECT_EQ(value, typed.value(c.name)) << "the insurance amount is stored as typed";
            } else if (c.multiLine) {
                EXPECT_EQ(value, QStringLiteral("第一行 %1\n第二行").arg(c.name)) << c.name.toStdString();
            } else if (c.name != QStringLiteral("cepaihao")) {
                EXPECT_EQ(value, QStringLiteral("值 %1").arg(c.name)) << c.name.toStdString();
            }
            break;
        case ColumnForm::Date:
            EXPECT_EQ(value, c.startsToday ? QDate::currentDate().toString(Qt::ISODate) : QStringLiteral("2000-01-01"))
                << c.name.toStdString();
            break;
        case ColumnForm::Status:
            EXPECT_EQ(value, QStringLiteral("正常"));
            break;
        case ColumnForm::Picture:
            EXPECT_TRUE(value == QStringLiteral("<null>") || value.isEmpty()) << c.name.toStdString();
            break;
        case ColumnForm::Key:
            break;
        }
    }
    EXPECT_EQ(stored(id, QStringLiteral("cepaihao")), QStringLiteral("豫H40001"));
}

TEST_F(VehicleWindowTest, AddStoresChosenDatesAndStatus)
{
    auto w = openAdd();
    type(*w, QStringLiteral("danganbianhao"), QStringLiteral("D1"));
    type(*w, QStringLiteral("cepaihao"), QStringLiteral("豫H40002"));
    dateBox(*w, QStringLiteral("zuceyouxiaoriqi"))->setDate(QDate(2016, 3, 5));
    dateBox(*w, QStringLiteral("guanlijiaofeiriqi"))->setDate(QDate(2016, 12, 31));
    statusBox(*w)->setCurrentIndex(1);
    save(*w);
    const QString id = idOfPlate(QStringLiteral("豫H40002"));
    EXPECT_EQ(stored(id, QStringLiteral("zuceyouxiaoriqi")), QStringLiteral("2016-03-05"));
    EXPECT_EQ(stored(id, QStringLiteral("guanlijiaofeiriqi")), QStringLiteral("2016-12-31"));
    EXPECT_EQ(stored(id, QStringLiteral("celiangzuangtai")), QStringLiteral("转出"));
}

TEST_F(VehicleWindowTest, ModifyLoadsAndSavesEveryColumnButPlateAndFileNumber)
{
    const QString id = insertFullVehicle(QStringLiteral("豫H50001"), QStringLiteral("F50"), QStringLiteral("注销"));
    QHash<QString, QString> before;
    for (const VehicleColumn& c : vehicleColumns())
        before.insert(c.name, stored(id, c.name));

    auto w = openModify(id);
    EXPECT_FALSE(control(*w, QStringLiteral("cepaihao"))->isEnabled());
    EXPECT_FALSE(control(*w, QStringLiteral("danganbianhao"))->isEnabled());
    for (const QString& column : loadOrder())
        EXPECT_EQ(shown(*w, column), before.value(column)) << column.toStdString();
    for (const QString& column : pictureLoadOrder())
        EXPECT_EQ(w->pictureName(column), before.value(column)) << column.toStdString();

    // Change everything, the two disabled boxes included: those two must not reach the row.
    int i = 0;
    for (const VehicleColumn& c : vehicleColumns()) {
        if (c.form == ColumnForm::Text)
            type(*w, c.name, QStringLiteral("新　%1 ").arg(c.name));
        else if (c.form == ColumnForm::Date)
            dateBox(*w, c.name)->setDate(QDate(2021, 2, 3).addDays(i++));
    }
    statusBox(*w)->setCurrentIndex(1);
    save(*w);
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("保存车辆信息成功！")});
    EXPECT_EQ(refreshes, 1);
    EXPECT_FALSE(w->isVisible());

    i = 0;
    for (const VehicleColumn& c : vehicleColumns()) {
        const QString value = stored(id, c.name);
        if (c.name == QStringLiteral("cepaihao") || c.name == QStringLiteral("danganbianhao") || c.form == ColumnForm::Picture) {
            EXPECT_EQ(value, before.value(c.name)) << c.name.toStdString();
        } else if (c.name == QStringLiteral("baoxianyingjiaofei")) {
            EXPECT_EQ(value, QStringLiteral("新　%1 ").arg(c.name));
        } else if (c.form == ColumnForm::Text) {
            EXPECT_EQ(value, QStringLiteral("新　%1").arg(c.name)) << c.name.toStdString();
        } else if (c.form == ColumnForm::Date) {
            EXPECT_EQ(value, QDate(2021, 2, 3).addDays(i++).toString(Qt::ISODate)) << c.name.toStdString();
        }
    }
    EXPECT_EQ(stored(id, QStringLiteral("celiangzuangtai")), QStringLiteral("转出"));
}

// A status the box has no item for (an older program's text, none at all) is shown as stored,
// and a save that leaves the box alone keeps it: a transferred vehicle never comes back as 正常.
TEST_F(VehicleWindowTest, AStoredStatusIsShownAndKeptAsStored)
{
    const QString id = insertFullVehicle(QStringLiteral("豫H50002"), QStringLiteral("F51"), QStringLiteral("正常"));
    struct Case {
        QString stored; // null: NULL
        QString shown;
    };
    const Case cases[] = {{QStringLiteral("注销"), QStringLiteral("注销")}, {QStringLiteral("转出 "), QStringLiteral("转出")},
        {QStringLiteral("报废"), QStringLiteral("报废")}, {QStringLiteral(""), QString()}, {QString(), QString()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.isNull() ? std::string("NULL") : c.stored.toStdString());
        test::mustRun(conn, db::Statement("update celiangzongbiao set celiangzuangtai=? where ID=?")
                                .bind(c.stored.isNull() ? std::nullopt : std::optional<QString>(c.stored))
                                .bind(id));
        auto w = openModify(id);
        EXPECT_EQ(statusBox(*w)->currentText(), c.shown);
        type(*w, QStringLiteral("cezuxingming"), QStringLiteral("新车主") + c.shown);
        save(*w);
        EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("保存车辆信息成功！"));
        EXPECT_EQ(stored(id, QStringLiteral("celiangzuangtai")), c.stored.isNull() ? QStringLiteral("<null>") : c.stored);
        EXPECT_EQ(test::queryValue(conn, QStringLiteral("select count(*) from xiugaijilu where ziduan='celiangzuangtai' and cheliangid=") + id),
            QStringLiteral("0"));
    }
    // The extra item goes with the vehicle: the next one shows only its own.
    test::mustExecute(conn, QStringLiteral("update celiangzongbiao set celiangzuangtai='转出' where ID=") + id);
    auto w = openModify(id);
    EXPECT_EQ(statusBox(*w)->count(), 3);
    EXPECT_EQ(statusBox(*w)->currentText(), QStringLiteral("转出"));
}

TEST_F(VehicleWindowTest, QuotesBackslashesAndGbkTrailBytesRoundTrip)
{
    // 縗 and 運 end in the byte 0x5C in GBK, the backslash.
    const QString plate = QStringLiteral("豫H縗'\\5");
    const QString tricky = QStringLiteral("O'Brien \\ \"運\" 縗' or '1'='1 %_\\'");
    {
        auto w = openAdd();
        type(*w, QStringLiteral("danganbianhao"), QStringLiteral("運\\'1"));
        type(*w, QStringLiteral("cepaihao"), plate);
        type(*w, QStringLiteral("cezuxingming"), tricky);
        type(*w, QStringLiteral("baoxianbeizu"), tricky + QStringLiteral("\n") + tricky);
        save(*w);
        ASSERT_EQ(dialogs.lastMessage(), QStringLiteral("新增车辆信息成功！"));
    }
    const QString id = idOfPlate(plate);
    ASSERT_NE(id, QStringLiteral("<none>"));
    EXPECT_EQ(stored(id, QStringLiteral("danganbianhao")), QStringLiteral("運\\'1"));
    EXPECT_EQ(stored(id, QStringLiteral("cezuxingming")), tricky);
    EXPECT_EQ(stored(id, QStringLiteral("baoxianbeizu")), tricky + QStringLiteral("\n") + tricky);

    // The same plate and file number are found again by the checks.
    EXPECT_EQ(addVehicle(QStringLiteral("other"), plate), QStringLiteral("对不起此车牌号已经存在！"));
    EXPECT_EQ(addVehicle(QStringLiteral("運\\'1"), QStringLiteral("豫H60001")), QStringLiteral("对不起此档案编号已经存在！"));

    {   // Loaded exactly and saved back unchanged.
        auto w = openModify(id);
        EXPECT_EQ(shown(*w, QStringLiteral("cepaihao")), plate);
        EXPECT_EQ(shown(*w, QStringLiteral("cezuxingming")), tricky);
        type(*w, QStringLiteral("cezudianhua"), tricky);
        save(*w);
        EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("保存车辆信息成功！"));
    }
    EXPECT_EQ(stored(id, QStringLiteral("cezuxingming")), tricky);
    EXPECT_EQ(stored(id, QStringLiteral("cezudianhua")), tricky);
    EXPECT_EQ(rowCount(), 1);
}

TEST_F(VehicleWindowTest, AnIdThatIsNotANumberCannotWidenTheStatements)
{
    insertFullVehicle(QStringLiteral("豫H70001"), QStringLiteral("F70"), QStringLiteral("正常"));
    insertFullVehicle(QStringLiteral("豫H70002"), QStringLiteral("F71"), QStringLiteral("正常"));
    // The server reads the quoted text as the number 0, which no vehicle has; had the quote ended
    // the literal, "or '1'='1'" would select and update every vehicle.
    auto w = openModify(QStringLiteral("0' or '1'='1"));
    EXPECT_EQ(shown(*w, QStringLiteral("cezuxingming")), QString()); // nothing loaded
    type(*w, QStringLiteral("cezuxingming"), QStringLiteral("覆盖"));
    save(*w);
    EXPECT_EQ(test::queryValue(conn, QStringLiteral("select count(*) from celiangzongbiao where cezuxingming='覆盖'")),
        QStringLiteral("0"));
    EXPECT_TRUE(w->isVisible());
}

TEST_F(VehicleWindowTest, FailedInsertKeepsTheInput)
{
    test::mustExecute(test::adminBeside(conn), QStringLiteral("create trigger refuse_insert before insert on celiangzongbiao for each row "
                                           "signal sqlstate '45000' set message_text = 'disk full'"));
    auto w = openAdd();
    type(*w, QStringLiteral("danganbianhao"), QStringLiteral("F80"));
    type(*w, QStringLiteral("cepaihao"), QStringLiteral("豫H80001"));
    type(*w, QStringLiteral("cezuxingming"), QStringLiteral("李四"));
    type(*w, QStringLiteral("guanlibeizu"), QStringLiteral("多行\n备注"));
    dateBox(*w, QStringLiteral("zucebaoxianyouxiaoqi"))->setDate(QDate(2030, 6, 7));
    const auto before = snapshot(*w);
    save(*w);
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.lastMessage().startsWith(QStringLiteral("新增车辆信息失败！"))) << dialogs.lastMessage().toStdString();
    EXPECT_TRUE(dialogs.lastMessage().contains(QStringLiteral("disk full")));
    EXPECT_TRUE(w->isVisible());
    EXPECT_NE(w->result(), QDialog::Accepted);
    EXPECT_EQ(snapshot(*w), before);
    EXPECT_EQ(refreshes, 0);
    EXPECT_EQ(rowCount(), 0);

    // Once the server takes rows again, the same form saves.
    test::mustExecute(test::adminBeside(conn), QStringLiteral("drop trigger refuse_insert"));
    save(*w);
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("新增车辆信息成功！"));
    EXPECT_EQ(stored(idOfPlate(QStringLiteral("豫H80001")), QStringLiteral("guanlibeizu")), QStringLiteral("多行\n备注"));
}

TEST_F(VehicleWindowTest, FailedCheckWithoutConnectionKeepsTheInput)
{
    auto w = openAdd();
    state.dbConnection.reset();
    type(*w, QStringLiteral("danganbianhao"), QStringLiteral("F81"));
    type(*w, QStringLiteral("cepaihao"), QStringLiteral("豫H81001"));
    const auto before = snapshot(*w);
    save(*w);
    EXPECT_TRUE(dialogs.lastMessage().startsWith(QStringLiteral("新增车辆信息失败！")));
    EXPECT_EQ(snapshot(*w), before);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(refreshes, 0);
}

TEST_F(VehicleWindowTest, FailedOrMissedUpdateKeepsTheInput)
{
    const QString id = insertFullVehicle(QStringLiteral("豫H90001"), QStringLiteral("F90"), QStringLiteral("正常"));
    test::mustExecute(test::adminBeside(conn), QStringLiteral("create trigger refuse_update before update on celiangzongbiao for each row "
                                           "signal sqlstate '45000' set message_text = 'locked'"));
    {
        auto w = openModify(id);
        type(*w, QStringLiteral("cezuxingming"), QStringLiteral("王五"));
        const auto before = snapshot(*w);
        save(*w);
        EXPECT_TRUE(dialogs.lastMessage().startsWith(QStringLiteral("保存车辆信息失败！"))) << dialogs.lastMessage().toStdString();
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(snapshot(*w), before);
        EXPECT_EQ(stored(id, QStringLiteral("cezuxingming")), QStringLiteral("原 cezuxingming"));
    }
    test::mustExecute(test::adminBeside(conn), QStringLiteral("drop trigger refuse_update"));
    {   // The vehicle was deleted while the form was open.
        dialogs.clear();
        auto w = openModify(id);
        type(*w, QStringLiteral("cezuxingming"), QStringLiteral("王五"));
        test::mustExecute(conn, QStringLiteral("delete from celiangzongbiao where ID=") + id);
        save(*w);
        EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("保存车辆信息失败！\n此车辆已不存在，可能已被删除。")});
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(shown(*w, QStringLiteral("cezuxingming")), QStringLiteral("王五"));
    }
    EXPECT_EQ(refreshes, 0);
}

TEST_F(VehicleWindowTest, SavingAnUnchangedFormIsASuccess)
{
    const QString id = insertFullVehicle(QStringLiteral("豫H90002"), QStringLiteral("F91"), QStringLiteral("转出"));
    auto w = openModify(id);
    save(*w);
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("保存车辆信息成功！")});
    EXPECT_EQ(refreshes, 1);
    EXPECT_FALSE(w->isVisible());
}

// On a server that is not strict (as many are run) the program's session still is: a text longer
// than its column is refused, named by its field and limit, and never stored cut.
TEST_F(VehicleWindowTest, ATextTooLongIsRefusedByFieldAndLimitOnALenientServerToo)
{
    const QString id = insertFullVehicle(QStringLiteral("豫H95101"), QStringLiteral("F95"), QStringLiteral("正常"));
    const QString mode = test::queryValue(conn, QStringLiteral("select @@global.sql_mode"));
    test::mustExecute(test::adminBeside(conn), QStringLiteral("set global sql_mode=''"));
    state.dbConnection = test::connectStack(QStringLiteral("t_vehicle"));
    test::mustRun(test::adminBeside(conn), db::Statement("set global sql_mode=?").bind(mode));
    ASSERT_TRUE(state.dbConnection);
    const QString history = test::queryValue(conn, QStringLiteral("select count(*) from xiugaijilu"));

    struct Case {
        bool adding;
        QString column;
        QString text;
        QString message;
    };
    const Case cases[] = {
        {false, QStringLiteral("fadongjihao"), QString(300, QLatin1Char('A')),
            QStringLiteral("保存车辆信息失败！\n发动机号太长：最多 255 个字符")},
        {false, QStringLiteral("jibenbeizu"), QString(33000, QChar(0x5907)), // 66000 GBK bytes
            QStringLiteral("保存车辆信息失败！\n基本信息的备注太长：最多 65535 个字节（一个汉字占 2 个字节）")},
        {true, QStringLiteral("fadongjihao"), QString(300, QLatin1Char('A')),
            QStringLiteral("新增车辆信息失败！\n发动机号太长：最多 255 个字符")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        dialogs.clear();
        auto w = c.adding ? openAdd() : openModify(id);
        if (c.adding) {
            type(*w, QStringLiteral("danganbianhao"), QStringLiteral("F95102"));
            type(*w, QStringLiteral("cepaihao"), QStringLiteral("豫H95102"));
        }
        type(*w, c.column, c.text);
        save(*w);
        ASSERT_EQ(dialogs.messages(), QStringList {c.message});
        // The server's own words: "Data too long for column ...", or for a text cut inside a
        // character "Incorrect string value ... for column ...".
        EXPECT_TRUE(dialogs.shown.last().details.contains(c.column)) << dialogs.shown.last().details.toStdString();
        EXPECT_TRUE(w->isVisible());
    }
    EXPECT_EQ(stored(id, QStringLiteral("fadongjihao")), QStringLiteral("原 fadongjihao"));
    EXPECT_EQ(stored(id, QStringLiteral("jibenbeizu")), QStringLiteral("原 jibenbeizu"));
    EXPECT_EQ(rowCount(), 1);
    EXPECT_EQ(test::queryValue(conn, QStringLiteral("select count(*) from xiugaijilu")), history);
}

TEST_F(VehicleWindowTest, CharactersGbkCannotHoldAreRefusedByField)
{
    {
        auto w = openAdd();
        type(*w, QStringLiteral("danganbianhao"), QStringLiteral("F95"));
        type(*w, QStringLiteral("cepaihao"), QStringLiteral("豫H95001"));
        type(*w, QStringLiteral("cezuxingming"), QStringLiteral("张") + kEmoji);
        save(*w);
        EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("车主姓名中有无法保存的字符，请修改后再保存。"));
        type(*w, QStringLiteral("cezuxingming"), QStringLiteral("张"));
        type(*w, QStringLiteral("baoxianbeizu"), kEmoji);
        save(*w);
        EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("保险信息的备注中有无法保存的字符，请修改后再保存。"));
        type(*w, QStringLiteral("baoxianbeizu"), QString());
        type(*w, QStringLiteral("cepaihao"), QStringLiteral("豫H") + kEmoji + QStringLiteral("123"));
        save(*w);
        EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("主车牌号中有无法保存的字符，请修改后再保存。"));
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(rowCount(), 0);
    }
    const QString id = insertFullVehicle(QStringLiteral("豫H95002"), QStringLiteral("F96"), QStringLiteral("正常"));
    auto w = openModify(id);
    type(*w, QStringLiteral("cezudianhua"), QStringLiteral("138") + kEmoji);
    type(*w, QStringLiteral("cezuxingming"), QStringLiteral("新名"));
    save(*w);
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("车主电话中有无法保存的字符，请修改后再保存。"));
    EXPECT_EQ(stored(id, QStringLiteral("cezuxingming")), QStringLiteral("原 cezuxingming"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(refreshes, 0);
}

TEST_F(VehicleWindowTest, DatesTheBoxCannotShowAreKeptUntilTheUserPicksOne)
{
    const QString id = insertFullVehicle(QStringLiteral("豫H96001"), QStringLiteral("F97"), QStringLiteral("正常"));
    // NULL, a zero date (stored only with a lax mode) and a date before the box's first day
    test::mustExecute(conn, QStringLiteral("set session sql_mode=''"));
    test::mustExecute(conn, QStringLiteral("update celiangzongbiao set jiasizengyouxiaoqi=NULL, secejiaofeisijian=NULL, "
                                           "guanlijiaofeiriqi='0000-00-00', ruhusijian='1700-03-01', "
                                           "cezuxingming=NULL where ID=") + id);
    test::mustExecute(conn, QStringLiteral("set session sql_mode=DEFAULT"));
    const QStringList undated = {QStringLiteral("jiasizengyouxiaoqi"), QStringLiteral("secejiaofeisijian"),
        QStringLiteral("guanlijiaofeiriqi"), QStringLiteral("ruhusijian")};
    QHash<QString, QString> before;
    for (const QString& c : undated)
        before.insert(c, stored(id, c));
    {
        auto w = openModify(id);
        for (const QString& c : undated)
            EXPECT_EQ(dateBox(*w, c)->text(), QStringLiteral("无日期")) << c.toStdString();
        EXPECT_EQ(shown(*w, QStringLiteral("cezuxingming")), QString());
        EXPECT_EQ(shown(*w, QStringLiteral("cezudianhua")), QStringLiteral("原 cezudianhua"));
        EXPECT_EQ(dateBox(*w, QStringLiteral("guanlifeiyouxiaoqi"))->date().toString(Qt::ISODate),
            stored(id, QStringLiteral("guanlifeiyouxiaoqi")));
        type(*w, QStringLiteral("cezuxingming"), QStringLiteral("王五"));
        save(*w);
        EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("保存车辆信息成功！"));
    }
    EXPECT_EQ(stored(id, QStringLiteral("cezuxingming")), QStringLiteral("王五"));
    for (const QString& c : undated)
        EXPECT_EQ(stored(id, c), before.value(c)) << c.toStdString();

    {   // Its calendar opens at the login month, and opening it picks no date.
        state.loginDateTime = datetime::toDayNumber(2016, 5, 31, 9);
        auto w = openModify(id);
        QDateEdit* box = dateBox(*w, QStringLiteral("jiasizengyouxiaoqi"));
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 6, box->height() / 2));
        QCalendarWidget* calendar = box->calendarWidget();
        ASSERT_TRUE(calendar && calendar->isVisible());
        EXPECT_EQ(QPoint(calendar->yearShown(), calendar->monthShown()), QPoint(2016, 5));
        QTest::keyClick(calendar, Qt::Key_Escape);
        EXPECT_EQ(box->text(), QStringLiteral("无日期"));
        EXPECT_FALSE(w->currentValues().contains(QStringLiteral("jiasizengyouxiaoqi")));
    }

    // A date the user picks is stored.
    auto w = openModify(id);
    dateBox(*w, QStringLiteral("secejiaofeisijian"))->setDate(QDate(2016, 3, 5));
    save(*w);
    EXPECT_EQ(stored(id, QStringLiteral("secejiaofeisijian")), QStringLiteral("2016-03-05"));
    EXPECT_EQ(stored(id, QStringLiteral("jiasizengyouxiaoqi")), QStringLiteral("<null>"));
}

TEST_F(VehicleWindowTest, AFailedReadOffersNoFormThatCouldOverwriteTheVehicle)
{
    const QString id = insertFullVehicle(QStringLiteral("豫H96002"), QStringLiteral("F97b"), QStringLiteral("转出"));
    QStringList columns;
    for (const VehicleColumn& c : vehicleColumns())
        columns << QStringLiteral("ifnull(`%1`,'<null>')").arg(c.name);
    const QString wholeRow = QStringLiteral("select md5(concat_ws('|',%1)) from celiangzongbiao where ID=%2")
                                 .arg(columns.join(QLatin1Char(',')), id);
    const QString rowBefore = test::queryValue(conn, wholeRow);

    // The program's own session, killed by the server's administrator while it sat idle: the
    // read runs on a new session, and saving the form it shows stores what was there.
    state.dbConnection = test::connectStack(QStringLiteral("t_vehicle"));
    ASSERT_TRUE(state.dbConnection);
    const Settings settings = test::stackSettings();
    db::ConnectionPtr root = db::dbConnect(QStringLiteral("127.0.0.1"), QStringLiteral("root"), QString(), QString(),
        settings.dbPort);
    ASSERT_TRUE(root);
    test::mustExecute(root, QStringLiteral("KILL %1").arg(state.dbConnection->threadId()));
    {
        auto w = openModify(id);
        save(*w);
        EXPECT_EQ(test::queryValue(conn, wholeRow), rowBefore);
    }
    dialogs.clear();
    refreshes = 0;

    // A read the server refuses: the table is away for a moment.
    test::mustExecute(test::adminBeside(conn), QStringLiteral("RENAME TABLE celiangzongbiao TO celiangzongbiao_away"));
    auto w = openModify(id);
    test::mustExecute(test::adminBeside(conn), QStringLiteral("RENAME TABLE celiangzongbiao_away TO celiangzongbiao"));
    EXPECT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.lastMessage().startsWith(QStringLiteral("读取车辆信息失败！\n"))) << dialogs.lastMessage().toStdString();
    EXPECT_GT(dialogs.lastMessage().size(), QStringLiteral("读取车辆信息失败！\n").size()) << "the server's reason";
    EXPECT_FALSE(w->canSave());
    auto* button = w->findChild<QPushButton*>(QStringLiteral("按钮_保存"));
    ASSERT_TRUE(button);
    EXPECT_FALSE(button->isEnabled());
    save(*w);
    w->saveVehicle(); // as if the button could still be reached
    EXPECT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(refreshes, 0);
    EXPECT_EQ(test::queryValue(conn, wholeRow), rowBefore);
    db::dbClose(root);
    db::dbClose(state.dbConnection);
}

TEST_F(VehicleWindowTest, MissingRowLoadsEmptyValues)
{
    insertFullVehicle(QStringLiteral("豫H97001"), QStringLiteral("F98"), QStringLiteral("注销"));
    auto w = openModify(QStringLiteral("999999"));
    for (const VehicleColumn& c : vehicleColumns()) {
        if (c.form == ColumnForm::Text) {
            EXPECT_EQ(shown(*w, c.name), QString()) << c.name.toStdString();
        } else if (c.form == ColumnForm::Date) {
            EXPECT_EQ(dateBox(*w, c.name)->date(), QDate::currentDate()) << c.name.toStdString();
        } else if (c.form == ColumnForm::Picture) {
            EXPECT_EQ(w->pictureName(c.name), QString());
        }
    }
    EXPECT_EQ(statusBox(*w)->currentText(), QStringLiteral("正常"));
    save(*w);
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("保存车辆信息失败！\n此车辆已不存在，可能已被删除。"));
    EXPECT_EQ(rowCount(), 1);
}

TEST_F(VehicleWindowTest, ClearEditBoxesLeavesDatesAndStatus)
{
    const QString id = insertFullVehicle(QStringLiteral("豫H98001"), QStringLiteral("F99"), QStringLiteral("注销"));
    auto w = openModify(id);
    const QDate date = dateBox(*w, QStringLiteral("ruhusijian"))->date();
    w->clearEditBoxes();
    for (const VehicleColumn& c : vehicleColumns())
        if (c.form == ColumnForm::Text) {
            EXPECT_EQ(shown(*w, c.name), QString()) << c.name.toStdString();
        }
    EXPECT_EQ(dateBox(*w, QStringLiteral("ruhusijian"))->date(), date);
    EXPECT_EQ(dateBox(*w, QStringLiteral("ruhusijian"))->text(), date.toString(QStringLiteral("yyyy-MM-dd")));
    EXPECT_EQ(statusBox(*w)->currentText(), QStringLiteral("注销"));
}

TEST_F(VehicleWindowTest, DoubleClickOnAThumbnailAsksForItsDocument)
{
    auto w = openAdd();
    QSignalSpy spy(w.get(), &VehicleWindow::pictureRequested);
    auto* thumb = w->findChild<QLabel*>(QStringLiteral("图片框_资格证图片"));
    ASSERT_TRUE(thumb);
    QTest::mouseDClick(thumb, Qt::LeftButton);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("资格证"));
}

} // namespace

TEST_F(VehicleWindowTest, StoredLineBreaksSurviveASaveOfAnUntouchedBox)
{
    const QString id = insertFullVehicle(QStringLiteral("豫H90009"), QStringLiteral("F99"), QStringLiteral("正常"));
    // remarks written by another client with Windows line breaks, an address with bare ones
    test::mustExecute(conn,
        QStringLiteral("update celiangzongbiao set jibenbeizu='第一行\\r\\n第二行', cezuxiangxizuzi='甲\\n乙', "
                       "guanlibeizu='旧\\r\\n备注' where ID=")
            + id);
    const QString hexBefore = test::queryValue(conn,
        QStringLiteral("select hex(concat(jibenbeizu,'|',cezuxiangxizuzi)) from celiangzongbiao where ID=") + id);
    auto w = openModify(id);
    EXPECT_EQ(shown(*w, QStringLiteral("jibenbeizu")), QStringLiteral("第一行\n第二行"));
    type(*w, QStringLiteral("guanlibeizu"), QStringLiteral("新\n备注"));
    save(*w);
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("保存车辆信息成功！"));
    EXPECT_EQ(test::queryValue(conn,
                  QStringLiteral("select hex(concat(jibenbeizu,'|',cezuxiangxizuzi)) from celiangzongbiao where ID=") + id),
        hexBefore);
    // a box the user changed stores what it shows
    EXPECT_EQ(stored(id, QStringLiteral("guanlibeizu")), QStringLiteral("新\n备注"));
}

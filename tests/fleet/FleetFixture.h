#pragma once
// Shared set-up of the fleet grid tests: a fresh database of their own, vehicles inserted with
// chosen dates, a FleetList over a real QTableView, and the fills waited for.

#include "common/AppState.h"
#include "common/DateTime.h"
#include "db/Database.h"
#include "fleet/FleetList.h"
#include "support/ListWait.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "vehicles/VehicleColumns.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QMap>
#include <QTableView>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace fd::test {

inline const QStringList& kWatchedDates = vehicles::watchedDates();

struct Vehicle {
    QString file, plate, owner, phone;
    // Date column -> its text, or nullopt for NULL. Columns not named stay NULL.
    QMap<QString, std::optional<QString>> dates;
};

inline const QColor kGreen(0, 255, 0), kOrange(255, 128, 0), kSearchOrange(192, 96, 0), kRed(255, 0, 0),
    kDarkRed(128, 0, 0), kBlack(0, 0, 0), kWhite(255, 255, 255);

class FleetFixture : public ::testing::Test {
protected:
    // Each test program that uses this fixture takes a database of its own.
    virtual QString databaseName() const { return QStringLiteral("t_fleet"); }

    void SetUp() override
    {
        state.dbConnection = freshDatabase(databaseName());
        ASSERT_TRUE(state.dbConnection);
        state.appTitle = kProgramTitle;
        setLogin(2016, 5, 31);
        fleet = std::make_unique<fleet::FleetList>(state, dialogs);
        view = std::make_unique<QTableView>();
        view->resize(858, 593);
        fleet->attachView(view.get());
        tester = std::make_unique<QAbstractItemModelTester>(
            fleet->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }

    void TearDown() override
    {
        tester.reset();
        view.reset();
        fleet.reset();
        db::dbClose(state.dbConnection);
    }

    void setLogin(int y, int m, int d) { state.loginDateTime = datetime::toDayNumber(y, m, d, 9, 30, 0); }

    // Inserts the vehicle and returns its ID as text.
    QString insert(const Vehicle& v)
    {
        QString columns = QStringLiteral("danganbianhao,cepaihao,cezuxingming,cezudianhua");
        QString values = QStringLiteral("?,?,?,?");
        for (auto it = v.dates.begin(); it != v.dates.end(); ++it) {
            columns += QLatin1Char(',') + it.key();
            values += QStringLiteral(",?");
        }
        db::Statement insert(QStringLiteral("INSERT INTO celiangzongbiao (%1) VALUES (%2)").arg(columns, values));
        insert.bind(v.file).bind(v.plate).bind(v.owner).bind(v.phone);
        for (const std::optional<QString>& date : v.dates)
            insert.bind(date);
        const db::Reply reply = state.dbConnection->run(insert);
        EXPECT_TRUE(reply.ok) << reply.error.toStdString();
        return queryValue(state.dbConnection, QStringLiteral("SELECT LAST_INSERT_ID()"));
    }

    // The fills, waited for until the list is whole or has failed.
    void loadAll()
    {
        fleet->loadAllVehicles();
        ASSERT_TRUE(test::waitForList(*fleet));
    }
    void pick(int itemValue)
    {
        fleet->categoryHandler(itemValue);
        ASSERT_TRUE(test::waitForList(*fleet));
    }
    // True when the grid shows the search's list: it started and said nothing.
    bool search(int field, const QString& text)
    {
        const qsizetype said = dialogs.shown.size();
        if (!fleet->searchVehicles(field, text))
            return false;
        EXPECT_TRUE(test::waitForList(*fleet));
        return dialogs.shown.size() == said;
    }

    // Every watched date column set to the same text (nullopt: NULL).
    static QMap<QString, std::optional<QString>> allDates(const std::optional<QString>& date)
    {
        QMap<QString, std::optional<QString>> m;
        for (const QString& c : kWatchedDates)
            m[c] = date;
        return m;
    }

    int gridRows() const { return fleet->gridRowCount(); }
    QString cell(int gridRow, int column) const { return fleet->gridText(gridRow, column); }
    QColor background(int gridRow, int column) const
    {
        return fleet->model()->index(gridRow - 1, column).data(Qt::BackgroundRole).value<QColor>();
    }
    QColor foreground(int gridRow, int column) const
    {
        return fleet->model()->index(gridRow - 1, column).data(Qt::ForegroundRole).value<QColor>();
    }
    // The texts of one column over the data rows, top to bottom.
    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 1; r < gridRows(); ++r)
            out << cell(r, c);
        return out;
    }
    QStringList headers() const
    {
        QStringList out;
        for (int c = 0; c < fleet->model()->columnCount(); ++c)
            out << cell(0, c);
        return out;
    }
    // The grid row showing the plate, or -1.
    int rowOfPlate(const QString& plate) const
    {
        for (int r = 1; r < gridRows(); ++r)
            if (cell(r, 3) == plate)
                return r;
        return -1;
    }

    AppState state;
    ScriptedDialogs dialogs;
    std::unique_ptr<QTableView> view;
    std::unique_ptr<fleet::FleetList> fleet;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

} // namespace fd::test

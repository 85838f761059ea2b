// The fleet grid in the program's font: an 11-digit phone shows whole in its 80-pixel column, and a
// text the column still cuts (a long name, a long header) shows whole as its tooltip.
#include "common/AppState.h"
#include "support/ScriptedDialogs.h"
#include "ui/CutTextTips.h"
#include "ui/Look.h"
#include "vehicles/FleetList.h"
#include "vehicles/VehicleListModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QTableView>
#include <QToolTip>
#include <gtest/gtest.h>

using namespace fd::vehicles;

namespace {

TEST(FleetGrid, PhonesShowWholeAndCutTextsShowAsTooltips)
{
    fd::applyProgramLook(*qApp);
    fd::AppState state;
    fd::test::ScriptedDialogs dialogs;
    FleetList fleet(state, dialogs);
    QTableView view;
    view.resize(900, 300);
    fleet.attachView(&view);

    const QString owner = QStringLiteral("欧阳司马诸葛亮");
    const QByteArray ownerGbk("\xc5\xb7\xd1\xf4\xcb\xbe\xc2\xed\xd6\xee\xb8\xf0\xc1\xc1");
    VehicleRows rows(1);
    const VehicleRows::Cell cells[] = {{"DA0001", 6}, {"ABC123", 6}, {ownerGbk.constData(), static_cast<std::size_t>(ownerGbk.size())},
        {"13900000001", 11}, {"2016-06-30", 10}};
    const ExpiryBand bands[] = {ExpiryBand::dueNextMonth};
    ASSERT_TRUE(rows.append(7, cells, bands));
    const QStringList headers = {QStringLiteral("ID"), QStringLiteral("序号"), QStringLiteral("档案编号"),
        QStringLiteral("车牌号"), QStringLiteral("车主姓名"), QStringLiteral("联系电话"), QStringLiteral("主车保险有效日期")};
    auto* model = dynamic_cast<VehicleListModel*>(fleet.model());
    ASSERT_NE(model, nullptr);
    model->setRows(std::move(rows), headers, false);
    ASSERT_EQ(model->cellText(0, 4), owner);
    view.show();

    auto* tips = view.findChild<fd::CutTextTips*>();
    ASSERT_NE(tips, nullptr);
    QHeaderView* header = view.horizontalHeader();
    auto cellCentre = [&](int column) { return view.visualRect(model->index(0, column)).center(); };
    auto headerCentre = [&](int section) { return QPoint(header->sectionViewportPosition(section) + header->sectionSize(section) / 2, header->height() / 2); };
    struct Case {
        const char* what;
        QWidget* area;
        QPoint pos;
        QString tip;
    };
    const Case cases[] = {
        {"phone", view.viewport(), cellCentre(5), QString()},
        {"date", view.viewport(), cellCentre(6), QString()},
        {"file number", view.viewport(), cellCentre(2), QString()},
        {"seven-character name", view.viewport(), cellCentre(4), owner},
        {"three-character header", header->viewport(), headerCentre(3), QString()},
        {"eight-character header", header->viewport(), headerCentre(6), headers[6]},
        {"below the rows", view.viewport(), QPoint(5, 250), QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tips->tipAt(c.area, c.pos).toStdString(), c.tip.toStdString()) << c.what;

    // The way the user sees it: hovering the name shows it whole.
    QHelpEvent hover(QEvent::ToolTip, cellCentre(4), view.viewport()->mapToGlobal(cellCentre(4)));
    QApplication::sendEvent(view.viewport(), &hover);
    EXPECT_EQ(QToolTip::text(), owner);
    QToolTip::hideText();
}

} // namespace

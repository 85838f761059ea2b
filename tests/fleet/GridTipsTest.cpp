// The fleet grid in the program's font: an 11-digit phone shows whole in its 80-pixel column, the
// headers show whole on two lines, and a text the column still cuts (a long name, a header in a
// column made too narrow) shows whole as its tooltip.
#include "support/AdminState.h"
#include "common/AppState.h"
#include "support/ScriptedDialogs.h"
#include "ui/CutTextTips.h"
#include "ui/Look.h"
#include "ui/WrappedHeader.h"
#include "fleet/FleetList.h"
#include "fleet/VehicleListModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QStyle>
#include <QTableView>
#include <QToolTip>
#include <gtest/gtest.h>

using namespace fd::fleet;
using fd::vehicles::ExpiryBand;

namespace {

TEST(FleetGrid, PhonesShowWholeAndCutTextsShowAsTooltips)
{
    fd::ui::applyProgramLook(*qApp);
    fd::AppState state = fd::test::adminState();
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

    auto* tips = view.findChild<fd::ui::CutTextTips*>();
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
        {"eight-character header", header->viewport(), headerCentre(6), QString()},
        {"below the rows", view.viewport(), QPoint(5, 250), QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tips->tipAt(c.area, c.pos).toStdString(), c.tip.toStdString()) << c.what;
    header->resizeSection(6, 14);
    EXPECT_EQ(tips->tipAt(header->viewport(), headerCentre(6)), headers[6]) << "a header in a column made too narrow";
    header->resizeSection(6, 80);

    // The way the user sees it: hovering the name shows it whole.
    QHelpEvent hover(QEvent::ToolTip, cellCentre(4), view.viewport()->mapToGlobal(cellCentre(4)));
    QApplication::sendEvent(view.viewport(), &hover);
    EXPECT_EQ(QToolTip::text(), owner);
    QToolTip::hideText();
}

// Every header of the full list and of the 28 category lists shows whole in the program's font:
// each line the header draws fits its section, the header is high enough for its lines, and no
// character is left out.
TEST(FleetGrid, HeadersShowWhole)
{
    fd::ui::applyProgramLook(*qApp);
    fd::AppState state = fd::test::adminState(); // no database: every list shows its header only
    fd::test::ScriptedDialogs dialogs;
    FleetList fleet(state, dialogs);
    QTableView view;
    view.resize(858, 593);
    fleet.attachView(&view);
    view.show();
    QHeaderView* header = view.horizontalHeader();
    auto shownLines = [header](int section) {
        if (auto* wrapped = qobject_cast<fd::ui::WrappedHeader*>(header))
            return wrapped->shownLines(section);
        return QStringList {header->model()->headerData(section, Qt::Horizontal).toString()}; // one line
    };
    const QFontMetricsF metrics(header->font());
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    auto check = [&](const std::string& list) {
        QCoreApplication::processEvents();
        for (int s = 0; s < header->count(); ++s) {
            if (header->isSectionHidden(s))
                continue;
            const QString text = header->model()->headerData(s, Qt::Horizontal).toString();
            const QStringList lines = shownLines(s);
            const std::string what = list + ": " + text.toStdString();
            EXPECT_EQ(lines.join(QString()), text) << what;
            for (const QString& line : lines)
                EXPECT_LE(metrics.horizontalAdvance(line), header->sectionSize(s) - 2 * margin) << what;
            EXPECT_LE(lines.size() * metrics.lineSpacing(), header->height()) << what;
        }
    };
    fleet.loadAllVehicles();
    check("full list");
    for (int value = 1; value <= 28; ++value) {
        fleet.categoryHandler(value);
        check("category " + std::to_string(value));
    }
}

} // namespace

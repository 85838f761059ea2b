#include "vehicles/FleetList.h"

#include "common/AppState.h"
#include "ui/CutTextTips.h"
#include "ui/Dialogs.h"
#include "db/Database.h"
#include "vehicles/CategoryTree.h"
#include "vehicles/FleetStatements.h"
#include "vehicles/VehicleListModel.h"

#include <QHeaderView>
#include <QPointer>
#include <QTableView>
#include <QTreeWidget>

namespace fd::vehicles {
namespace {

const QString kNotFound = QStringLiteral("很遗憾！没有查找到此车辆有关信息！");

constexpr int kRowHeight = 24;
constexpr int kColumnWidth = 80;
constexpr int kNumberColumnWidth = 30;

QStringList leadingHeaders()
{
    return {QStringLiteral("ID"), QStringLiteral("序号"), QStringLiteral("档案编号"), QStringLiteral("车牌号"),
        QStringLiteral("车主姓名"), QStringLiteral("联系电话")};
}

QStringList fullListHeaders()
{
    return leadingHeaders()
        + QStringList {QStringLiteral("行车证有效日期"), QStringLiteral("营运证有效日期"), QStringLiteral("主车保险有效日期"),
            QStringLiteral("挂车保险有效日期"), QStringLiteral("资格证有效日期"), QStringLiteral("驾驶证有效日期")};
}

// The date fields of the twelve-column list, in column order.
QStringList fullListDateFields()
{
    return {QStringLiteral("zuceyouxiaoriqi"), QStringLiteral("yingyunzengyouxiaoqi"),
        QStringLiteral("zucebaoxianyouxiaoqi"), QStringLiteral("guacebaoxianyouxiaoqi"),
        QStringLiteral("zigezengyouxiaoqi"), QStringLiteral("jiasizengyouxiaoqi")};
}

} // namespace

struct FleetList::Private {
    AppState& state;
    Dialogs& dialogs;
    VehicleListModel model;
    QPointer<QTableView> view;

    Private(AppState& s, Dialogs& d) : state(s), dialogs(d) {}

    // Column 0 hidden (width 0), column 1 narrow, the others the default width; rows 24 high.
    // A model reset forgets section sizes, so this runs after every fill.
    void applyLayout()
    {
        if (!view)
            return;
        QHeaderView* columns = view->horizontalHeader();
        columns->setDefaultSectionSize(kColumnWidth);
        for (int c = 0; c < model.columnCount(); ++c)
            columns->resizeSection(c, kColumnWidth);
        if (model.columnCount() > 1)
            columns->resizeSection(1, kNumberColumnWidth);
        if (model.columnCount() > 0) {
            columns->resizeSection(0, 0);
            view->setColumnHidden(0, true);
        }
    }

    // Runs a statement whose rows are read as the server sends them: the grid's own copy is the
    // only one held in full. None when it failed.
    db::ResultPtr query(const QString& sql)
    {
        if (sql.isEmpty())
            return nullptr;
        return db::dbStreamQuery(state.dbConnection, sql);
    }

    // Cuts the grid back to its header, fills it from the result and releases the result.
    void fill(db::ResultPtr& result, const QStringList& headers, const QStringList& dateFields, bool searchColours)
    {
        model.clear(headers);
        if (result && result->hasRow()) {
            VehicleRows rows = fillVehicleRows(*result, dateFields, state.loginDateTime);
            // Rows cut short by a lost connection are not shown as if they were the list.
            if (!result->failed())
                model.setRows(std::move(rows), headers, searchColours);
        }
        db::dbFreeResult(result);
        applyLayout();
    }
};

FleetList::FleetList(AppState& state, Dialogs& dialogs, QObject* parent)
    : QObject(parent)
    , d(new Private(state, dialogs))
{
    d->model.clear(fullListHeaders());
}

FleetList::~FleetList()
{
    delete d;
}

void FleetList::attachView(QTableView* view)
{
    d->view = view;
    view->setModel(&d->model);
    QHeaderView* rows = view->verticalHeader();
    rows->setVisible(false);
    rows->setMinimumSectionSize(1);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(kRowHeight);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->horizontalHeader()->setMinimumSectionSize(0);
    view->setWordWrap(false);
    // Data cells are black on white unless the band of a date says otherwise.
    QPalette palette = view->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    view->setPalette(palette);
    // A text the 80-pixel columns still cut (a long name, a seven-character header) shows whole
    // as its tooltip.
    CutTextTips::install(view);
    d->applyLayout();
}

QAbstractTableModel* FleetList::model() const
{
    return &d->model;
}

int FleetList::gridRowCount() const
{
    return d->model.rowCount() + 1;
}

QString FleetList::gridText(int gridRow, int column) const
{
    if (gridRow == 0)
        return d->model.headerData(column, Qt::Horizontal).toString();
    return d->model.cellText(gridRow - 1, column);
}

void FleetList::loadAllVehicles()
{
    db::ResultPtr result = d->query(fullListStatement());
    Q_EMIT captionRequested(d->state.appTitle);
    d->fill(result, fullListHeaders(), fullListDateFields(), false);
}

bool FleetList::searchVehicles(int fieldValue, const QString& text)
{
    const QString pattern = db::dbEscape(d->state.dbConnection, likePattern(text));
    db::ResultPtr result = d->query(searchStatement(fieldValue, pattern));
    if (!result || !result->hasRow()) {
        db::dbFreeResult(result);
        // The grid, its colours and the selection stay as they were.
        d->dialogs.message(kNotFound);
        return false;
    }
    d->fill(result, fullListHeaders(), fullListDateFields(), true);
    return true;
}

void FleetList::loadCategory(const QString& column, int categoryCode, const QString& header)
{
    // Only a watched date column may stand in the statement: anything else fails like a
    // statement the server rejected, and the grid shows the header only.
    const QString sql = isWatchedDateColumn(column) ? categoryStatement(column, categoryCode, d->state.loginDateTime) : QString();
    db::ResultPtr result = d->query(sql);
    d->fill(result, leadingHeaders() + QStringList {header}, QStringList {column}, false);
}

void FleetList::categoryHandler(int itemValue)
{
    if (itemValue == kRootItemValue) {
        loadAllVehicles();
        return;
    }
    if (itemValue >= 1 && itemValue <= 28)
        loadCategory(categoryColumn(itemValue), categoryCode(itemValue), categoryHeader(itemValue));
    // A group item (value 0) leaves the grid as it is.
}

void FleetList::populateCategoryTree(QTreeWidget* tree)
{
    tree->clear();
    QTreeWidgetItem* root = nullptr;
    QTreeWidgetItem* group = nullptr;
    for (const CategoryItem& item : categoryItems()) {
        QTreeWidgetItem* node = nullptr;
        switch (item.level) {
        case CategoryLevel::root:
            node = root = new QTreeWidgetItem(tree);
            break;
        case CategoryLevel::group:
            node = group = new QTreeWidgetItem(root);
            break;
        case CategoryLevel::leaf:
            node = new QTreeWidgetItem(group);
            break;
        }
        node->setText(0, QString::fromUtf16(item.text));
        node->setData(0, Qt::UserRole, item.value);
    }
    // The root shows its six groups; the groups start collapsed.
    if (root)
        root->setExpanded(true);
}

} // namespace fd::vehicles

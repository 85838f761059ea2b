#include "fleet/FleetList.h"

#include "common/AppState.h"
#include "ui/CutTextTips.h"
#include "ui/Dialogs.h"
#include "ui/WrappedHeader.h"
#include "db/Legacy.h"
#include "fleet/CategoryTree.h"
#include "fleet/FleetStatements.h"
#include "vehicles/VehicleColumns.h"
#include "fleet/VehicleListModel.h"

#include <QHeaderView>
#include <QPointer>
#include <QTableView>
#include <QTreeWidget>

namespace fd::vehicles {
namespace {

const QString kNotFound = QStringLiteral("很遗憾！没有查找到此车辆有关信息！");
const QString kListCut = QStringLiteral("读取车辆列表中断！");
const QString kListFailed = QStringLiteral("读取车辆列表失败！");
const QString kListTooLong = QStringLiteral("车辆列表太长，只显示了前 %1 辆车。");

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
    QStringList headers = leadingHeaders();
    for (const QString& column : listedDates())
        headers << watchedDateHeader(column);
    return headers;
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
    // only one held in full. None when it failed; `failure` then says why, for the user (empty
    // when no statement could be made).
    db::ResultPtr query(const QString& sql)
    {
        failure.clear();
        if (sql.isEmpty())
            return nullptr;
        db::ResultPtr result = db::dbStreamQuery(state.dbConnection, sql);
        if (!result) {
            const QString reason = db::dbLastError(state.dbConnection);
            failure = kListFailed + QLatin1Char('\n') + (reason.isEmpty() ? QStringLiteral("没有连接数据库") : reason);
        }
        return result;
    }
    QString failure;

    // The rows of a result, read to their end and released. A list cut short by a lost
    // connection is not the list: its rows are dropped and `stopped` says why. A list too long for
    // the grid keeps the rows that fit, and `stopped` says so.
    struct Rows {
        VehicleRows rows;
        bool cutShort = false;
        QString stopped;
    };
    Rows read(db::ResultPtr& result, const QStringList& dateFields)
    {
        Rows r {VehicleRows(static_cast<int>(dateFields.size())), false, failure};
        if (result) {
            r.rows = fillVehicleRows(*result, dateFields, state.loginDateTime);
            if (result->failed()) {
                r.cutShort = true;
                r.rows = VehicleRows(static_cast<int>(dateFields.size()));
                r.stopped = kListCut + QLatin1Char('\n') + result->error();
            } else if (!result->atEnd()) {
                r.stopped = kListTooLong.arg(r.rows.size());
            }
        }
        db::dbFreeResult(result);
        return r;
    }

    // Cuts the grid back to its header and shows the rows; then says why they stopped, if they did.
    void show(Rows& r, const QStringList& headers, bool searchColours)
    {
        model.clear(headers);
        if (!r.rows.empty())
            model.setRows(std::move(r.rows), headers, searchColours);
        applyLayout();
        if (!r.stopped.isEmpty())
            dialogs.message(r.stopped);
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
    // The 80-pixel date columns show their headers whole on two lines. The new header keeps what
    // the window chose for the old one.
    auto* header = new WrappedHeader(view);
    header->setSectionsClickable(view->horizontalHeader()->sectionsClickable());
    header->setHighlightSections(view->horizontalHeader()->highlightSections());
    view->setHorizontalHeader(header);
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
    // A text the 80-pixel columns still cut (a long name) shows whole as its tooltip.
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
    // The old list goes before the new one is read, so that a long list is not held twice.
    d->model.clear(fullListHeaders());
    Private::Rows rows = d->read(result, listedDates());
    d->show(rows, fullListHeaders(), false);
}

bool FleetList::searchVehicles(int fieldValue, const QString& text)
{
    const QString pattern = db::dbEscape(d->state.dbConnection, likePattern(text));
    db::ResultPtr result = d->query(searchStatement(fieldValue, pattern));
    if (!result || (!result->hasRow() && !result->failed())) {
        db::dbFreeResult(result);
        // The grid, its colours and the selection stay as they were. A search the server could
        // not run says why rather than that nothing was found.
        d->dialogs.message(d->failure.isEmpty() ? kNotFound : d->failure);
        return false;
    }
    // The grid keeps its list until the new one is complete.
    Private::Rows rows = d->read(result, listedDates());
    if (rows.cutShort) {
        // Like a search that finds nothing, a search cut short keeps what the grid showed.
        d->dialogs.message(rows.stopped);
        return false;
    }
    d->show(rows, fullListHeaders(), true);
    return true;
}

void FleetList::loadCategory(const QString& column, int categoryCode, const QString& header)
{
    // Only a watched date column may stand in the statement: anything else fails like a
    // statement the server rejected, and the grid shows the header only.
    const QString sql = isWatchedDateColumn(column) ? categoryStatement(column, categoryCode, d->state.loginDateTime) : QString();
    loadDateList(sql, column, header);
}

void FleetList::loadDateList(const QString& sql, const QString& column, const QString& header)
{
    db::ResultPtr result = d->query(isWatchedDateColumn(column) ? sql : QString());
    const QStringList headers = leadingHeaders() + QStringList {header};
    d->model.clear(headers);
    Private::Rows rows = d->read(result, QStringList {column});
    d->show(rows, headers, false);
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

#include "fleet/FleetList.h"

#include "common/AppState.h"
#include "common/Jobs.h"
#include "db/Connection.h"
#include "fleet/CategoryTree.h"
#include "fleet/FleetStatements.h"
#include "fleet/ListFill.h"
#include "fleet/VehicleListModel.h"
#include "ui/CutTextTips.h"
#include "ui/Dialogs.h"
#include "ui/WrappedHeader.h"
#include "vehicles/VehicleColumns.h"

#include <QHeaderView>
#include <QPointer>
#include <QTableView>
#include <QTreeWidget>
#include <optional>
#include <vector>

namespace fd::fleet {
namespace {

const QString kNotFound = QStringLiteral("很遗憾！没有查找到此车辆有关信息！");
const QString kListCut = QStringLiteral("读取车辆列表中断！");
const QString kListFailed = QStringLiteral("读取车辆列表失败！");
const QString kListTooLong = QStringLiteral("车辆列表太长，只显示了前 %1 辆车。");
const QString kNoConnection = QStringLiteral("没有连接数据库");

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
    for (const QString& column : vehicles::listedDates())
        headers << vehicles::watchedDateHeader(column);
    return headers;
}

// One list to read: its statement (empty when none could be made), the date fields it lists and
// the grid's header for it.
struct Request {
    enum Kind { all, search, dates };
    Kind kind = all;
    db::Statement statement;
    QStringList dateFields;
    QStringList headers;
};

Request fullListRequest()
{
    return {Request::all, fullListStatement(), vehicles::listedDates(), fullListHeaders()};
}

Request dateListRequest(db::Statement statement, const QString& column, const QString& header)
{
    // Only a watched date column may stand in the statement: anything else fails like a statement
    // the server rejected, and the grid shows the header only.
    if (!vehicles::isWatchedDateColumn(column))
        statement = db::Statement();
    return {Request::dates, std::move(statement), QStringList {column}, leadingHeaders() + QStringList {header}};
}

} // namespace

struct FleetList::Private {
    FleetList& q;
    AppState& state;
    ui::Dialogs& dialogs;
    VehicleListModel model;
    QPointer<QTableView> view;

    // The list the grid shows (or is being filled with), for 刷新; the list being read.
    std::optional<Request> shown;
    Request running;
    bool filling = false;
    // The running list's rows go to the grid: from the start for a list, from its first rows on
    // for a search, which leaves the grid as it was until then.
    bool runningShown = false;
    JobHandle job;
    // Tells the parts and the end of the running list from those of a list it replaced.
    quint64 generation = 0;
    struct Waiting {
        QPointer<QObject> context;
        std::function<void()> action;
    };
    std::vector<Waiting> waiting;
    PartPacing pacing;

    Private(FleetList& owner, AppState& s, ui::Dialogs& d) : q(owner), state(s), dialogs(d) {}

    // Column 0 hidden (width 0), column 1 narrow, the others the default width; rows 24 high.
    // A model reset forgets section sizes, so this runs after every reset.
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

    void clearGrid(const QStringList& headers, bool searchColours)
    {
        model.clear(headers, searchColours);
        applyLayout();
    }

    // Starts reading the list, in place of any list still being read.
    void start(Request request)
    {
        // The grid shows part of a list still being read.
        const bool halfShown = filling && runningShown;
        job.cancel();
        const quint64 id = ++generation;
        running = std::move(request);
        filling = true;
        runningShown = running.kind != Request::search;
        if (running.kind == Request::all)
            Q_EMIT q.captionRequested(state.appTitle);
        if (runningShown) {
            // The old list goes before the new one is read, so that a long list is not held twice.
            clearGrid(running.headers, false);
            shown = running;
        } else if (halfShown) {
            // A list cut off half-read is not the list: the grid keeps its header only.
            clearGrid(model.headers(), model.searchColours());
        }
        if (running.statement.isEmpty() || !state.dbConnection) {
            ListEnd end;
            end.outcome = ListEnd::Outcome::failed;
            if (!running.statement.isEmpty())
                end.error = kNoConnection;
            finish(id, end);
            return;
        }
        // The session's options are read here, on the window thread; the rows are read on the
        // database lane with that thread's own session.
        const DatabaseOptions options = state.dbConnection->options();
        job = startJob(
            JobLane::database(), &q,
            [this, id, options, statement = running.statement, fields = running.dateFields,
                login = state.loginDateTime, pacing = pacing](JobControl& control) {
                ListEnd end = readList(
                    options, statement, fields, login, control.cancelFlag(),
                    [this, id, &control](std::shared_ptr<const VehicleRows> part) {
                        control.post([this, id, part = std::move(part)]() mutable { addPart(id, std::move(part)); });
                    },
                    pacing);
                if (end.outcome == ListEnd::Outcome::failed && end.error.isEmpty())
                    end.error = kNoConnection;
                return end;
            },
            [this, id](ListEnd end) { finish(id, end); });
    }

    void addPart(quint64 id, std::shared_ptr<const VehicleRows> part)
    {
        if (id != generation || !filling)
            return;
        if (!runningShown) {
            // A search's first rows: from now on the grid shows its list.
            clearGrid(running.headers, true);
            runningShown = true;
            shown = running;
        }
        model.appendRows(std::move(part));
    }

    // The reading has ended: says what went wrong, if anything, then runs what waited for it.
    void finish(quint64 id, const ListEnd& end)
    {
        if (id != generation || !filling)
            return;
        filling = false;
        job = JobHandle();
        QString message;
        switch (end.outcome) {
        case ListEnd::Outcome::complete:
            if (!runningShown)
                message = kNotFound;
            break;
        case ListEnd::Outcome::failed:
            // No statement could be made: a list shows its header only, a search finds nothing.
            if (end.error.isEmpty())
                message = runningShown ? QString() : kNotFound;
            else
                message = kListFailed + QLatin1Char('\n') + end.error;
            break;
        case ListEnd::Outcome::cutShort:
            // Rows cut short are not the list: the header only, unless none reached the grid.
            if (runningShown)
                clearGrid(running.headers, false);
            message = kListCut + QLatin1Char('\n') + end.error;
            break;
        case ListEnd::Outcome::tooLong:
            message = kListTooLong.arg(model.rowCount());
            break;
        case ListEnd::Outcome::cancelled:
            break;
        }
        if (!message.isEmpty())
            dialogs.message(message);
        std::vector<Waiting> due;
        due.swap(waiting);
        for (Waiting& w : due)
            if (w.context)
                w.action();
        Q_EMIT q.listEnded();
    }
};

FleetList::FleetList(AppState& state, ui::Dialogs& dialogs, QObject* parent)
    : QObject(parent)
    , d(new Private(*this, state, dialogs))
{
    d->model.clear(fullListHeaders());
}

FleetList::~FleetList()
{
    d->job.cancel();
    delete d;
}

void FleetList::attachView(QTableView* view)
{
    d->view = view;
    view->setModel(&d->model);
    // The 80-pixel date columns show their headers whole on two lines. The new header keeps what
    // the window chose for the old one.
    auto* header = new ui::WrappedHeader(view);
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
    ui::CutTextTips::install(view);
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
    d->start(fullListRequest());
}

bool FleetList::searchVehicles(int fieldValue, const QString& text)
{
    db::Statement statement = searchStatement(fieldValue, text);
    if (statement.isEmpty() || !d->state.dbConnection) {
        // The grid, its colours and the selection stay as they were. A search that cannot run
        // says why rather than that nothing was found.
        d->dialogs.message(statement.isEmpty() ? kNotFound : kListFailed + QLatin1Char('\n') + kNoConnection);
        return false;
    }
    d->start({Request::search, std::move(statement), vehicles::listedDates(), fullListHeaders()});
    return true;
}

void FleetList::loadCategory(const QString& column, int categoryCode, const QString& header)
{
    d->start(dateListRequest(vehicles::isWatchedDateColumn(column) ? categoryStatement(column, categoryCode, d->state.loginDateTime)
                                                                   : db::Statement(),
        column, header));
}

void FleetList::loadDateList(const QString& sql, const QString& column, const QString& header)
{
    d->start(dateListRequest(sql.isEmpty() ? db::Statement() : db::Statement::verbatim(sql), column, header));
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

void FleetList::reload()
{
    d->start(d->filling ? d->running : d->shown.value_or(fullListRequest()));
}

bool FleetList::filling() const
{
    return d->filling;
}

void FleetList::setPacing(PartPacing pacing)
{
    d->pacing = pacing;
}

void FleetList::whenComplete(QObject* context, std::function<void()> action)
{
    if (!d->filling) {
        action();
        return;
    }
    d->waiting.push_back({context, std::move(action)});
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

} // namespace fd::fleet

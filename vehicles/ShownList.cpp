#include "vehicles/ShownList.h"

#include "common/DateTime.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QTableView>

namespace fd::vehicles {

int ShownList::rowCount() const
{
    return model ? model->rowCount() : 0;
}

QString ShownList::header(int column) const
{
    return model->headerData(columns[column].modelColumn, Qt::Horizontal, Qt::DisplayRole).toString();
}

QString ShownList::text(int row, int column) const
{
    return model->index(row, columns[column].modelColumn).data(Qt::DisplayRole).toString();
}

QColor ShownList::background(int row, int column) const
{
    return model->index(row, columns[column].modelColumn).data(Qt::BackgroundRole).value<QColor>();
}

QColor ShownList::foreground(int row, int column) const
{
    return model->index(row, columns[column].modelColumn).data(Qt::ForegroundRole).value<QColor>();
}

ShownList shownList(const QTableView& view, const QString& title)
{
    ShownList list;
    list.model = view.model();
    list.title = title;
    const QHeaderView* header = view.horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical < 0 || view.isColumnHidden(logical) || header->sectionSize(logical) <= 0)
            continue;
        list.columns.append({logical, header->sectionSize(logical)});
    }
    return list;
}

QString listTitle(const QString& appTitle, double loginDateTime)
{
    int y = 0, m = 0, d = 0;
    datetime::dateOf(loginDateTime, y, m, d);
    const QString date = QStringLiteral("%1-%2-%3")
                             .arg(y, 4, 10, QLatin1Char('0'))
                             .arg(m, 2, 10, QLatin1Char('0'))
                             .arg(d, 2, 10, QLatin1Char('0'));
    return appTitle + QStringLiteral("    日期：") + date;
}

} // namespace fd::vehicles

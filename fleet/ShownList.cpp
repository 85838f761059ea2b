#include "fleet/ShownList.h"

#include "common/DateTime.h"
#include "fleet/VehicleListModel.h"

#include <QHeaderView>
#include <QTableView>

namespace fd::fleet {

QString ShownList::text(int row, int column) const
{
    return gridCellText(rows, row, columns[column].modelColumn);
}

QColor ShownList::background(int row, int column) const
{
    return gridCellBackground(rows, row, columns[column].modelColumn, searchColours);
}

QColor ShownList::foreground(int row, int column) const
{
    return gridCellForeground(rows, row, columns[column].modelColumn);
}

ShownList shownList(const QTableView& view, const QString& title)
{
    ShownList list;
    list.title = title;
    const auto* model = qobject_cast<const VehicleListModel*>(view.model());
    if (!model)
        return list;
    list.rows = model->rows();
    list.searchColours = model->searchColours();
    const QHeaderView* header = view.horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical < 0 || view.isColumnHidden(logical) || header->sectionSize(logical) <= 0)
            continue;
        list.columns.append({logical, header->sectionSize(logical),
            model->headerData(logical, Qt::Horizontal, Qt::DisplayRole).toString()});
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

} // namespace fd::fleet

#include "vehicles/ExportCommand.h"

#include "ui/Dialogs.h"
#include "vehicles/ListExport.h"

namespace fd::vehicles {

bool exportShownList(const ShownList& list, Dialogs& dialogs, ExportFormat format)
{
    const bool xlsx = format == ExportFormat::xlsx;
    QString path = dialogs.saveFileName(xlsx ? QStringLiteral("导出Excel") : QStringLiteral("导出CSV"),
        xlsx ? QStringLiteral("车辆列表.xlsx") : QStringLiteral("车辆列表.csv"),
        xlsx ? QStringLiteral("Excel 工作簿 (*.xlsx)") : QStringLiteral("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return false;
    const QString suffix = xlsx ? QStringLiteral(".xlsx") : QStringLiteral(".csv");
    if (!path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;
    QString error;
    const bool written = xlsx ? saveXlsx(list, path, &error) : saveCsv(list, path, &error);
    if (!written)
        dialogs.error(error, QStringLiteral("错误"));
    return written;
}

} // namespace fd::vehicles

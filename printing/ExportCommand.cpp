#include "printing/ExportCommand.h"

#include "common/Jobs.h"
#include "ui/Dialogs.h"
#include "ui/JobProgress.h"
#include "printing/ListExport.h"

namespace fd::printing {
namespace {

struct Outcome {
    bool written = false;
    QString error;
};

} // namespace

ui::JobProgress* exportShownList(fleet::ShownList list, ui::Dialogs& dialogs, ExportFormat format, QWidget* window,
    std::function<void(bool written)> finished)
{
    const bool xlsx = format == ExportFormat::xlsx;
    QString path = dialogs.saveFileName(xlsx ? QStringLiteral("导出Excel") : QStringLiteral("导出CSV"),
        xlsx ? QStringLiteral("车辆列表.xlsx") : QStringLiteral("车辆列表.csv"),
        xlsx ? QStringLiteral("Excel 工作簿 (*.xlsx)") : QStringLiteral("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return nullptr;
    const QString suffix = xlsx ? QStringLiteral(".xlsx") : QStringLiteral(".csv");
    if (!path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;

    auto* progress = new ui::JobProgress(QStringLiteral("正在导出第 %1 行 / 共 %2 行…"), window);
    progress->setObjectName(QStringLiteral("exportProgress"));
    auto work = [list = std::move(list), path, xlsx](JobControl& control) {
        const RowProgress tell = [&control](qint64 done, qint64 total) {
            control.progress(done, total);
            return !control.cancelled();
        };
        Outcome out;
        out.written = xlsx ? saveXlsx(list, path, &out.error, tell) : saveCsv(list, path, &out.error, tell);
        return out;
    };
    auto done = [progress, &dialogs, finished = std::move(finished)](Outcome out) {
        progress->finish();
        if (!out.written && !out.error.isEmpty())
            dialogs.error(out.error, QStringLiteral("错误"));
        if (finished)
            finished(out.written);
    };
    progress->setJob(startJob(JobLane::files(), progress, std::move(work), std::move(done),
        [progress](qint64 n, qint64 total) { progress->report(n, total); }));
    return progress;
}

} // namespace fd::printing

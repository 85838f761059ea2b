#include "backup/window/BackupCommands.h"

#include "backup/BackupRun.h"
#include "common/AppState.h"
#include "common/Jobs.h"
#include "db/Connection.h"
#include "ui/Dialogs.h"
#include "ui/JobProgress.h"
#include "ui/RoleGuard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace fd::backup {
namespace {

    const QString kDefaultFolder = QStringLiteral("/var/backups/fleetdesk");
    const QString kFilter = QStringLiteral("备份文件 (fleetdesk-*.tar.zst)");

    Setup setupFor(const AppState& state)
    {
        Setup setup = setupOf(state.settings);
        setup.version = QCoreApplication::applicationVersion();
        // The database the program's session works on.
        if (state.dbConnection && !state.dbConnection->options().database.isEmpty())
            setup.program.database = state.dbConnection->options().database;
        return setup;
    }

    // A progress dialog whose text is the job's latest line (the steps of a backup or restore are
    // few and of unknown length: the bar only shows that it is busy).
    ui::JobProgress* stepDialog(const QString& first, QWidget* window)
    {
        auto* progress = new ui::JobProgress(QStringLiteral("%1 %2"), window);
        progress->setLabelText(first);
        return progress;
    }

    // The setup of a run that the job's cancel (the dialog closed) stops.
    Setup stoppable(Setup setup, const JobControl& control)
    {
        setup.cancel = &control.cancelFlag();
        return setup;
    }

    Say sayOnDialog(JobControl& control, ui::JobProgress* progress)
    {
        return [&control, progress](const QString& line) {
            control.post([progress, line] { progress->setLabelText(line); });
        };
    }

    QString contentsText(const ArchiveContents& contents, const QString& archive)
    {
        QString text = QStringLiteral("备份文件：%1\n备份时间：%2\n数据库：%3%4\n")
                           .arg(QFileInfo(archive).fileName(),
                               contents.created.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), contents.database,
                               contents.enciphered ? QStringLiteral("（已加密）") : QString());
        for (const TableFacts& t : contents.tables)
            text += QStringLiteral("  表 %1：%2 行\n").arg(t.name).arg(t.rows);
        text += QStringLiteral("  图片：%1 张\n").arg(contents.pictures);
        return text;
    }

} // namespace

ui::JobProgress* backupFromProgram(AppState& state, ui::Dialogs& dialogs, QWidget* window)
{
    if (!ui::allowedOrRefused(state, Permission::Backups, dialogs))
        return nullptr;
    const QString chosen = dialogs.saveFileName(QStringLiteral("备份数据库：选择备份目录"),
        QDir(kDefaultFolder).filePath(archiveName(QDateTime::currentDateTime())), kFilter);
    if (chosen.isEmpty())
        return nullptr;
    const QString folder = QFileInfo(chosen).absolutePath();
    const Setup setup = setupFor(state);
    const QString copyFolder = state.settings.backupCopyDir.trimmed();

    ui::JobProgress* progress = stepDialog(QStringLiteral("正在备份数据库…"), window);
    progress->setObjectName(QStringLiteral("backupProgress"));
    auto work = [setup, folder, copyFolder, progress](JobControl& control) {
        return backupAndRecord(stoppable(setup, control), folder, copyFolder, Keep {}, sayOnDialog(control, progress));
    };
    auto done = [progress, &dialogs](const Outcome& out) {
        progress->finish();
        if (out.ok)
            dialogs.message(QStringLiteral("备份完成：%1\n用时 %2 秒").arg(out.archive).arg(out.seconds, 0, 'f', 1));
        else
            dialogs.error(QStringLiteral("备份失败：%1").arg(out.reason), QStringLiteral("错误"));
    };
    progress->setJob(startJob(JobLane::files(), progress, std::move(work), std::move(done)));
    return progress;
}

void restoreFromProgram(AppState& state, ui::Dialogs& dialogs, QWidget* window, std::function<void()> restored)
{
    if (!ui::allowedOrRefused(state, Permission::Backups, dialogs))
        return;
    if (!state.dbConnection) {
        dialogs.message(QStringLiteral("没有连接数据库，不能恢复"));
        return;
    }
    const QString archive = dialogs.openFileName(QStringLiteral("恢复数据库：选择备份文件"), kFilter);
    if (archive.isEmpty())
        return;
    const Setup setup = setupFor(state);
    // The company's name the confirmation must repeat, read now with the program's session.
    const QString company = companyName(state.dbConnection, setup.program.database);

    struct Read {
        bool ok = false;
        ArchiveContents contents;
        QString error;
    };
    ui::JobProgress* reading = stepDialog(QStringLiteral("正在读取备份文件…"), window);
    reading->setObjectName(QStringLiteral("restoreProgress"));
    auto read = [setup, archive](JobControl& control) {
        Read r;
        r.ok = readArchiveContents(stoppable(setup, control), archive, &r.contents, &r.error);
        return r;
    };
    auto confirmAndRestore = [reading, &dialogs, setup, archive, company, window, restored](const Read& r) {
        reading->finish();
        if (!r.ok) {
            dialogs.error(r.error, QStringLiteral("错误"));
            return;
        }
        QString typed;
        const QString prompt = contentsText(r.contents, archive)
            + QStringLiteral("\n恢复将用这个备份替换当前数据库 %1 的全部数据，其他办公室的程序都要重新登录。\n"
                             "确认请输入公司名称“%2”：")
                  .arg(setup.program.database, company);
        if (!dialogs.inputText(prompt, typed, QStringLiteral("恢复数据库")))
            return;
        if (typed.trimmed() != company) {
            dialogs.message(QStringLiteral("输入的文字与公司名称“%1”不符，没有恢复").arg(company));
            return;
        }
        ui::JobProgress* progress = stepDialog(QStringLiteral("正在恢复数据库…"), window);
        progress->setObjectName(QStringLiteral("restoreProgress"));
        auto work = [setup, archive, confirm = typed.trimmed(), progress](JobControl& control) {
            return restoreOverCurrent(stoppable(setup, control), archive, confirm, sayOnDialog(control, progress));
        };
        auto done = [progress, &dialogs, restored](const Outcome& out) {
            progress->finish();
            if (!out.ok) {
                dialogs.error(QStringLiteral("恢复失败：%1").arg(out.reason), QStringLiteral("错误"));
                return;
            }
            if (!out.warning.isEmpty())
                dialogs.error(out.warning, QStringLiteral("错误"));
            if (restored)
                restored();
        };
        progress->setJob(startJob(JobLane::files(), progress, std::move(work), std::move(done)));
    };
    reading->setJob(startJob(JobLane::files(), reading, std::move(read), std::move(confirmAndRestore)));
}

} // namespace fd::backup

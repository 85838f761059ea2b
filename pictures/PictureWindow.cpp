#include "pictures/PictureWindow.h"

#include "common/AppState.h"
#include "db/Connection.h"
#include "net/Endpoints.h"
#include "ui/Dialogs.h"
#include "ui/RoleGuard.h"
#include "ui/ScreenFit.h"
#include "pictures/JpegConvert.h"
#include "pictures/PictureFiles.h"
#include "pictures/PictureStore.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleHistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>

namespace fd::pictures {
namespace {

const QString kNoVehicle = QStringLiteral("请先创建车辆基本后再上传图片信息！");
const QString kCountFailed = QStringLiteral("查询车辆信息失败！");
const QString kSaveFailed = QStringLiteral("保存失败！");
const QString kColumnFailed = QStringLiteral("图片已上传到服务器，但车辆信息中的图片名称保存失败！");
const QString kCannotRead = QStringLiteral("无法读取图片文件！");
const QString kCannotDecode = QStringLiteral("无法导入此图片！");
const QString kTooLarge = QStringLiteral("图片太大，无法导入！");
const QString kBadPlate = QStringLiteral("此车牌号不能用作图片的文件名，无法保存图片！");
const QString kCloseDuringUpload =
    QStringLiteral("图片正在上传。关闭窗口会取消这次上传，服务器上保留原来的图片。\n确定要关闭吗？");
// A file larger than this is not read at all: no photo of a document comes near it.
constexpr qint64 kMaxSourceBytes = 200 * 1024 * 1024;
const QString kCannotWrite = QStringLiteral("无法保存图片的工作副本！");
const QString kNothingToExport = QStringLiteral("没有可以导出的图片！");
const QString kExportFailed = QStringLiteral("导出图片失败！");
const QString kFilter = QStringLiteral("图片文件 (*.jpg *.jpeg *.png *.bmp)");

QString withReason(const QString& headline, const QString& reason)
{
    return reason.isEmpty() ? headline : headline + QLatin1Char('\n') + reason;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text, QRect geometry)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

} // namespace

// What the import job hands back to the window.
struct ImportOutcome {
    JpegResult jpeg;
    QString readError; // the file could not be read
    QImage picture;    // the new JPEG fitted into the picture box
};

PictureWindow::PictureWindow(AppState& state, ui::Dialogs& dialogs, const QString& docKind, const QString& plate,
    const QByteArray& thumbnail, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_docKind(docKind)
    , m_plate(plate)
{
    setObjectName(QStringLiteral("pictureWindow"));
    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("图片框_图片"));
    m_picture->setGeometry(0, 0, 512, 688);
    m_picture->setAlignment(Qt::AlignCenter);
    m_import = makeButton(this, QStringLiteral("按钮_导入图片"), QStringLiteral("导入图片"), QRect(217, 695, 80, 32));
    m_export = makeButton(this, QStringLiteral("按钮_导出图片"), QStringLiteral("导出图片"), QRect(307, 695, 80, 32));
    m_save = makeButton(this, QStringLiteral("按钮_保存"), QStringLiteral("保存"), QRect(398, 695, 80, 32));
    m_save->setEnabled(false);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("进度条_导入图片"));
    m_progress->setGeometry(8, 699, 136, 24);
    m_progress->setRange(0, 100);
    m_progress->hide();
    m_cancelImport = makeButton(this, QStringLiteral("按钮_取消导入"), QStringLiteral("取消"), QRect(148, 695, 60, 32));
    m_cancelImport->hide();
    connect(m_cancelImport, &QPushButton::clicked, this, &PictureWindow::cancelImport);
    connect(m_import, &QPushButton::clicked, this, &PictureWindow::importPicture);
    connect(m_export, &QPushButton::clicked, this, &PictureWindow::exportPicture);
    connect(m_save, &QPushButton::clicked, this, &PictureWindow::savePicture);
    ui::guardControl(m_import, m_state, Permission::Pictures);
    move(50, 50);
    resize(516, 758);
    ui::fitToScreen(this);

    // The FTP account is deciphered afresh for each window. A session that cannot be prepared is
    // not reported here: the upload then says it failed.
    m_ftp = net::ftpConnect(net::endpointsOf(m_state.settings).ftp);
    setWindowTitle(m_state.appTitle);

    if (const QString problem = pictureNameProblem(m_plate); !problem.isEmpty()) {
        m_dialogs.message(withReason(kBadPlate, problem));
        m_refused = true;
        return;
    }
    QString error;
    const auto count = countPlateRows(m_state.dbConnection, m_plate, &error);
    if (!count || *count == 0) {
        m_dialogs.message(count ? kNoVehicle : withReason(kCountFailed, error));
        m_refused = true;
        return;
    }
    if (const vehicles::VehicleColumn* column = pictureColumnOf(m_docKind))
        m_column = column->name;
    m_shown = thumbnail;
    showPicture();
}

PictureWindow::~PictureWindow()
{
    // Closing returns at once: a transfer under way ends through its cancel flag (it keeps its own
    // hold on the FTP session until then), and no result reaches this window any more.
    m_importJob.cancel();
    m_uploadJob.cancel();
    net::ftpClose(m_ftp);
}

QString PictureWindow::workingCopyPath() const
{
    if (!pictureNameProblem(m_plate).isEmpty())
        return QString();
    const QString folder = m_folder.isEmpty() ? pictureFolder() : m_folder;
    return folder.isEmpty() ? QString() : QDir(folder).filePath(pictureFileName(m_plate, m_docKind));
}

void PictureWindow::showPicture()
{
    if (m_shownPicture.isNull())
        m_shownPicture = fitPicture(m_shown, m_picture->size());
    if (m_shownPicture.isNull()) {
        m_picture->clear();
        return;
    }
    m_picture->setPixmap(QPixmap::fromImage(m_shownPicture));
}

void PictureWindow::setImporting(bool on)
{
    m_importing = on;
    m_import->setEnabled(!on);
    m_progress->setValue(0);
    m_progress->setVisible(on);
    m_cancelImport->setVisible(on);
}

void PictureWindow::importPicture()
{
    if (m_importing || m_uploading)
        return; // the working copy belongs to the running work
    if (!ui::allowedOrRefused(m_state, Permission::Pictures, m_dialogs))
        return;
    const QString source = m_dialogs.openFileName(QStringLiteral("导入图片"), kFilter);
    if (source.isEmpty())
        return; // cancelled: nothing written
    // Until a new working copy is complete, nothing is ready for upload; a cancel gives back
    // what was ready before.
    m_saveBeforeImport = m_save->isEnabled();
    m_save->setEnabled(false);
    setImporting(true);
    const QSize box = m_picture->size();
    m_importJob = startJob(
        JobLane::files(), this,
        [source, box](JobControl& control) {
            ImportOutcome out;
            QFile file(source);
            if (!file.open(QIODevice::ReadOnly)) {
                out.readError = file.errorString();
                return out;
            }
            if (file.size() > kMaxSourceBytes) {
                out.jpeg.status = JpegResult::TooLarge;
                out.jpeg.error = QStringLiteral("文件有 %1 MB，最多可以导入 %2 MB 的文件")
                                     .arg(file.size() / (1024 * 1024))
                                     .arg(kMaxSourceBytes / (1024 * 1024));
                return out;
            }
            const QByteArray bytes = file.readAll();
            if (file.error() != QFileDevice::NoError) {
                out.readError = file.errorString();
                return out;
            }
            JpegWatch watch;
            watch.cancel = &control.cancelFlag();
            watch.progress = [&control](qint64 done, qint64 total) { control.progress(done, total); };
            out.jpeg = encodeJpeg(bytes, JpegOptions(), watch);
            if (out.jpeg.ok() && !control.cancelled())
                out.picture = fitPicture(out.jpeg.bytes, box);
            return out;
        },
        [this](ImportOutcome out) { finishImport(out); },
        [this](qint64 done, qint64 total) {
            if (total > 0)
                m_progress->setValue(static_cast<int>(done * 100 / total));
        });
}

void PictureWindow::cancelImport()
{
    if (!m_importing)
        return;
    m_importJob.cancel(); // the decoder stops at its next rows; nothing is written
    setImporting(false);
    m_save->setEnabled(m_saveBeforeImport);
    Q_EMIT importEnded(false);
}

void PictureWindow::finishImport(const ImportOutcome& outcome)
{
    setImporting(false);
    const JpegResult& jpeg = outcome.jpeg;
    if (!outcome.readError.isNull()) {
        m_dialogs.message(withReason(kCannotRead, outcome.readError));
        Q_EMIT importEnded(false);
        return;
    }
    if (!jpeg.ok()) {
        if (jpeg.status == JpegResult::Cancelled)
            m_save->setEnabled(m_saveBeforeImport);
        else
            m_dialogs.message(withReason(jpeg.status == JpegResult::TooLarge ? kTooLarge : kCannotDecode, jpeg.error));
        Q_EMIT importEnded(false);
        return;
    }
    m_folder = pictureFolder();
    if (m_folder.isEmpty()) {
        m_dialogs.message(withReason(kCannotWrite, QStringLiteral("图片文件夹无法创建")));
        Q_EMIT importEnded(false);
        return;
    }
    // The earlier copy is replaced only by a complete new one.
    QSaveFile copy(workingCopyPath());
    if (!copy.open(QIODevice::WriteOnly) || copy.write(jpeg.bytes) != jpeg.bytes.size() || !copy.commit()) {
        m_dialogs.message(withReason(kCannotWrite, copy.errorString()));
        Q_EMIT importEnded(false);
        return;
    }
    m_shown = jpeg.bytes;
    m_shownPicture = outcome.picture;
    showPicture();
    m_save->setEnabled(true);
    Q_EMIT importEnded(true);
}

void PictureWindow::exportPicture()
{
    if (m_shown.isEmpty()) {
        m_dialogs.message(kNothingToExport);
        return;
    }
    const QString target =
        m_dialogs.saveFileName(QStringLiteral("导出图片"), pictureFileName(m_plate, m_docKind), kFilter);
    if (target.isEmpty())
        return; // cancelled: nothing written
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(m_shown) != m_shown.size() || !out.commit())
        m_dialogs.message(withReason(kExportFailed, out.errorString()));
}

void PictureWindow::savePicture()
{
    if (m_uploading || m_importing || !m_save->isEnabled())
        return;
    if (!ui::allowedOrRefused(m_state, Permission::Pictures, m_dialogs))
        return;
    m_uploading = true;
    // One upload at a time, and no import while it runs: what it sends stays what is shown.
    m_save->setEnabled(false);
    m_import->setEnabled(false);
    m_sending = m_shown;
    m_sendingPicture = m_shownPicture;
    const QString name = pictureFileName(m_plate, m_docKind);
    UploadJob job;
    job.ftp = m_ftp;
    job.bytes = m_sending;
    job.remoteName = serverNameBytes(name, m_state.settings.gbkFileNames);
    job.record = { m_column, name, m_plate, vehicles::changeAuthor(m_state) };
    // The transfer is network work on the uploads lane; the column is then written on the
    // database lane, so a slow transfer never holds a session and no statement waits behind it.
    m_uploadJob = startJob(
        JobLane::uploads(), this,
        [job](JobControl& control) { return sendPicture(job, &control.cancelFlag()); },
        [this, record = job.record](UploadOutcome outcome) {
            if (outcome.stage == UploadOutcome::Sent)
                recordUpload(record);
            else
                finishUpload(outcome);
        });
}

void PictureWindow::recordUpload(const PictureRecord& record)
{
    if (!m_state.dbConnection) {
        UploadOutcome outcome;
        outcome.stage = UploadOutcome::ColumnFailed;
        outcome.error = QStringLiteral("没有连接数据库");
        finishUpload(outcome);
        return;
    }
    // Copied here, on the window's thread: the job opens a session of its own with them.
    m_uploadJob = startJob(
        JobLane::database(), this,
        [options = m_state.dbConnection->options(), record](JobControl& control) {
            if (control.cancelled()) {
                UploadOutcome cancelled;
                cancelled.stage = UploadOutcome::Cancelled;
                return cancelled;
            }
            return recordPicture(options, record);
        },
        [this](UploadOutcome outcome) { finishUpload(outcome); });
}

void PictureWindow::reject()
{
    if (m_uploading) {
        if (m_dialogs.ask(kCloseDuringUpload, ui::Dialogs::YesNo) != ui::Dialogs::Yes)
            return; // the window stays open and the upload goes on
        m_uploadJob.cancel();
        m_uploading = false;
    }
    cancelImport();
    QDialog::reject();
}

void PictureWindow::finishUpload(const UploadOutcome& outcome)
{
    m_uploading = false;
    m_import->setEnabled(true);
    switch (outcome.stage) {
    case UploadOutcome::Cancelled:
        m_save->setEnabled(true);
        Q_EMIT uploadEnded(false);
        return;
    case UploadOutcome::FileFailed:
        m_save->setEnabled(true);
        m_dialogs.detailedMessage(withReason(kSaveFailed, outcome.error), outcome.details);
        Q_EMIT uploadEnded(false);
        return;
    case UploadOutcome::ColumnFailed:
        m_save->setEnabled(true);
        m_dialogs.message(withReason(kColumnFailed, outcome.error));
        Q_EMIT uploadEnded(false);
        return;
    case UploadOutcome::Sent: // recorded before it comes here
    case UploadOutcome::Done:
        break;
    }
    m_uploaded = true;
    m_uploadedBytes = m_sending;
    m_uploadedPicture = m_sendingPicture;
    m_save->setEnabled(false);
    m_dialogs.message(QStringLiteral("保存") + m_docKind + QStringLiteral("图片完成！请继续上传其他图片。"));
    Q_EMIT uploadEnded(true);
    done(QDialog::Accepted);
}

} // namespace fd::pictures

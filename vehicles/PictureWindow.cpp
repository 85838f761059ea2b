#include "vehicles/PictureWindow.h"

#include "common/AppState.h"
#include "db/Database.h"
#include "net/Endpoints.h"
#include "ui/Dialogs.h"
#include "ui/ScreenFit.h"
#include "vehicles/JpegConvert.h"
#include "vehicles/PictureFiles.h"
#include "vehicles/PictureStore.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/Workers.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>

namespace fd::vehicles {
namespace {

const QString kNoVehicle = QStringLiteral("请先创建车辆基本后再上传图片信息！");
const QString kCountFailed = QStringLiteral("查询车辆信息失败！");
const QString kSaveFailed = QStringLiteral("保存失败！");
const QString kColumnFailed = QStringLiteral("图片已上传到服务器，但车辆信息中的图片名称保存失败！");
const QString kCannotRead = QStringLiteral("无法读取图片文件！");
const QString kCannotDecode = QStringLiteral("无法导入此图片！");
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

PictureWindow::PictureWindow(AppState& state, Dialogs& dialogs, const QString& docKind, const QString& plate,
    const QByteArray& thumbnail, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_docKind(docKind)
    , m_plate(plate)
    , m_link(std::make_shared<WorkerLink>(this))
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
    connect(m_import, &QPushButton::clicked, this, &PictureWindow::importPicture);
    connect(m_export, &QPushButton::clicked, this, &PictureWindow::exportPicture);
    connect(m_save, &QPushButton::clicked, this, &PictureWindow::savePicture);
    move(50, 50);
    resize(516, 758);
    fitToScreen(this);

    // The FTP account is deciphered afresh for each window. A session that cannot be prepared is
    // not reported here: the upload then says it failed.
    m_ftp = net::ftpConnect(net::endpointsOf(m_state.settings).ftp);
    setWindowTitle(m_state.appTitle);

    QString error;
    const auto count = countPlateRows(m_state.dbConnection, m_plate, &error);
    if (!count || *count == 0) {
        m_dialogs.message(count ? kNoVehicle : withReason(kCountFailed, error));
        m_refused = true;
        return;
    }
    if (const VehicleColumn* column = pictureColumnOf(m_docKind))
        m_column = column->name;
    m_shown = thumbnail;
    showPicture();
}

PictureWindow::~PictureWindow()
{
    // A running upload keeps its own hold on the FTP session and ends on its own; its result is
    // no longer delivered here.
    m_link->detach();
    net::ftpClose(m_ftp);
}

QString PictureWindow::workingCopyPath() const
{
    const QString folder = m_folder.isEmpty() ? pictureFolder() : m_folder;
    return folder.isEmpty() ? QString() : QDir(folder).filePath(pictureFileName(m_plate, m_docKind));
}

void PictureWindow::showPicture()
{
    QImage image = QImage::fromData(m_shown);
    if (image.isNull()) {
        m_picture->clear();
        return;
    }
    m_picture->setPixmap(QPixmap::fromImage(
        image.scaled(m_picture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void PictureWindow::importPicture()
{
    const QString source = m_dialogs.openFileName(QStringLiteral("导入图片"), kFilter);
    if (source.isEmpty())
        return; // cancelled: nothing written
    // Until a new working copy is complete, nothing is ready for upload.
    m_save->setEnabled(false);
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        m_dialogs.message(withReason(kCannotRead, file.errorString()));
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_dialogs.message(withReason(kCannotRead, file.errorString()));
        return;
    }
    const JpegResult jpeg = encodeJpeg(bytes);
    if (!jpeg.ok()) {
        m_dialogs.message(withReason(kCannotDecode, jpeg.error));
        return;
    }
    m_folder = pictureFolder();
    if (m_folder.isEmpty()) {
        m_dialogs.message(withReason(kCannotWrite, QStringLiteral("图片文件夹无法创建")));
        return;
    }
    // The earlier copy is replaced only by a complete new one.
    QSaveFile copy(workingCopyPath());
    if (!copy.open(QIODevice::WriteOnly) || copy.write(jpeg.bytes) != jpeg.bytes.size() || !copy.commit()) {
        m_dialogs.message(withReason(kCannotWrite, copy.errorString()));
        return;
    }
    m_shown = jpeg.bytes;
    showPicture();
    m_save->setEnabled(true);
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
    if (m_uploading || !m_save->isEnabled())
        return;
    m_uploading = true;
    // One upload at a time on the window's FTP session.
    m_save->setEnabled(false);
    const QString name = pictureFileName(m_plate, m_docKind);
    UploadJob job;
    job.ftp = m_ftp;
    job.db = m_state.dbConnection;
    job.localPath = workingCopyPath();
    job.remoteName = serverNameBytes(name, m_state.settings.gbkFileNames);
    job.column = m_column;
    job.name = name;
    job.plate = m_plate;
    startWorker([job = std::move(job), link = m_link, window = this] {
        const UploadOutcome outcome = uploadWorker(job);
        db::dbThreadEnd(job.db);
        link->post([window, outcome] { window->finishUpload(outcome); });
    });
}

void PictureWindow::finishUpload(const UploadOutcome& outcome)
{
    m_uploading = false;
    switch (outcome.stage) {
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
    case UploadOutcome::Done:
        break;
    }
    m_uploaded = true;
    m_save->setEnabled(false);
    m_dialogs.message(QStringLiteral("保存") + m_docKind + QStringLiteral("图片完成！请继续上传其他图片。"));
    Q_EMIT uploadEnded(true);
    done(QDialog::Accepted);
}

} // namespace fd::vehicles

#include "pictures/PictureStore.h"

#include "db/ThreadSession.h"
#include "pictures/PictureFiles.h"
#include "vehicles/VehicleStore.h"

#include <QDir>
#include <QTemporaryFile>

namespace fd::pictures {

std::optional<qint64> countPlateRows(const db::ConnectionPtr& connection, const QString& plate, QString* error)
{
    return vehicles::countVehicles(connection, QStringLiteral("cepaihao"), plate, error);
}

UploadOutcome sendPicture(const UploadJob& job, const std::atomic_bool* cancel)
{
    UploadOutcome out;
    if (job.remoteName.isEmpty()) {
        out.error = QStringLiteral("文件名中有服务器无法保存的字符");
        return out;
    }
    if (!job.ftp) {
        out.error = QStringLiteral("无法准备FTP连接");
        return out;
    }
    // The transfer reads a private copy of the bytes: nothing the window does meanwhile (another
    // import into the working copy) can change what is sent.
    QTemporaryFile snapshot(QDir(QDir::tempPath()).filePath(QStringLiteral("fleetdesk-upload-XXXXXX.jpg")));
    if (!snapshot.open() || snapshot.write(job.bytes) != job.bytes.size() || !snapshot.flush()) {
        out.error = snapshot.errorString();
        return out;
    }
    snapshot.close();
    net::Failure failure;
    const bool sent = job.ftp->putFile(
        snapshot.fileName(), job.remoteName, net::FtpConnection::TransferType::Binary, &failure, cancel);
    if (cancel && cancel->load()) {
        out.stage = UploadOutcome::Cancelled;
        return out;
    }
    if (!sent) {
        out.error = failure.text();
        out.details = failure.technical;
        return out;
    }
    out.stage = UploadOutcome::Sent;
    return out;
}

UploadOutcome recordPicture(const DatabaseOptions& options, const PictureRecord& record)
{
    UploadOutcome out;
    out.stage = UploadOutcome::ColumnFailed;
    QString error;
    const db::ConnectionPtr session = db::threadSession(options, &error);
    if (!session) {
        out.error = error;
        return out;
    }
    const vehicles::SaveResult written = vehicles::savePictureName(session, record.column, record.name, record.plate, record.author);
    if (written.outcome != vehicles::SaveResult::Written) {
        out.error = written.error;
        out.details = written.details;
        return out;
    }
    out.stage = UploadOutcome::Done;
    return out;
}

} // namespace fd::pictures

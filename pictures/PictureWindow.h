#pragma once

#include "common/Jobs.h"
#include "net/Ftp.h"

#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <QString>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
}

namespace fd::pictures {

struct PictureRecord;
struct UploadOutcome;
struct ImportOutcome;

// The window of one document picture of one plate: import a file (re-encoded as JPEG into the
// working copy), export the shown picture, upload the working copy by FTP and record its name in
// the vehicle's picture column.
//
// Controls: "图片框_图片" (QLabel), "按钮_导入图片", "按钮_导出图片", "按钮_保存"; while an import is
// decoded, "进度条_导入图片" (QProgressBar) and its "按钮_取消导入" (caption "取消").
//
// The decoding of an import runs as a job on the files lane, the upload's transfer as a job on the
// uploads lane and the writing of its column on the database lane (with a session of that lane's
// thread); the window's thread only starts them and takes their results. While an upload
// runs nothing can change what it sends (导入图片 is disabled). Closing the window during an
// upload asks first, then cancels the transfer; closing it during an import cancels the import.
class PictureWindow : public QDialog {
    Q_OBJECT
public:
    // docKind: the document; plate: the vehicle window's plate box as typed; thumbnail: the bytes
    // of the picture its thumbnail shows (empty when none).
    PictureWindow(AppState& state, ui::Dialogs& dialogs, const QString& docKind, const QString& plate,
        const QByteArray& thumbnail, QWidget* parent = nullptr);
    ~PictureWindow() override;

    // No vehicle has the plate (the message was shown): the window must not be opened.
    bool refused() const { return m_refused; }
    const QString& docKind() const { return m_docKind; }
    const QString& picturePlate() const { return m_plate; }
    const QString& pictureColumn() const { return m_column; }
    // The bytes of the picture shown, as they would be exported.
    const QByteArray& shownBytes() const { return m_shown; }
    // This window's upload succeeded: its picture is the stored one.
    bool uploaded() const { return m_uploaded; }
    // The bytes the successful upload sent, and the picture made from them (fitted into the
    // picture box).
    const QByteArray& uploadedBytes() const { return m_uploadedBytes; }
    const QImage& uploadedPicture() const { return m_uploadedPicture; }
    bool uploading() const { return m_uploading; }
    bool importing() const { return m_importing; }
    // Empty when the plate cannot make a file name.
    QString workingCopyPath() const;

    // Asks for a file and starts decoding it; returns at once.
    void importPicture();
    // Stops the import under way: the earlier working copy and picture stay as they were.
    void cancelImport();
    void exportPicture();
    // Starts the upload of the picture shown and returns at once.
    void savePicture();
    // Closing the window (Esc, the close button): during an upload, asks first and cancels it.
    void reject() override;

Q_SIGNALS:
    // The upload has ended and its message was shown.
    void uploadEnded(bool stored);
    // The import has ended: stored in the working copy, or not (refused, failed or cancelled).
    void importEnded(bool stored);

private:
    void showPicture();
    void setImporting(bool on);
    void finishImport(const ImportOutcome& outcome);
    // After the transfer: writes the column, then finishes.
    void recordUpload(const PictureRecord& record);
    void finishUpload(const UploadOutcome& outcome);

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    const QString m_docKind;
    const QString m_plate;
    QString m_column;
    QString m_folder;
    QByteArray m_shown;
    QImage m_shownPicture; // m_shown fitted into the picture box
    QByteArray m_sending;  // what the running upload sends
    QImage m_sendingPicture;
    QByteArray m_uploadedBytes;
    QImage m_uploadedPicture;
    bool m_refused = false;
    bool m_uploaded = false;
    bool m_uploading = false;
    bool m_importing = false;
    bool m_saveBeforeImport = false;
    net::FtpConnectionPtr m_ftp;
    JobHandle m_importJob;
    JobHandle m_uploadJob;
    QLabel* m_picture = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_save = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancelImport = nullptr;
};

} // namespace fd::pictures

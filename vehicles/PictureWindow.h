#pragma once

#include "net/Ftp.h"

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <memory>

class QLabel;
class QPushButton;

namespace fd {
struct AppState;
class Dialogs;
}

namespace fd::vehicles {

class WorkerLink;
struct UploadOutcome;

// The window of one document picture of one plate: import a file (re-encoded as JPEG into the
// working copy), export the shown picture, upload the working copy by FTP and record its name in
// the vehicle's picture column.
//
// Controls: "图片框_图片" (QLabel), "按钮_导入图片", "按钮_导出图片", "按钮_保存".
class PictureWindow : public QDialog {
    Q_OBJECT
public:
    // docKind: the document; plate: the vehicle window's plate box as typed; thumbnail: the bytes
    // of the picture its thumbnail shows (empty when none).
    PictureWindow(AppState& state, Dialogs& dialogs, const QString& docKind, const QString& plate,
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
    bool uploading() const { return m_uploading; }
    QString workingCopyPath() const;

    void importPicture();
    void exportPicture();
    // Starts the upload on a worker thread and returns at once.
    void savePicture();

Q_SIGNALS:
    // The upload has ended and its message was shown.
    void uploadEnded(bool stored);

private:
    void showPicture();
    void finishUpload(const UploadOutcome& outcome);

    AppState& m_state;
    Dialogs& m_dialogs;
    const QString m_docKind;
    const QString m_plate;
    QString m_column;
    QString m_folder;
    QByteArray m_shown;
    bool m_refused = false;
    bool m_uploaded = false;
    bool m_uploading = false;
    net::FtpConnectionPtr m_ftp;
    std::shared_ptr<WorkerLink> m_link;
    QLabel* m_picture = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_save = nullptr;
};

} // namespace fd::vehicles

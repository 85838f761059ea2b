#pragma once

#include "common/DatabaseOptions.h"
#include "db/Connection.h"
#include "net/Ftp.h"
#include "vehicles/VehicleHistory.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <optional>

// The picture window's database and server work. Shows nothing.
namespace fd::pictures {

// How many vehicles hold the plate exactly as given (not trimmed); none when the count failed.
std::optional<qint64> countPlateRows(const db::ConnectionPtr& connection, const QString& plate, QString* error = nullptr);

// Where an uploaded picture's name is recorded.
struct PictureRecord {
    QString column;                // the picture column
    QString name;                  // the value stored in it
    QString plate;                 // the rows to update
    vehicles::ChangeAuthor author; // who uploads, for the history of the rows
};

struct UploadJob {
    net::FtpConnectionPtr ftp;
    QByteArray bytes;      // the picture as it was when the upload began
    QByteArray remoteName; // the file name as the servers expect its bytes
    PictureRecord record;
};

struct UploadOutcome {
    // Sent: the file is on the server and its name is still to be recorded (recordPicture).
    enum Stage { Done, Sent, FileFailed, ColumnFailed, Cancelled };
    Stage stage = FileFailed;
    QString error;   // for the user
    QString details; // the technical text of a failed transfer, for support
};

// Stores the bytes on the FTP server: Sent when they are there. The cancel flag stops the
// transfer (Cancelled). Network work only, for the uploads lane: no statement runs here.
UploadOutcome sendPicture(const UploadJob& job, const std::atomic_bool* cancel = nullptr);

// Writes the name into the picture column of every row with the plate, with its history rows in
// the same transaction, on the calling thread's own session opened with the options (the
// database lane). Done, or ColumnFailed: the file is on the server but no row holds its name.
UploadOutcome recordPicture(const DatabaseOptions& options, const PictureRecord& record);

} // namespace fd::pictures

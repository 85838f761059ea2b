#pragma once

#include "db/Connection.h"
#include "net/Ftp.h"
#include "vehicles/VehicleHistory.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <optional>

// The picture window's database and server work. Runs on the calling thread; shows nothing.
namespace fd::vehicles {

// How many vehicles hold the plate exactly as given (not trimmed); none when the count failed.
std::optional<qint64> countPlateRows(const db::ConnectionPtr& connection, const QString& plate, QString* error = nullptr);

struct UploadJob {
    net::FtpConnectionPtr ftp;
    db::ConnectionPtr db;
    QByteArray bytes;      // the picture as it was when the upload began
    QByteArray remoteName; // the file name as the servers expect its bytes
    QString column;        // the picture column
    QString name;          // the value stored in it
    QString plate;         // the rows to update
    ChangeAuthor author;   // who uploads, for the history of the rows
};

struct UploadOutcome {
    enum Stage { Done, FileFailed, ColumnFailed, Cancelled };
    Stage stage = FileFailed;
    QString error;   // for the user
    QString details; // the technical text of a failed transfer, for support
};

// Stores the bytes on the FTP server, then writes the name into the picture column of every row
// with the plate, with its history rows in the same transaction. ColumnFailed: the file is on the server but no row holds its name. The cancel
// flag stops the transfer, and once set no column is written (Cancelled). Meant for a job's
// thread; the database statement waits for any statement of another thread.
UploadOutcome uploadWorker(const UploadJob& job, const std::atomic_bool* cancel = nullptr);

} // namespace fd::vehicles

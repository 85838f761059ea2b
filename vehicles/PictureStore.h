#pragma once

#include "db/Connection.h"
#include "net/Ftp.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The picture window's database and server work. Runs on the calling thread; shows nothing.
namespace fd::vehicles {

// How many vehicles hold the plate exactly as given (not trimmed); none when the count failed.
std::optional<qint64> countPlateRows(const db::ConnectionPtr& connection, const QString& plate, QString* error = nullptr);

struct UploadJob {
    net::FtpConnectionPtr ftp;
    db::ConnectionPtr db;
    QString localPath;     // the working copy
    QByteArray remoteName; // the file name as the servers expect its bytes
    QString column;        // the picture column
    QString name;          // the value stored in it
    QString plate;         // the rows to update
};

struct UploadOutcome {
    enum Stage { Done, FileFailed, ColumnFailed };
    Stage stage = FileFailed;
    QString error;   // for the user
    QString details; // the technical text of a failed transfer, for support
};

// Stores the working copy on the FTP server, then writes the name into the picture column of
// every row with the plate. ColumnFailed: the file is on the server but no row holds its name.
// Meant for a worker thread; the database statement waits for any statement of another thread.
UploadOutcome uploadWorker(const UploadJob& job);

} // namespace fd::vehicles

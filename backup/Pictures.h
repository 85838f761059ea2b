#pragma once

#include "net/Ftp.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The picture folder of the FTP servers, taken whole into a local folder.
namespace fd::backup {

struct PictureFile {
    QString name; // as stored in the local folder and the manifest
    qint64 bytes = 0;
    QString sha256;
};

// Lists the login's folder on the first server that answers and retrieves every file of it into
// folder (names ending in ".part" are uploads under way and left out; a name that vanished between
// the listing and its retrieval, or that is a folder, is passed over). False, with the reason, when
// no server answered or a retrieval broke.
bool downloadPictures(const net::FtpConnection::Options& ftp, const QString& folder, QList<PictureFile>* files,
    QString* error);

// The names of the files in the login's folder on the first server that answers (answered), less
// the uploads under way (".part"). False, with the reason, when none answered.
bool listPictures(const net::FtpConnection::Options& ftp, QList<QByteArray>* names, HostPort* answered, QString* error);

// What an upload of pictures does with a name the FTP folder has already.
enum class PresentPictures {
    Replaced, // every picture goes up
    Kept,     // only those the folder lacks (deleted with their vehicles); never one whatever its age
};
// Uploads the named pictures of folder; sent counts those that went up. False, with the reason,
// when the folder cannot be listed or an upload fails.
bool uploadPictures(const net::FtpConnection::Options& ftp, const QString& folder, const QStringList& pictures,
    PresentPictures present, int* sent, QString* error);

} // namespace fd::backup

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Names, addresses and statements of the document pictures. Pure rules: no widgets, no network.
namespace fd::vehicles {
struct VehicleColumn;
}

namespace fd::pictures {

// The ten document kinds in the order the thumbnails are fetched.
const QStringList& thumbnailFetchOrder();
// The picture column of a document kind (exact comparison), or null.
const vehicles::VehicleColumn* pictureColumnOf(const QString& docKind);

// Plate, kind and ".jpg" run together: the working copy, the remote file and the column value.
QString pictureFileName(const QString& plate, const QString& docKind);

// Why the plate cannot begin a picture file name, or empty when it can. The name must be one path
// element wherever it goes (working copy, FTP command, web address, picture column): no "/" or
// "\\", no "." or ".." as the whole plate, no NUL or other control character, none of the
// characters Windows refuses in file names (< > : " | ? *), and not longer than file systems keep.
QString pictureNameProblem(const QString& plate);

// The bytes of a file name as the servers expect them: UTF-8, or GBK when the setting says so.
// Empty when GBK cannot hold the name.
QByteArray serverNameBytes(const QString& name, bool gbk);

// The picture on each web server (net/Endpoints.h: webBases), in order: base + "/" + the name's
// bytes percent-encoded. An empty name gives the bare base addresses.
QStringList thumbnailUrls(const QStringList& webBases, const QString& name, bool gbk);

// The folder of the working copies: "pic" beside the program, created when missing; where that
// cannot be written, or the program is installed in the system's program folder, "pic" in the
// user's data folder. Empty when neither can be made.
QString pictureFolder();

} // namespace fd::pictures

#include "common/OwnerOnlyFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace fd {

bool makeOwnerOnly(const QString& path)
{
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const QFileInfo info(path);
    if (!info.exists()) {
        QDir().mkpath(info.absolutePath());
        QFile file(path);
        // Created with the owner's rights from the start; a file made meanwhile is narrowed below.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnly))
            return true;
    }
    return QFile::setPermissions(path, ownerOnly);
}

bool othersMayRead(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && (info.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther));
}

} // namespace fd

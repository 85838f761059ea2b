#include "common/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace fd {

bool runsFromSystemFolder()
{
    const QString here = QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath();
    // The folders the build installs its programs into: the package's and this build's own prefix.
    for (const QString& folder : QString::fromUtf8(FD_SYSTEM_BINDIRS).split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (!here.isEmpty() && QFileInfo(folder).canonicalFilePath() == here)
            return true;
    }
    return false;
}

} // namespace fd

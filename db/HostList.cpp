#include "db/HostList.h"

namespace fd::db {

QString hostPortText(const HostPort& hp)
{
    return urlHost(hp.host) + QLatin1Char(':') + QString::number(hp.port == 0 ? 3306 : hp.port);
}

} // namespace fd::db

#pragma once

#include "common/HostList.h"

namespace fd::db {

// "host:port" of a database server for messages ("[::1]:3306" for an IPv6 address). The host list
// itself is read by common/HostList.h: the FTP and web servers take the same entries.
QString hostPortText(const HostPort& hostPort);

} // namespace fd::db

#pragma once

#include "net/HostList.h"

namespace fd::db {

// The host list is read by net/HostList.h: the FTP and web servers take the same entries.
using net::HostPort;
using net::parseHostList;

// "host:port" of a database server for messages ("[::1]:3306" for an IPv6 address).
QString hostPortText(const HostPort& hostPort);

} // namespace fd::db

#pragma once

#include <curl/curl.h>

// For the transfers of this folder only: what libcurl's results say about the server.
namespace fd::net {

// The transfer failed before any server answered (refused, unknown host, a time-out before the
// connection was made): trying the next server of a list is safe, nothing reached this one.
bool serverUnreachable(CURL* curl, CURLcode code);

} // namespace fd::net

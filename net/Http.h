#pragma once

#include "net/Failure.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>

namespace fd::net {

struct HttpOptions {
    int connectTimeoutSeconds = 5;
    int totalTimeoutSeconds = 30;
    // Checked while the transfer runs; setting it ends the transfer with no bytes.
    const std::atomic_bool* cancel = nullptr;
};

// Once in main(), before any thread starts.
void globalInit();

// One HTTP GET on the calling thread: HTTP/1.0, "Accept: */*", an old browser's user agent, never
// from a cache, no proxy. The whole body whatever the status; no bytes on any failure (including
// a time-out or a cancel). No retry.
QByteArray httpGet(const QString& url, const HttpOptions& options = {});

// A file from the first web server that answers: each URL names the same file on another server,
// in order of preference. The next URL is tried only when a server cannot be reached (refused,
// unknown host, no connection within the connect time-out). A server that answers ends the
// request whatever it answers: the servers serve one folder, so the next would say the same, and
// one that stalls after answering would only make the user wait twice. The body of a 2xx answer;
// no bytes otherwise, with the reason in failure (one technical line per server tried).
QByteArray httpGetFirst(const QStringList& urls, const HttpOptions& options = {}, Failure* failure = nullptr);

// True when the page can be fetched: the connectivity test run before connecting to the database.
bool isOnline(const QString& url, const HttpOptions& options = {});

} // namespace fd::net

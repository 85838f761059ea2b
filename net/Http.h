#pragma once

#include <QByteArray>
#include <QString>
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

// True when the page can be fetched: the connectivity test run before connecting to the database.
bool isOnline(const QString& url, const HttpOptions& options = {});

} // namespace fd::net

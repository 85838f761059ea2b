#pragma once

#include "net/Http.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

class QObject;

namespace fd::vehicles {

// Fetches a list of pictures, each from the first of its web servers that answers (httpGetFirst),
// on background threads and hands each one to the receiver's thread. The requests start in list
// order, several at once (a slow server answers the ten thumbnails in the time of about two
// requests). stop() returns at once: downloads under
// way end through their cancel flag, and no picture is delivered after it.
class ThumbnailLoader {
public:
    // Runs on the receiver's thread, once per picture (empty bytes when a request failed).
    using Deliver = std::function<void(int index, const QByteArray& bytes)>;

    ThumbnailLoader(QObject* receiver, QList<QStringList> urls, Deliver deliver, int parallel = 5,
        net::HttpOptions options = {});
    ~ThumbnailLoader(); // stops
    ThumbnailLoader(const ThumbnailLoader&) = delete;
    ThumbnailLoader& operator=(const ThumbnailLoader&) = delete;

    void stop();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace fd::vehicles

#pragma once

#include "common/Jobs.h"
#include "net/Http.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QStringList>
#include <functional>
#include <vector>

class QObject;

namespace fd::pictures {

// Fetches a list of pictures, each from the first of its web servers that answers (httpGetFirst),
// as jobs on a lane (the network lane by default) and hands each one, decoded and fitted into a
// box, to the receiver's thread. The requests start in
// list order, `parallel` at once: ten at once answer the ten thumbnails of a slow server in the
// time of about one request. stop(), or the receiver's end, returns at once: downloads under way
// end through their cancel flag, and no picture is delivered after it.
class ThumbnailLoader {
public:
    // Runs on the receiver's thread, once per URL: the body (empty when the request failed) and
    // the picture fitted into the box (null when the body is not a picture).
    using Deliver = std::function<void(int index, const QByteArray& bytes, const QImage& picture)>;

    ThumbnailLoader(QObject* receiver, QList<QStringList> urls, Deliver deliver, int parallel = 10,
        net::HttpOptions options = {}, QSize box = QSize(99, 150), JobLane& lane = JobLane::network());
    ~ThumbnailLoader(); // stops
    ThumbnailLoader(const ThumbnailLoader&) = delete;
    ThumbnailLoader& operator=(const ThumbnailLoader&) = delete;

    void stop();

private:
    std::vector<JobHandle> m_jobs;
};

} // namespace fd::pictures

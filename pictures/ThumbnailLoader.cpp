#include "pictures/ThumbnailLoader.h"

#include "pictures/JpegConvert.h"

#include <algorithm>
#include <atomic>
#include <memory>

namespace fd::pictures {
namespace {

// What the loader's jobs share: the list and the next entry to ask for.
struct Queue {
    QList<QStringList> urls;
    ThumbnailLoader::Deliver deliver;
    net::HttpOptions options;
    QSize box;
    std::atomic<int> next {0};
};

} // namespace

ThumbnailLoader::ThumbnailLoader(QObject* receiver, QList<QStringList> urls, Deliver deliver, int parallel,
    net::HttpOptions options, QSize box, JobLane& lane)
{
    auto queue = std::make_shared<Queue>();
    queue->urls = std::move(urls);
    queue->deliver = std::move(deliver);
    queue->options = options;
    queue->box = box;
    const int jobs = std::clamp(parallel, 1, std::max(1, static_cast<int>(queue->urls.size())));
    for (int j = 0; j < jobs && !queue->urls.isEmpty(); ++j) {
        m_jobs.push_back(startJob(
            lane, receiver,
            [queue](JobControl& control) {
                net::HttpOptions options = queue->options;
                options.cancel = &control.cancelFlag();
                for (int i = queue->next++; i < queue->urls.size() && !control.cancelled(); i = queue->next++) {
                    QByteArray bytes = net::httpGetFirst(queue->urls.at(i), options);
                    QImage picture = fitPicture(bytes, queue->box);
                    control.post([queue, i, bytes = std::move(bytes), picture = std::move(picture)] {
                        queue->deliver(i, bytes, picture);
                    });
                }
            },
            [] {}));
    }
}

ThumbnailLoader::~ThumbnailLoader()
{
    stop();
}

void ThumbnailLoader::stop()
{
    for (JobHandle& job : m_jobs)
        job.cancel();
}

} // namespace fd::pictures

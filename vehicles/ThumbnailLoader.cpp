#include "vehicles/ThumbnailLoader.h"

#include "vehicles/Workers.h"

#include <algorithm>

namespace fd::vehicles {

struct ThumbnailLoader::Shared {
    explicit Shared(QObject* receiver) : link(receiver) {}
    WorkerLink link;
    QList<QStringList> urls;
    Deliver deliver;
    net::HttpOptions options;
    std::atomic<int> next {0};
};

ThumbnailLoader::ThumbnailLoader(QObject* receiver, QList<QStringList> urls, Deliver deliver, int parallel,
    net::HttpOptions options)
    : m_shared(std::make_shared<Shared>(receiver))
{
    m_shared->urls = std::move(urls);
    m_shared->deliver = std::move(deliver);
    m_shared->options = options;
    m_shared->options.cancel = &m_shared->link.cancelFlag();
    const int threads = std::clamp(parallel, 1, std::max(1, static_cast<int>(m_shared->urls.size())));
    for (int t = 0; t < threads && !m_shared->urls.isEmpty(); ++t) {
        startWorker([shared = m_shared] {
            for (int i = shared->next++; i < shared->urls.size(); i = shared->next++) {
                if (shared->link.cancelFlag())
                    return;
                QByteArray bytes = net::httpGetFirst(shared->urls.at(i), shared->options);
                shared->link.post([shared, i, bytes = std::move(bytes)] {
                    if (!shared->link.cancelFlag()) // stopped while this call was queued
                        shared->deliver(i, bytes);
                });
            }
        });
    }
}

ThumbnailLoader::~ThumbnailLoader()
{
    stop();
}

void ThumbnailLoader::stop()
{
    m_shared->link.detach();
}

} // namespace fd::vehicles

#include "db/Retry.h"

#include <QRandomGenerator>
#include <QThread>

#include <algorithm>

namespace fd::db {

void pauseBeforeRetry(int attempt)
{
    constexpr int kFirstMs = 8;
    constexpr int kLongestMs = 300;
    const int ceiling = std::min(kLongestMs, kFirstMs << std::clamp(attempt - 1, 0, 6));
    QThread::msleep(static_cast<unsigned long>(QRandomGenerator::global()->bounded(1, ceiling + 1)));
}

} // namespace fd::db

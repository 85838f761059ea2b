#include "common/Jobs.h"

#include <QDeadlineTimer>
#include <QRunnable>
#include <QThreadPool>

#include <algorithm>

namespace fd {

namespace {

// One job on a lane's pool. The pool hands jobs over and reports them done under its own locks,
// which ThreadSanitizer does not see: the job is marked handed over when it is queued and taken
// when it starts, and its end (its captured values gone) is marked on the lane, which the lane's
// wait takes.
class LaneJob final : public QRunnable {
public:
    LaneJob(std::function<void()> work, const JobLane* lane) : m_work(std::move(work)), m_lane(lane) {}

    void run() override
    {
        tsan::acquire(this);
        m_work();
        m_work = nullptr;
        tsan::release(m_lane);
    }

private:
    std::function<void()> m_work;
    const JobLane* m_lane;
};

} // namespace

JobLane::JobLane(const QString& name, int threads, Idle idle) : m_name(name), m_pool(std::make_unique<QThreadPool>())
{
    m_pool->setObjectName(name);
    m_pool->setMaxThreadCount(std::max(1, threads));
    if (idle == Keep)
        m_pool->setExpiryTimeout(-1);
}

JobLane::~JobLane()
{
    m_pool->waitForDone();
    tsan::acquire(this);
}

int JobLane::threads() const
{
    return m_pool->maxThreadCount();
}

bool JobLane::waitForDone(int milliseconds)
{
    const bool idle = m_pool->waitForDone(milliseconds);
    if (idle)
        tsan::acquire(this);
    return idle;
}

void JobLane::enqueue(std::function<void()> work)
{
    auto* job = new LaneJob(std::move(work), this);
    tsan::release(job);
    m_pool->start(job); // the pool deletes it after its run
}

JobLane& JobLane::network()
{
    static JobLane lane(QStringLiteral("network"), 10);
    return lane;
}

JobLane& JobLane::uploads()
{
    static JobLane lane(QStringLiteral("uploads"), 1);
    return lane;
}

JobLane& JobLane::sms()
{
    static JobLane lane(QStringLiteral("sms"), 1);
    return lane;
}

JobLane& JobLane::database()
{
    // Two threads, so that a long list never makes a short read wait; threads that never end
    // while the program runs, since each keeps its own database session (reopening one to a
    // distant server costs more than the read).
    static JobLane lane(QStringLiteral("database"), 2, JobLane::Keep);
    return lane;
}

JobLane& JobLane::files()
{
    static JobLane lane(QStringLiteral("files"), 2);
    return lane;
}

bool waitForAllJobs(int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    bool idle = true;
    for (JobLane* lane : { &JobLane::network(), &JobLane::uploads(), &JobLane::sms(), &JobLane::files(), &JobLane::database() })
        idle = lane->waitForDone(static_cast<int>(std::max<qint64>(0, deadline.remainingTime()))) && idle;
    return idle;
}

namespace detail {

void JobShared::setProgress(qint64 done, qint64 total, std::function<void(qint64, qint64)> const& deliver)
{
    m_done = done;
    m_total = total;
    if (!deliver || m_progressQueued.exchange(true))
        return; // the report already queued will carry these figures
    post([this, deliver] {
        m_progressQueued = false;
        deliver(m_done.load(), m_total.load());
    });
}

} // namespace detail
} // namespace fd

#pragma once

#include "common/ThreadSanitizer.h"

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

class QThreadPool;

// Work off the window thread. A job runs on a lane (a fixed set of threads for one kind of work),
// sees a cancel flag it must check (and hand to libcurl or libjpeg loops), reports progress, and
// delivers its result on its owner's thread. Nothing is delivered once the job is cancelled or its
// owner is destroyed: a closed window never hears from its work again. No nested event loops.
namespace fd {

// A set of threads for one kind of work. Jobs beyond the lane's width wait their turn in order.
// Thread affinity: any thread.
class JobLane {
public:
    // Idle threads end after a while (Expire), or only when the lane waits for its jobs (Keep:
    // for threads that hold something costly to open again, such as a database session).
    enum Idle { Expire, Keep };
    JobLane(const QString& name, int threads, Idle idle = Expire);
    ~JobLane(); // waits for the jobs it runs
    JobLane(const JobLane&) = delete;
    JobLane& operator=(const JobLane&) = delete;

    const QString& name() const { return m_name; }
    int threads() const;
    // Waits until no job runs or waits on this lane; true when none does. For the end of the
    // program and of a test, never for a window.
    bool waitForDone(int milliseconds);

    void enqueue(std::function<void()> work);

    // The program's lanes. network: downloads from the picture servers (ten thumbnails at once);
    // uploads: one picture at a time, never queued behind slow thumbnails; sms: one request at a
    // time to the SMS platform; files: decoding, exports and printing; database: statements off
    // the window thread, each thread with a session of its own (db/ThreadSession.h): lists,
    // history, counts, the columns an upload changes. A lane whose work holds statements between
    // its network requests (the mass send's log, the reminder run) opens a session of its own
    // thread instead, so a slow request never occupies the database lane.
    static JobLane& network();
    static JobLane& uploads();
    static JobLane& sms();
    static JobLane& files();
    static JobLane& database();

private:
    QString m_name;
    std::unique_ptr<QThreadPool> m_pool;
};

// Waits for every lane; true when all are idle. Called by main() before the client libraries go.
bool waitForAllJobs(int milliseconds);

namespace detail {

class JobShared;

// A call on its way to the owner's thread: runs unless the job was cancelled meanwhile.
template <typename F> class Delivery {
public:
    Delivery(std::shared_ptr<JobShared> self, F call) : m_self(std::move(self)), m_call(std::move(call)) {}
    // Qt moves the call into the object it queues, under its own locks, which ThreadSanitizer
    // does not see: the last move marks the call handed over at its final place, and the owner's
    // thread takes it there before it runs the call or drops it unrun. Qt counts its holds on
    // that object (the posting thread's and the queued event's) in its own library, so either
    // thread may free it: the run marks the call handed back when it has run.
    Delivery(Delivery&& other) : m_self(std::move(other.m_self)), m_call(std::move(other.m_call)) { tsan::release(this); }
    Delivery& operator=(Delivery&&) = delete;
    ~Delivery() { tsan::acquire(this); }
    void operator()();

private:
    std::shared_ptr<JobShared> m_self;
    F m_call;
};

// What a job, its handle and its deliveries share. Thread affinity: any thread.
class JobShared {
public:
    explicit JobShared(QObject* owner) : m_owner(owner) {}

    // Queues the call on the owner's thread unless the job was cancelled or the owner is gone.
    // The call itself checks again, so a cancel that comes while it waits in the queue holds.
    template <typename F> bool post(F&& call)
    {
        std::lock_guard lock(m_mutex);
        QObject* owner = m_owner;
        if (!owner || m_cancel.load())
            return false;
        QMetaObject::invokeMethod(owner, Delivery<std::decay_t<F>>(self.lock(), std::forward<F>(call)),
            Qt::QueuedConnection);
        return true;
    }
    void cancel()
    {
        std::lock_guard lock(m_mutex);
        m_cancel = true;
        m_owner = nullptr;
    }
    bool cancelled() const { return m_cancel.load(); }
    const std::atomic_bool& cancelFlag() const { return m_cancel; }

    void setProgress(qint64 done, qint64 total, std::function<void(qint64, qint64)> const& deliver);

    std::atomic_bool finished {false};
    // Set on the owner's thread before the job starts; used there only.
    QMetaObject::Connection ownerWatch;
    // Set by startJob: a queued call holds the job's state until it has run.
    std::weak_ptr<JobShared> self;

private:
    std::mutex m_mutex;
    QObject* m_owner; // cleared under the mutex, which post() holds while posting
    std::atomic_bool m_cancel {false};
    std::atomic<qint64> m_done {0};
    std::atomic<qint64> m_total {0};
    std::atomic_bool m_progressQueued {false};
};

template <typename F> void Delivery<F>::operator()()
{
    tsan::acquire(this);
    if (!m_self->cancelled())
        m_call();
    tsan::release(this);
}

} // namespace detail

// What the work function sees of its job, on the lane's thread.
class JobControl {
public:
    explicit JobControl(std::shared_ptr<detail::JobShared> shared, std::function<void(qint64, qint64)> progress)
        : m_shared(std::move(shared)), m_progress(std::move(progress)) {}

    bool cancelled() const { return m_shared->cancelled(); }
    // For transfers and decoders that poll a flag of their own.
    const std::atomic_bool& cancelFlag() const { return m_shared->cancelFlag(); }
    // Reports how far the work has come. Reports are merged: the owner sees the latest one, and
    // never more reports than it can handle.
    void progress(qint64 done, qint64 total) { m_shared->setProgress(done, total, m_progress); }
    // Hands a part of the result to the owner's thread now (one thumbnail of several, say).
    template <typename F> void post(F&& call) { m_shared->post(std::forward<F>(call)); }

private:
    std::shared_ptr<detail::JobShared> m_shared;
    std::function<void(qint64, qint64)> m_progress;
};

// The owner's hold on a job. Dropping the handle does not stop the job; cancel() does, and so
// does the destruction of the owner. Thread affinity: the owner's thread.
class JobHandle {
public:
    JobHandle() = default;
    explicit JobHandle(std::shared_ptr<detail::JobShared> shared) : m_shared(std::move(shared)) {}

    // Stops the job quietly: its work sees the flag, and no result or progress is delivered.
    void cancel()
    {
        if (m_shared)
            m_shared->cancel();
    }
    // Started, neither finished nor cancelled.
    bool running() const { return m_shared && !m_shared->finished && !m_shared->cancelled(); }
    bool cancelled() const { return m_shared && m_shared->cancelled(); }

private:
    std::shared_ptr<detail::JobShared> m_shared;
};

// Runs work(control) on the lane. When it returns, done(result) runs on the owner's thread, unless
// the job was cancelled or the owner destroyed first. progress(done, total) runs on the owner's
// thread too. A work function that returns void is finished with done().
template <typename Work, typename Done>
JobHandle startJob(JobLane& lane, QObject* owner, Work work, Done done,
    std::function<void(qint64, qint64)> progress = {})
{
    auto shared = std::make_shared<detail::JobShared>(owner);
    shared->self = shared;
    // The owner's end cancels its jobs. The connection goes when the result is delivered, so a
    // long-lived window does not gather one per job; otherwise with the owner.
    shared->ownerWatch = QObject::connect(
        owner, &QObject::destroyed, owner, [weak = std::weak_ptr(shared)] {
            if (auto s = weak.lock())
                s->cancel();
        },
        Qt::DirectConnection);
    lane.enqueue([shared, work = std::move(work), done = std::move(done), progress = std::move(progress)]() mutable {
        JobControl control(shared, std::move(progress));
        if (!shared->cancelled()) {
            using Result = std::invoke_result_t<Work&, JobControl&>;
            if constexpr (std::is_void_v<Result>) {
                work(control);
                shared->finished = true;
                shared->post([shared, done = std::move(done)]() mutable {
                    QObject::disconnect(shared->ownerWatch);
                    done();
                });
            } else {
                Result result = work(control);
                shared->finished = true;
                shared->post([shared, done = std::move(done), result = std::move(result)]() mutable {
                    QObject::disconnect(shared->ownerWatch);
                    done(std::move(result));
                });
            }
        }
        shared->finished = true;
    });
    return JobHandle(shared);
}

} // namespace fd

#pragma once

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <functional>
#include <mutex>
#include <utility>

// Background work for the windows: workers never touch widgets; they post their results to the
// window's thread through a WorkerLink, which the window cuts when it goes away.
namespace fd::vehicles {

// Thread affinity: post() and cancelled() from any thread; detach() from the receiver's thread.
class WorkerLink {
public:
    explicit WorkerLink(QObject* receiver) : m_receiver(receiver) {}

    // Queues the call on the receiver's thread. False, and nothing queued, once detached. A call
    // still queued when the receiver is destroyed is dropped with it.
    template <typename F> bool post(F&& call)
    {
        std::lock_guard lock(m_mutex);
        QObject* receiver = m_receiver.load();
        if (!receiver)
            return false;
        QMetaObject::invokeMethod(receiver, std::forward<F>(call), Qt::QueuedConnection);
        return true;
    }
    // Called by the receiver before it goes: returns at once, and nothing is posted after it.
    void detach()
    {
        std::lock_guard lock(m_mutex);
        m_receiver = nullptr;
        m_cancel = true;
    }
    // Set by detach(); a transfer checks it to end early.
    const std::atomic_bool& cancelFlag() const { return m_cancel; }

private:
    std::mutex m_mutex;
    std::atomic<QObject*> m_receiver; // changed only under the mutex, which post() holds while posting
    std::atomic_bool m_cancel {false};
};

// Runs the work on a new thread of its own that nobody waits for.
void startWorker(std::function<void()> work);
// Workers still running.
int runningWorkers();
// Waits until every worker has ended or the time is up; true when none runs. For the end of the
// program (and of a test), so that no worker outlives the client libraries.
bool waitForWorkers(int milliseconds);

} // namespace fd::vehicles

// Background jobs: results on the owner's thread, nothing after a cancel or the owner's end,
// merged progress, lanes as wide as they say.
#include "common/Jobs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <semaphore>

using namespace fd;

namespace {

// Runs events until pred holds or the time is up.
template <typename P> bool runUntil(P pred, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return pred();
}

} // namespace

TEST(Jobs, ResultArrivesOnTheOwnersThreadAfterTheWorkRanOnTheLane)
{
    JobLane lane(QStringLiteral("t"), 1);
    QObject owner;
    QThread* workThread = nullptr;
    QThread* doneThread = nullptr;
    int result = 0;
    JobHandle job = startJob(
        lane, &owner,
        [&](JobControl&) {
            workThread = QThread::currentThread();
            return 42;
        },
        [&](int r) {
            doneThread = QThread::currentThread();
            result = r;
        });
    ASSERT_TRUE(runUntil([&] { return result != 0; }));
    EXPECT_EQ(result, 42);
    EXPECT_EQ(doneThread, QThread::currentThread());
    EXPECT_NE(workThread, QThread::currentThread());
    EXPECT_FALSE(job.running());
}

TEST(Jobs, NothingIsDeliveredAfterACancelOrTheOwnersEndAndTheWorkSeesTheFlag)
{
    JobLane lane(QStringLiteral("t"), 2);
    std::binary_semaphore started {0};
    std::atomic_bool sawCancel {false};
    int delivered = 0;
    int progressed = 0;
    auto work = [&](JobControl& c) {
        started.release();
        c.progress(1, 2);
        while (!c.cancelFlag().load())
            QThread::msleep(1);
        sawCancel = true;
        c.progress(2, 2);
        return 1;
    };

    // Cancelled by its handle while it runs.
    QObject owner;
    JobHandle job = startJob(lane, &owner, work, [&](int) { ++delivered; }, [&](qint64, qint64) { ++progressed; });
    started.acquire();
    job.cancel();
    ASSERT_TRUE(lane.waitForDone(5000));
    EXPECT_TRUE(sawCancel);
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered, 0);
    EXPECT_EQ(progressed, 0); // the report queued before the cancel is dropped too

    // Its owner destroyed while it runs: the work is told, nothing reaches the dead owner.
    sawCancel = false;
    auto gone = std::make_unique<QObject>();
    JobHandle orphan = startJob(lane, gone.get(), work, [&](int) { ++delivered; });
    started.acquire();
    gone.reset();
    ASSERT_TRUE(lane.waitForDone(5000));
    EXPECT_TRUE(sawCancel);
    EXPECT_TRUE(orphan.cancelled());
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered, 0);

    // Finished, but the owner went while the result waited in the queue.
    auto late = std::make_unique<QObject>();
    startJob(lane, late.get(), [](JobControl&) { return 3; }, [&](int) { ++delivered; });
    ASSERT_TRUE(lane.waitForDone(5000));
    late.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered, 0);
}

TEST(Jobs, ProgressIsMergedSoTheOwnerSeesTheLatestFigures)
{
    JobLane lane(QStringLiteral("t"), 1);
    QObject owner;
    std::vector<qint64> seen;
    bool done = false;
    startJob(
        lane, &owner,
        [](JobControl& c) {
            for (int i = 1; i <= 10000; ++i)
                c.progress(i, 10000);
        },
        [&] { done = true; }, [&](qint64 d, qint64 total) {
            EXPECT_EQ(total, 10000);
            seen.push_back(d);
        });
    ASSERT_TRUE(runUntil([&] { return done; }));
    ASSERT_FALSE(seen.empty());
    EXPECT_LT(seen.size(), 10000u); // merged, not one event per report
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 10000); // the last figures reach the owner
}

TEST(Jobs, ALaneRunsAsManyJobsAtOnceAsItIsWideAndQueuesTheRest)
{
    for (const int width : { 1, 10 }) {
        JobLane lane(QStringLiteral("t"), width);
        QObject owner;
        std::atomic<int> running {0};
        std::atomic<int> peak {0};
        int finished = 0;
        for (int i = 0; i < 12; ++i) {
            startJob(
                lane, &owner,
                [&](JobControl&) {
                    const int now = ++running;
                    int p = peak.load();
                    while (now > p && !peak.compare_exchange_weak(p, now)) {
                    }
                    QThread::msleep(60);
                    --running;
                },
                [&] { ++finished; });
        }
        ASSERT_TRUE(runUntil([&] { return finished == 12; }, 10000)) << width;
        EXPECT_EQ(peak.load(), width);
    }
}

TEST(Jobs, PartsPostedDuringTheWorkArriveInOrderBeforeTheResult)
{
    JobLane lane(QStringLiteral("t"), 1);
    QObject owner;
    QStringList order;
    startJob(
        lane, &owner,
        [&](JobControl& c) {
            for (int i = 0; i < 3; ++i)
                c.post([&order, i] { order << QString::number(i); });
            return QStringLiteral("end");
        },
        [&](QString r) { order << r; });
    ASSERT_TRUE(runUntil([&] { return order.size() == 4; }));
    EXPECT_EQ(order.join(QLatin1Char(',')), QStringLiteral("0,1,2,end"));
}

namespace {
class CountingOwner : public QObject {
public:
    int watchers() const { return receivers("2destroyed(QObject*)"); }
};
} // namespace

TEST(Jobs, AFinishedJobLetsGoOfItsOwnerSoALongLivedWindowGathersNothing)
{
    JobLane lane(QStringLiteral("t"), 2);
    CountingOwner owner;
    const int before = owner.watchers();
    int done = 0;
    for (int i = 0; i < 50; ++i)
        startJob(lane, &owner, [](JobControl&) { return 1; }, [&](int) { ++done; });
    ASSERT_TRUE(runUntil([&] { return done == 50; }));
    EXPECT_EQ(owner.watchers(), before);
}

// Background jobs: results on the owner's thread, nothing after a cancel or the owner's end,
// merged progress, lanes as wide as they say.
#include "common/Jobs.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QThread>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <numeric>
#include <semaphore>
#include <string>
#include <vector>

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
                [&, width](JobControl&) {
                    const int now = ++running;
                    int p = peak.load();
                    while (now > p && !peak.compare_exchange_weak(p, now)) {
                    }
                    // Held until the lane is full, however slowly its threads start.
                    const QDeadlineTimer until(5000);
                    while (peak.load() < width && !until.hasExpired())
                        QThread::msleep(1);
                    QThread::msleep(20);
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

// Plain data crosses threads with a job and needs no lock of its own: what the owner prepared
// before the start is seen by the work, what the work made by the owner's calls and after the
// lane's wait, and a call dropped unrun is freed on the owner's thread. In a ThreadSanitizer
// build every one of these is a reported race unless the hand-over orders it.
TEST(Jobs, DataHandedOverWithAJobIsOrderedBothWays)
{
    JobLane lane(QStringLiteral("t"), 1);
    QObject owner;
    // The job waits behind a busy one, so its thread takes it without a wake-up of its own (a
    // thread's start or wake-up would order everything before it anyway).
    std::binary_semaphore go {0};
    startJob(
        lane, &owner,
        [&](JobControl&) {
            go.acquire();
            QThread::msleep(100);
        },
        [] {});
    go.release();
    std::vector<int> prepared(1000);
    std::iota(prepared.begin(), prepared.end(), 1);
    std::vector<int> madeByWork;
    std::string received;
    bool done = false;
    startJob(
        lane, &owner,
        [&](JobControl& c) {
            madeByWork.assign(prepared.rbegin(), prepared.rend());
            for (char part = 'a'; part < 'd'; ++part)
                c.post([&received, text = std::string(100, part)] { received += text; });
            c.progress(1, 1);
            return std::string(4096, 'z');
        },
        [&](std::string result) {
            received += result;
            done = true;
        },
        [&](qint64, qint64) { received += '+'; });
    ASSERT_TRUE(runUntil([&] { return done; }));
    ASSERT_TRUE(lane.waitForDone(5000));
    ASSERT_EQ(madeByWork.size(), 1000u);
    EXPECT_EQ(madeByWork.front(), 1000);
    EXPECT_EQ(received, std::string(100, 'a') + std::string(100, 'b') + std::string(100, 'c') + '+' + std::string(4096, 'z'));

    // What a work leaves behind is read after the lane's wait, here after the work has ended.
    std::vector<int> left;
    startJob(lane, &owner, [&](JobControl&) { left.assign(prepared.begin(), prepared.end()); }, [] {});
    QThread::msleep(100);
    ASSERT_TRUE(lane.waitForDone(5000));
    EXPECT_EQ(left, prepared);

    // A part taken from the queue unrun while its work still goes on (nothing else orders the
    // two threads meanwhile) is freed here.
    done = false;
    startJob(
        lane, &owner,
        [](JobControl& c) {
            c.post([text = std::string(4096, 'y')] {});
            QThread::msleep(200);
        },
        [&] { done = true; });
    QThread::msleep(100);
    QCoreApplication::removePostedEvents(&owner, QEvent::MetaCall);
    ASSERT_TRUE(runUntil([&] { return done; }));
}

// Qt lets go of a queued part on the posting thread and on the owner's, in either order: a part the
// owner runs at once, while its work still posts, may be freed afterwards by the lane's thread. In
// a ThreadSanitizer build every such part whose run is not ordered before its end is a report.
TEST(Jobs, PartsRunWhileTheirWorkStillPostsArriveWholeWhicheverThreadFreesThem)
{
    JobLane lane(QStringLiteral("t"), 1);
    QObject owner;
    constexpr int parts = 5000;
    std::size_t received = 0;
    int runs = 0;
    bool done = false;
    startJob(
        lane, &owner,
        [&](JobControl& c) {
            for (int i = 0; i < parts; ++i)
                c.post([&, text = std::string(64 + i % 7, 'p')] {
                    received += text.size();
                    ++runs;
                });
        },
        [&] { done = true; });
    ASSERT_TRUE(runUntil([&] { return done; }, 30000));
    ASSERT_TRUE(lane.waitForDone(5000));
    std::size_t sent = 0;
    for (int i = 0; i < parts; ++i)
        sent += 64 + static_cast<std::size_t>(i % 7);
    EXPECT_EQ(runs, parts);
    EXPECT_EQ(received, sent);
}

// The tools a backup runs (the dump, its load, tar): their outcome, and a stop that ends them.
#include "backup/Tools.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>

using namespace fd::backup;

namespace {

TEST(Tools, AToolStoppedByTheUserEndsAtOnceAndFails)
{
    QTemporaryDir dir;
    const QString pidFile = dir.filePath(QStringLiteral("pid"));
    std::atomic_bool cancel {false};
    std::thread stopper([&] {
        while (!QFile::exists(pidFile))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        cancel = true;
    });
    QElapsedTimer clock;
    clock.start();
    QString error;
    // A shell that ignores the polite stop as a hung dump might: it must be killed.
    const bool ok = runTool(QStringLiteral("sh"),
        { QStringLiteral("-c"), QStringLiteral("trap '' TERM; echo $$ > '%1'; sleep 60 & wait").arg(pidFile) }, QString(),
        QString(), &error, &cancel);
    stopper.join();
    EXPECT_FALSE(ok);
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_TRUE(error.contains(QStringLiteral("已停止"))) << error.toStdString();
    QFile file(pidFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const int pid = file.readAll().trimmed().toInt();
    ASSERT_GT(pid, 0);
    EXPECT_NE(::kill(pid, 0), 0) << "the tool still runs";
}

TEST(Tools, OutcomeOfAToolThatEndsByItself)
{
    const struct {
        const char* script;
        bool ok;
        const char* said;
    } cases[] = {
        { "exit 0", true, "" },
        { "echo 'no such table' >&2; exit 3", false, "退出码 3）：no such table" },
        { "kill -9 $$", false, "失败" },
    };
    std::atomic_bool never {false};
    for (const auto& c : cases) {
        QString error;
        EXPECT_EQ(runTool(QStringLiteral("sh"), { QStringLiteral("-c"), QString::fromUtf8(c.script) }, QString(), QString(),
                      &error, &never),
            c.ok)
            << c.script;
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.said))) << c.script << ": " << error.toStdString();
    }
}

} // namespace

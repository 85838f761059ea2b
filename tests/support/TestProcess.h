#pragma once

// What the main of every test program does around its run, with or without widgets.
#include "common/Jobs.h"

#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fd::test {

// Before the application object: the offscreen platform, a private runtime folder, settings and
// data in test places, the locale pinned.
inline void prepareTestProcess(const QTemporaryDir& runtime)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}

// Runs every test; work a test left on a lane (a message on its way) ends before this returns.
inline int runAllTests(int& argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    fd::waitForAllJobs(60000);
    return rc;
}

} // namespace fd::test

// The main of every test program: an offscreen QApplication, a pinned locale, client libraries
// set up once before any thread.
#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThreadPool>
#include "common/Jobs.h"
#include <gtest/gtest.h>
#include <mysql.h>
#include <curl/curl.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    mysql_library_init(0, nullptr, nullptr);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    // Work a test left on the pool (a message on its way) ends before the client libraries go.
    fd::waitForAllJobs(60000);
    QThreadPool::globalInstance()->waitForDone();
    mysql_library_end();
    return rc;
}

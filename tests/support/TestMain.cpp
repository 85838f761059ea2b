// The main of the test programs that need widgets or the servers: an offscreen QApplication, a
// pinned locale, client libraries set up once before any thread.
#include "TestProcess.h"

#include <QApplication>
#include <curl/curl.h>
#include <mysql.h>

int main(int argc, char** argv)
{
    QTemporaryDir runtime;
    fd::test::prepareTestProcess(runtime);
    mysql_library_init(0, nullptr, nullptr);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    QApplication app(argc, argv);
    const int rc = fd::test::runAllTests(argc, argv);
    mysql_library_end();
    return rc;
}

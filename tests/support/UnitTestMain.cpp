// The main of the unit test programs that need no widgets and no server: a QCoreApplication and a
// pinned locale.
#include "TestProcess.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QTemporaryDir runtime;
    fd::test::prepareTestProcess(runtime);
    QCoreApplication app(argc, argv);
    return fd::test::runAllTests(argc, argv);
}

// The yardstick of the start-up benchmark: the least a Qt Widgets program does to put a window
// on the screen, one label.
#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("路衡通"));
    label.setWindowTitle(QStringLiteral("bare-label"));
    label.resize(318, 250);
    label.show();
    return app.exec();
}

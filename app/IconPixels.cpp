// Build tool: the pixels of a PNG picture as the program's windows hand them to the window system
// (QImage Format_ARGB32 after Qt's premultiplied form, 4 bytes a pixel in this machine's byte
// order, no header), so that the program copies them instead of decoding the PNG when it starts.
//
//   fleetdesk-icon-pixels PICTURE.png SIZE OUT
#include <QSaveFile>
#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: fleetdesk-icon-pixels PICTURE.png SIZE OUT\n");
        return 2;
    }
    const QString in = QString::fromLocal8Bit(argv[1]);
    const int size = QString::fromLocal8Bit(argv[2]).toInt();
    // A pixmap holds a picture premultiplied; the window system is given it straight again.
    const QImage image
        = QImage(in).convertToFormat(QImage::Format_ARGB32_Premultiplied).convertToFormat(QImage::Format_ARGB32);
    if (image.isNull() || image.width() != size || image.height() != size) {
        std::fprintf(stderr, "%s: not a %d x %d picture\n", argv[1], size, size);
        return 1;
    }
    QSaveFile out(QString::fromLocal8Bit(argv[3]));
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "%s: %s\n", argv[3], qPrintable(out.errorString()));
        return 1;
    }
    for (int y = 0; y < size; ++y) {
        const auto* line = reinterpret_cast<const char*>(image.constScanLine(y));
        if (out.write(line, qint64(size) * 4) != qint64(size) * 4) {
            std::fprintf(stderr, "%s: %s\n", argv[3], qPrintable(out.errorString()));
            return 1;
        }
    }
    return out.commit() ? 0 : 1;
}

#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <atomic>
#include <functional>

// Re-encoding of imported document pictures as JPEG with libjpeg-turbo. Pure data: no widgets,
// safe on any thread; the work runs on the calling thread.
namespace fd::pictures {

struct JpegOptions {
    bool grayscale = false; // false: colour, three components (RGB in, YCbCr in the file)
    int quality = 75;       // 1 to 100
    bool optimise = true;   // optimised Huffman tables
    int smoothing = 0;      // 0 to 100
};

// The largest picture an import accepts, read from the file's header before anything is decoded:
// a few hundred bytes can claim billions of pixels.
constexpr qint64 kMaxPicturePixels = 100'000'000;
constexpr int kMaxPictureSide = 30'000;

// How a conversion is watched from outside: a flag that stops it between rows, and progress in
// rows (done, total). Both optional.
struct JpegWatch {
    const std::atomic_bool* cancel = nullptr;
    std::function<void(qint64 done, qint64 total)> progress;
};

struct JpegResult {
    enum Status { Done, Unreadable, TooLarge, Cancelled };
    Status status = Unreadable;
    QByteArray bytes; // the new JPEG; empty unless Done
    QString error;    // why the source could not be converted
    QSize sourceSize; // as the header gives it, when it could be read
    bool ok() const { return status == Done; }
};

// Whether a picture of this size may be decoded at all.
bool pictureSizeAllowed(QSize size);

// Decodes a picture (JPEG in RGB, grayscale or CMYK, PNG, BMP, GIF, or any other format Qt reads),
// turns it upright as its EXIF orientation says, and encodes it as a baseline JPEG with the
// options. A header that claims more than the limits is refused before any pixel memory is taken.
// A JPEG is decoded and encoded row by row, without the whole picture in memory unless it must be
// turned.
JpegResult encodeJpeg(const QByteArray& source, const JpegOptions& options = {}, const JpegWatch& watch = {});

// Decodes a picture, turned upright, fitted into the box with its proportions kept (as it is when
// the box is empty); a JPEG is decoded at a reduced scale where it can be. Null for what is not a
// picture or is larger than the limits. For showing a picture without decoding it on the window's
// thread.
QImage fitPicture(const QByteArray& bytes, QSize box);

// Loads the source file and writes it to the target as JPEG; the two may be the same file. The
// target is replaced only when the whole conversion succeeded. False, with the reason, otherwise.
bool convertToJpeg(const QString& source, const QString& target, const JpegOptions& options = {},
    QString* error = nullptr);

} // namespace fd::pictures

#pragma once

#include <QByteArray>
#include <QString>

// Re-encoding of imported document pictures as JPEG with libjpeg-turbo. Pure data: no widgets,
// safe on any thread.
namespace fd::vehicles {

struct JpegOptions {
    bool grayscale = false; // false: colour, three components (RGB in, YCbCr in the file)
    int quality = 75;       // 1 to 100
    bool optimise = true;   // optimised Huffman tables
    int smoothing = 0;      // 0 to 100
};

struct JpegResult {
    QByteArray bytes; // the new JPEG; empty on failure
    QString error;    // why the source could not be converted
    bool ok() const { return !bytes.isEmpty(); }
};

// Decodes a picture (JPEG in RGB, grayscale or CMYK, PNG, BMP, or any other format Qt reads) and
// encodes it as a baseline JPEG with the options.
JpegResult encodeJpeg(const QByteArray& source, const JpegOptions& options = {});

// Loads the source file and writes it to the target as JPEG; the two may be the same file. The
// target is replaced only when the whole conversion succeeded. False, with the reason, otherwise.
bool convertToJpeg(const QString& source, const QString& target, const JpegOptions& options = {},
    QString* error = nullptr);

} // namespace fd::vehicles

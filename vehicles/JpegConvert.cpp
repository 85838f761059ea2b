#include "vehicles/JpegConvert.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <csetjmp>
#include <cstdio> // before jpeglib.h, which uses FILE
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace fd::vehicles {
namespace {

// libjpeg's default error handler ends the process: this one jumps back with the message.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jumpOnError(j_common_ptr info)
{
    auto* e = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, e->message);
    std::longjmp(e->jump, 1);
}

void ignoreMessage(j_common_ptr) {}

ErrorManager* setUpErrors(ErrorManager& e)
{
    jpeg_std_error(&e.pub);
    e.pub.error_exit = jumpOnError;
    e.pub.output_message = ignoreMessage; // a damaged but readable file is not worth a log line
    e.message[0] = '\0';
    return &e;
}

struct RgbImage {
    int width = 0;
    int height = 0;
    std::unique_ptr<unsigned char[]> pixels; // width * 3 bytes per row, rows top down
    std::size_t stride() const { return static_cast<std::size_t>(width) * 3; }
    void allocate(int w, int h)
    {
        width = w;
        height = h;
        pixels.reset(new unsigned char[stride() * static_cast<std::size_t>(h)]); // no need to clear
    }
    unsigned char* row(std::size_t y) const { return pixels.get() + stride() * y; }
};

// Rows decoded so far, for an encoder that runs while the decoder still works.
struct Progress {
    std::atomic<int> rows {0};
    std::atomic_bool failed {false};
};

bool isJpeg(const QByteArray& bytes)
{
    return bytes.size() > 3 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xD8;
}

constexpr int kBatchRows = 16;

struct MemoryDestination {
    unsigned char* buffer = nullptr; // allocated by libjpeg with malloc
    unsigned long size = 0;
    ~MemoryDestination() { std::free(buffer); }
};

// The decoder's scanline loop, on its own thread; its errors jump back here.
void decodeRows(jpeg_decompress_struct& d, ErrorManager& errors, const RgbImage& image, Progress& progress)
{
    if (setjmp(errors.jump)) {
        progress.failed = true;
        progress.rows.store(image.height);
        progress.rows.notify_all();
        return;
    }
    JSAMPROW rows[kBatchRows];
    while (d.output_scanline < d.output_height) {
        const JDIMENSION first = d.output_scanline;
        const JDIMENSION count = std::min<JDIMENSION>(kBatchRows, d.output_height - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = image.row(first + i);
        JDIMENSION done = 0;
        while (done < count)
            done += jpeg_read_scanlines(&d, rows + done, count - done);
        progress.rows.store(static_cast<int>(d.output_scanline), std::memory_order_release);
        progress.rows.notify_all();
    }
    jpeg_finish_decompress(&d);
}

// Encodes the image; with progress, each row once the decoder has written it.
bool encode(const RgbImage& image, const JpegOptions& options, Progress* progress, QByteArray& out, QString& error)
{
    jpeg_compress_struct c {};
    ErrorManager errors;
    MemoryDestination destination;
    c.err = &setUpErrors(errors)->pub;
    if (setjmp(errors.jump)) {
        error = QString::fromLatin1(errors.message);
        jpeg_destroy_compress(&c);
        return false;
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, &destination.buffer, &destination.size);
    c.image_width = static_cast<JDIMENSION>(image.width);
    c.image_height = static_cast<JDIMENSION>(image.height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    if (options.grayscale)
        jpeg_set_colorspace(&c, JCS_GRAYSCALE);
    jpeg_set_quality(&c, std::clamp(options.quality, 1, 100), TRUE);
    // After set_defaults, which resets both. No progression call: the file stays baseline.
    c.optimize_coding = options.optimise ? TRUE : FALSE;
    c.smoothing_factor = std::clamp(options.smoothing, 0, 100);
    jpeg_start_compress(&c, TRUE);
    JSAMPROW rows[kBatchRows];
    while (c.next_scanline < c.image_height) {
        int ready = image.height;
        if (progress) {
            ready = progress->rows.load(std::memory_order_acquire);
            while (ready <= static_cast<int>(c.next_scanline)) {
                progress->rows.wait(ready);
                ready = progress->rows.load(std::memory_order_acquire);
            }
            if (progress->failed) {
                jpeg_destroy_compress(&c);
                return false;
            }
        }
        const JDIMENSION first = c.next_scanline;
        const JDIMENSION count = std::min<JDIMENSION>(kBatchRows, static_cast<JDIMENSION>(ready) - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = image.row(first + i);
        jpeg_write_scanlines(&c, rows, count);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    out = QByteArray(reinterpret_cast<const char*>(destination.buffer), static_cast<qsizetype>(destination.size));
    return true;
}

// A JPEG that libjpeg can turn into RGB itself (YCbCr, grayscale): decoded on a second thread
// while the encoder takes its rows, as a decoder and an encoder joined by a pipe would. False
// with decodable = false for what it cannot read (CMYK, YCCK, damaged data).
bool reencodeJpeg(const QByteArray& source, const JpegOptions& options, QByteArray& out, QString& error, bool& decodable)
{
    jpeg_decompress_struct d {};
    ErrorManager errors;
    d.err = &setUpErrors(errors)->pub;
    if (setjmp(errors.jump)) {
        error = QString::fromLatin1(errors.message);
        jpeg_destroy_decompress(&d);
        decodable = false;
        return false;
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(source.constData()), static_cast<unsigned long>(source.size()));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    RgbImage image;
    image.allocate(static_cast<int>(d.output_width), static_cast<int>(d.output_height));
    Progress progress;
    std::thread decoder([&] { decodeRows(d, errors, image, progress); });
    // Should the encoder fail, the decoder still runs to its end: it only writes the buffer.
    const bool encoded = encode(image, options, &progress, out, error);
    decoder.join();
    if (progress.failed) {
        error = QString::fromLatin1(errors.message);
        decodable = false;
    }
    jpeg_destroy_decompress(&d);
    return encoded && !progress.failed;
}

bool decodeWithQt(const QByteArray& source, RgbImage& image, QString& error)
{
    QImage decoded = QImage::fromData(source);
    if (decoded.isNull()) {
        error = QStringLiteral("不是可以识别的图片");
        return false;
    }
    // Transparent areas become white, as on paper.
    if (decoded.hasAlphaChannel()) {
        QImage flat(decoded.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, decoded);
        painter.end();
        decoded = flat;
    }
    const QImage rgb = decoded.convertToFormat(QImage::Format_RGB888);
    image.allocate(rgb.width(), rgb.height());
    for (int y = 0; y < image.height; ++y)
        std::copy_n(rgb.constScanLine(y), image.stride(), image.row(static_cast<std::size_t>(y)));
    return true;
}

} // namespace

JpegResult encodeJpeg(const QByteArray& source, const JpegOptions& options)
{
    JpegResult result;
    if (source.isEmpty()) {
        result.error = QStringLiteral("文件是空的");
        return result;
    }
    QString jpegError;
    if (isJpeg(source)) {
        bool decodable = true;
        if (reencodeJpeg(source, options, result.bytes, jpegError, decodable))
            return result;
        result.bytes.clear();
        if (decodable) { // read, but not written
            result.error = jpegError;
            return result;
        }
    }
    RgbImage image; // CMYK JPEG, PNG, BMP, ...
    if (!decodeWithQt(source, image, result.error)) {
        if (!jpegError.isEmpty())
            result.error += QStringLiteral("（") + jpegError + QStringLiteral("）");
        return result;
    }
    if (image.width <= 0 || image.height <= 0 || image.width > JPEG_MAX_DIMENSION || image.height > JPEG_MAX_DIMENSION) {
        result.error = QStringLiteral("图片尺寸无法保存为 JPEG");
        return result;
    }
    if (!encode(image, options, nullptr, result.bytes, result.error))
        result.bytes.clear();
    return result;
}

bool convertToJpeg(const QString& source, const QString& target, const JpegOptions& options, QString* error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error)
            *error = in.errorString();
        return false;
    }
    const JpegResult jpeg = encodeJpeg(in.readAll(), options);
    in.close();
    if (!jpeg.ok()) {
        if (error)
            *error = jpeg.error;
        return false;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(jpeg.bytes) != jpeg.bytes.size() || !out.commit()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}

} // namespace fd::vehicles

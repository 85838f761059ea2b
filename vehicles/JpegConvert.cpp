#include "vehicles/JpegConvert.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
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
    std::vector<unsigned char> pixels; // width * 3 bytes per row, rows top down
};

bool isJpeg(const QByteArray& bytes)
{
    return bytes.size() > 3 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xD8;
}

// Decodes a JPEG straight to RGB rows (YCbCr and grayscale sources). False for what libjpeg
// cannot turn into RGB itself (CMYK, YCCK) and for damaged data.
bool decodeWithLibjpeg(const QByteArray& source, RgbImage& image, QString& error)
{
    jpeg_decompress_struct d {};
    ErrorManager errors;
    d.err = &setUpErrors(errors)->pub;
    if (setjmp(errors.jump)) {
        error = QString::fromLatin1(errors.message);
        jpeg_destroy_decompress(&d);
        return false;
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(source.constData()), static_cast<unsigned long>(source.size()));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    image.width = static_cast<int>(d.output_width);
    image.height = static_cast<int>(d.output_height);
    const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
    image.pixels.resize(stride * static_cast<std::size_t>(image.height));
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = image.pixels.data() + stride * d.output_scanline;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return true;
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
    image.width = rgb.width();
    image.height = rgb.height();
    const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
    image.pixels.resize(stride * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        std::copy_n(rgb.constScanLine(y), stride, image.pixels.data() + stride * static_cast<std::size_t>(y));
    return true;
}

struct MemoryDestination {
    unsigned char* buffer = nullptr; // allocated by libjpeg with malloc
    unsigned long size = 0;
    ~MemoryDestination() { std::free(buffer); }
};

bool encode(const RgbImage& image, const JpegOptions& options, QByteArray& out, QString& error)
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
    const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
    while (c.next_scanline < c.image_height) {
        auto row = const_cast<JSAMPROW>(image.pixels.data() + stride * c.next_scanline);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    out = QByteArray(reinterpret_cast<const char*>(destination.buffer), static_cast<qsizetype>(destination.size));
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
    RgbImage image;
    QString jpegError;
    bool decoded = isJpeg(source) && decodeWithLibjpeg(source, image, jpegError);
    if (!decoded)
        decoded = decodeWithQt(source, image, result.error); // CMYK JPEG, PNG, BMP, ...
    if (!decoded) {
        if (!jpegError.isEmpty())
            result.error += QStringLiteral("（") + jpegError + QStringLiteral("）");
        return result;
    }
    if (image.width <= 0 || image.height <= 0 || image.width > JPEG_MAX_DIMENSION || image.height > JPEG_MAX_DIMENSION) {
        result.error = QStringLiteral("图片尺寸无法保存为 JPEG");
        return result;
    }
    if (!encode(image, options, result.bytes, result.error))
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

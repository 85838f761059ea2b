#include "pictures/JpegConvert.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageIOHandler>
#include <QImageReader>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <csetjmp>
#include <cstdio> // before jpeglib.h, which uses FILE
#include <cstdlib>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace fd::pictures {
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

constexpr int kBatchRows = 16;

// Everything libjpeg touches during one conversion. It lives on the heap, outside the frame that
// calls setjmp, so that a jump back leaves it intact; its destructor releases whatever was made.
struct Codec {
    ErrorManager errors;
    jpeg_decompress_struct d {};
    jpeg_compress_struct c {};
    bool hasDecoder = false;
    bool hasEncoder = false;
    unsigned char* out = nullptr; // allocated by libjpeg with malloc
    unsigned long outSize = 0;
    std::vector<unsigned char> batch; // rows on their way to the encoder
    std::vector<unsigned char> whole; // the decoded picture, when it must be turned first

    Codec()
    {
        jpeg_std_error(&errors.pub);
        errors.pub.error_exit = jumpOnError;
        errors.pub.output_message = ignoreMessage; // a damaged but readable file is not worth a log line
        errors.message[0] = '\0';
        d.err = &errors.pub;
        c.err = &errors.pub;
    }
    ~Codec()
    {
        if (hasEncoder)
            jpeg_destroy_compress(&c);
        if (hasDecoder)
            jpeg_destroy_decompress(&d);
        std::free(out);
    }
    Codec(const Codec&) = delete;
    Codec& operator=(const Codec&) = delete;

    QString message() const { return QString::fromLatin1(errors.message); }

    // May jump back to the caller's setjmp.
    void startEncoder(int width, int height, const JpegOptions& options)
    {
        jpeg_create_compress(&c);
        hasEncoder = true;
        jpeg_mem_dest(&c, &out, &outSize);
        c.image_width = static_cast<JDIMENSION>(width);
        c.image_height = static_cast<JDIMENSION>(height);
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
        batch.resize(static_cast<std::size_t>(width) * 3 * kBatchRows);
    }
    JSAMPROW batchRow(int i) { return batch.data() + static_cast<std::size_t>(c.image_width) * 3 * static_cast<std::size_t>(i); }
    QByteArray finishEncoder()
    {
        jpeg_finish_compress(&c);
        return QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(outSize));
    }
};

// Where each pixel of the upright picture comes from, as Qt applies an orientation: mirror and
// flip first, then a quarter turn clockwise.
struct Orientation {
    bool mirror = false;
    bool flip = false;
    bool rotate90 = false;
    bool none() const { return !mirror && !flip && !rotate90; }
    static Orientation from(QImageIOHandler::Transformations t)
    {
        return {t.testFlag(QImageIOHandler::TransformationMirror), t.testFlag(QImageIOHandler::TransformationFlip),
            t.testFlag(QImageIOHandler::TransformationRotate90)};
    }
};

bool cancelled(const JpegWatch& watch)
{
    return watch.cancel && watch.cancel->load();
}

void report(const JpegWatch& watch, qint64 done, qint64 total)
{
    if (watch.progress)
        watch.progress(done, total);
}

bool isJpeg(const QByteArray& bytes)
{
    return bytes.size() > 3 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xD8;
}

// The size that a BMP or GIF header claims, read here because Qt's readers give no size for a
// header they find implausible (and then no clear reason either). Invalid for other formats.
QSize claimedSize(const QByteArray& bytes)
{
    const auto at = [&](qsizetype i) { return static_cast<quint32>(static_cast<unsigned char>(bytes.at(i))); };
    const auto le16 = [&](qsizetype i) { return static_cast<int>(at(i) | at(i + 1) << 8); };
    const auto le32 = [&](qsizetype i) { return static_cast<qint32>(at(i) | at(i + 1) << 8 | at(i + 2) << 16 | at(i + 3) << 24); };
    if (bytes.size() >= 26 && bytes.startsWith("BM")) {
        if (le32(14) == 12) // the old OS/2 header: 16-bit sides
            return QSize(le16(18), le16(20));
        const qint64 height = le32(22);
        return QSize(le32(18), static_cast<int>(std::min<qint64>(std::abs(height), INT_MAX)));
    }
    if (bytes.size() >= 10 && (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")))
        return QSize(le16(6), le16(8)); // the logical screen every frame is drawn on
    return QSize();
}

QString tooLargeText(QSize size)
{
    return QStringLiteral("图片为 %1×%2 像素，超过了可以导入的大小（最多 1 亿像素，每边最多 %3 像素）")
        .arg(size.width())
        .arg(size.height())
        .arg(kMaxPictureSide);
}

// A JPEG that libjpeg can turn into RGB itself (YCbCr, grayscale): decoded and encoded row by row
// on this thread. Undecodable (the result's status Unreadable) for what it cannot read (CMYK,
// YCCK, damaged data), so that Qt may try.
void transcodeJpeg(const QByteArray& source, Orientation turn, const JpegOptions& options, const JpegWatch& watch,
    JpegResult& result)
{
    const auto codec = std::make_unique<Codec>();
    Codec& k = *codec;
    if (setjmp(k.errors.jump)) {
        // Unreadable either way: Qt's own decoder may still read what libjpeg cannot turn into RGB.
        result.status = JpegResult::Unreadable;
        result.error = k.message();
        return;
    }
    jpeg_create_decompress(&k.d);
    k.hasDecoder = true;
    jpeg_mem_src(&k.d, reinterpret_cast<const unsigned char*>(source.constData()), static_cast<unsigned long>(source.size()));
    jpeg_read_header(&k.d, TRUE);
    const QSize header(static_cast<int>(k.d.image_width), static_cast<int>(k.d.image_height));
    result.sourceSize = header;
    if (!pictureSizeAllowed(header)) { // before the decoder takes any memory for rows
        result.status = JpegResult::TooLarge;
        result.error = tooLargeText(header);
        return;
    }
    k.d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&k.d);
    const int sw = static_cast<int>(k.d.output_width);
    const int sh = static_cast<int>(k.d.output_height);
    const std::size_t stride = static_cast<std::size_t>(sw) * 3;
    JSAMPROW rows[kBatchRows];

    if (turn.none()) { // each batch of rows goes straight from the decoder to the encoder
        k.startEncoder(sw, sh, options);
        while (k.d.output_scanline < k.d.output_height) {
            if (cancelled(watch)) {
                result.status = JpegResult::Cancelled;
                return;
            }
            const int count = std::min(kBatchRows, sh - static_cast<int>(k.d.output_scanline));
            for (int i = 0; i < count; ++i)
                rows[i] = k.batchRow(i);
            int done = 0;
            while (done < count)
                done += static_cast<int>(jpeg_read_scanlines(&k.d, rows + done, static_cast<JDIMENSION>(count - done)));
            jpeg_write_scanlines(&k.c, rows, static_cast<JDIMENSION>(count));
            report(watch, k.d.output_scanline, sh);
        }
    } else { // a turned picture needs all of its rows before the first upright one
        const int ow = turn.rotate90 ? sh : sw;
        const int oh = turn.rotate90 ? sw : sh;
        const qint64 total = qint64(sh) + oh;
        k.whole.resize(stride * static_cast<std::size_t>(sh));
        while (k.d.output_scanline < k.d.output_height) {
            if (cancelled(watch)) {
                result.status = JpegResult::Cancelled;
                return;
            }
            const int first = static_cast<int>(k.d.output_scanline);
            const int count = std::min(kBatchRows, sh - first);
            for (int i = 0; i < count; ++i)
                rows[i] = k.whole.data() + stride * static_cast<std::size_t>(first + i);
            int done = 0;
            while (done < count)
                done += static_cast<int>(jpeg_read_scanlines(&k.d, rows + done, static_cast<JDIMENSION>(count - done)));
            report(watch, k.d.output_scanline, total);
        }
        k.startEncoder(ow, oh, options);
        for (int first = 0; first < oh; first += kBatchRows) {
            if (cancelled(watch)) {
                result.status = JpegResult::Cancelled;
                return;
            }
            const int count = std::min(kBatchRows, oh - first);
            for (int i = 0; i < count; ++i) {
                const int oy = first + i;
                unsigned char* to = k.batchRow(i);
                rows[i] = to;
                for (int ox = 0; ox < ow; ++ox, to += 3) {
                    const int ix = turn.rotate90 ? oy : ox;
                    const int iy = turn.rotate90 ? sh - 1 - ox : oy;
                    const int sx = turn.mirror ? sw - 1 - ix : ix;
                    const int sy = turn.flip ? sh - 1 - iy : iy;
                    const unsigned char* from = k.whole.data() + stride * static_cast<std::size_t>(sy) + std::size_t(sx) * 3;
                    to[0] = from[0];
                    to[1] = from[1];
                    to[2] = from[2];
                }
            }
            jpeg_write_scanlines(&k.c, rows, static_cast<JDIMENSION>(count));
            report(watch, sh + first + count, total);
        }
        std::vector<unsigned char>().swap(k.whole);
    }
    result.bytes = k.finishEncoder();
    result.status = JpegResult::Done;
}

// Encodes a decoded picture (RGB888) row by row.
void encodeImage(const QImage& rgb, const JpegOptions& options, const JpegWatch& watch, JpegResult& result)
{
    const auto codec = std::make_unique<Codec>();
    Codec& k = *codec;
    if (setjmp(k.errors.jump)) {
        result.status = JpegResult::Unreadable;
        result.error = k.message();
        return;
    }
    k.startEncoder(rgb.width(), rgb.height(), options);
    JSAMPROW rows[kBatchRows];
    const std::size_t stride = static_cast<std::size_t>(rgb.width()) * 3;
    for (int first = 0; first < rgb.height(); first += kBatchRows) {
        if (cancelled(watch)) {
            result.status = JpegResult::Cancelled;
            return;
        }
        const int count = std::min(kBatchRows, rgb.height() - first);
        for (int i = 0; i < count; ++i) {
            std::copy_n(rgb.constScanLine(first + i), stride, k.batchRow(i));
            rows[i] = k.batchRow(i);
        }
        jpeg_write_scanlines(&k.c, rows, static_cast<JDIMENSION>(count));
        report(watch, first + count, rgb.height());
    }
    result.bytes = k.finishEncoder();
    result.status = JpegResult::Done;
}

void encodeWithQt(const QByteArray& source, const JpegOptions& options, const JpegWatch& watch, JpegResult& result)
{
    QBuffer buffer;
    buffer.setData(source);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    // For a format whose header does not give its size: the decoder stops at the limit itself.
    reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 1);
    QImage decoded;
    if (!reader.read(&decoded) || decoded.isNull()) {
        result.status = JpegResult::Unreadable;
        result.error = QStringLiteral("不是可以识别的图片");
        return;
    }
    if (cancelled(watch)) {
        result.status = JpegResult::Cancelled;
        return;
    }
    if (!pictureSizeAllowed(decoded.size())) {
        result.status = JpegResult::TooLarge;
        result.error = tooLargeText(decoded.size());
        return;
    }
    // Transparent areas become white, as on paper.
    if (decoded.hasAlphaChannel()) {
        QImage flat(decoded.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, decoded);
        painter.end();
        decoded = std::move(flat);
    }
    encodeImage(decoded.convertToFormat(QImage::Format_RGB888), options, watch, result);
}

} // namespace

bool pictureSizeAllowed(QSize size)
{
    return size.width() > 0 && size.height() > 0 && size.width() <= kMaxPictureSide
        && size.height() <= kMaxPictureSide && qint64(size.width()) * size.height() <= kMaxPicturePixels;
}

JpegResult encodeJpeg(const QByteArray& source, const JpegOptions& options, const JpegWatch& watch)
{
    JpegResult result;
    if (source.isEmpty()) {
        result.error = QStringLiteral("文件是空的");
        return result;
    }
    if (const QSize claimed = claimedSize(source); claimed.isValid() && !pictureSizeAllowed(claimed)) {
        result.sourceSize = claimed;
        result.status = JpegResult::TooLarge;
        result.error = tooLargeText(claimed);
        return result;
    }
    // The header alone: its size, and how the picture must be turned to stand upright.
    QBuffer buffer;
    buffer.setData(source);
    buffer.open(QIODevice::ReadOnly);
    QImageReader header(&buffer);
    const QSize size = header.size();
    if (size.isValid()) {
        result.sourceSize = size;
        if (!pictureSizeAllowed(size)) {
            result.status = JpegResult::TooLarge;
            result.error = tooLargeText(size);
            return result;
        }
    }
    if (isJpeg(source)) {
        transcodeJpeg(source, Orientation::from(header.transformation()), options, watch, result);
        if (result.status != JpegResult::Unreadable)
            return result;
    }
    const QString jpegError = result.error;
    result = JpegResult();
    encodeWithQt(source, options, watch, result); // CMYK JPEG, PNG, BMP, GIF, ...
    if (result.status == JpegResult::Unreadable && !jpegError.isEmpty())
        result.error += QStringLiteral("（") + jpegError + QStringLiteral("）");
    if (!result.ok())
        result.bytes.clear();
    return result;
}

QImage fitPicture(const QByteArray& bytes, QSize box)
{
    if (bytes.isEmpty())
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 1);
    QSize size = reader.size();
    if (size.isValid()) {
        if (!pictureSizeAllowed(size))
            return QImage();
        if (reader.transformation().testFlag(QImageIOHandler::TransformationRotate90))
            size.transpose();
        if (!box.isEmpty() && (size.width() > box.width() || size.height() > box.height())) {
            QSize fitted = size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
            // The scaled size is applied before the turn.
            if (reader.transformation().testFlag(QImageIOHandler::TransformationRotate90))
                fitted.transpose();
            reader.setScaledSize(fitted);
        }
    }
    QImage picture;
    if (!reader.read(&picture))
        return QImage();
    if (!box.isEmpty() && (picture.width() > box.width() || picture.height() > box.height()))
        picture = picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return picture;
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

} // namespace fd::pictures

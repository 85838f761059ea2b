// Document pictures against the stack's database, FTP and web servers: the JPEG the import makes
// (upright, refused when its header claims too much, decoded off the window's thread), the picture
// window's refusals and failures, the upload read back over HTTP and what may happen while it
// runs or after the window closes, and the thumbnail loader's order and its stop when the vehicle
// window closes.
#include "support/AdminState.h"
#include "common/AppState.h"
#include "common/Jobs.h"
#include "common/Text.h"
#include "common/Cipher.h"
#include "db/Database.h"
#include "db/Transaction.h"
#include "net/Endpoints.h"
#include "support/ScriptedDialogs.h"
#include "support/FtpServer.h"
#include "support/TestSupport.h"
#include "pictures/PictureFiles.h"
#include "pictures/PictureWindow.h"
#include "pictures/ThumbnailLoader.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleHistory.h"
#include "app/VehicleWindow.h"
#include "support/Wait.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImageReader>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <gtest/gtest.h>
#include <jpeglib.h>

using namespace fd;
using namespace fd::vehicles;
using namespace fd::pictures;

namespace {

const QString kPlate = QStringLiteral("豫H12345");

// What a JPEG file says: its frame marker (0xC0 for baseline), and its header as libjpeg reads it,
// with the tables compared to libjpeg's own at quality 75.
struct JpegFacts {
    int frame = 0;
    int components = 0;
    bool quality75 = false;       // luminance quantisation table
    bool standardHuffman = false; // DC luminance table as standard, i.e. not optimised
};

JpegFacts inspect(const QByteArray& jpeg)
{
    JpegFacts f;
    const auto at = [&](qsizetype i) { return static_cast<int>(static_cast<unsigned char>(jpeg.at(i))); };
    for (qsizetype i = 2; !f.frame && i + 4 <= jpeg.size() && at(i) == 0xFF; i += 2 + (at(i + 2) << 8 | at(i + 3)))
        if (at(i + 1) >= 0xC0 && at(i + 1) <= 0xCF && at(i + 1) != 0xC4 && at(i + 1) != 0xC8 && at(i + 1) != 0xCC)
            f.frame = at(i + 1);
    jpeg_compress_struct c {};
    jpeg_decompress_struct d {};
    jpeg_error_mgr e {};
    c.err = d.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    jpeg_create_decompress(&d);
    c.in_color_space = JCS_RGB;
    c.input_components = 3;
    jpeg_set_defaults(&c); // standard Huffman tables
    jpeg_set_quality(&c, 75, TRUE);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(jpeg.constData()), static_cast<unsigned long>(jpeg.size()));
    if (jpeg_read_header(&d, TRUE) == JPEG_HEADER_OK) {
        f.components = d.num_components;
        if (const JQUANT_TBL* q = d.quant_tbl_ptrs[0])
            f.quality75 = std::equal(std::begin(q->quantval), std::end(q->quantval), c.quant_tbl_ptrs[0]->quantval);
        if (const JHUFF_TBL* h = d.dc_huff_tbl_ptrs[0])
            f.standardHuffman = std::equal(std::begin(h->bits), std::end(h->bits), c.dc_huff_tbl_ptrs[0]->bits);
    }
    jpeg_destroy_decompress(&d);
    jpeg_destroy_compress(&c);
    return f;
}

// A photo-like test picture: gradients and a shape, so the tables have something to fit.
QImage samplePicture(int w = 320, int h = 240)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x * y) % 256));
    QPainter(&image).fillRect(40, 40, 100, 80, Qt::red);
    return image;
}

// A picture of sensor noise saved as JPEG: large for its size, as a photo is.
QString noisePicture(const QString& path, int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < h; ++y)
        rng.fillRange(reinterpret_cast<quint32*>(image.scanLine(y)), w);
    image.save(path, "JPG", 90);
    return path;
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char b : bytes) {
        crc ^= static_cast<unsigned char>(b);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A tiny real file of the format whose header claims 65 500 x 65 500 pixels.
QByteArray claimingHugeSize(const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage(8, 8, QImage::Format_RGB32).save(&buffer, format);
    const auto put = [&](qsizetype at, quint32 value, int size, bool bigEndian) {
        for (int i = 0; i < size; ++i)
            bytes[at + i] = static_cast<char>(value >> (8 * (bigEndian ? size - 1 - i : i)));
    };
    if (qstrcmp(format, "jpg") == 0) {
        const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
        put(sof + 5, 65500, 2, true); // height, then width
        put(sof + 7, 65500, 2, true);
    } else if (qstrcmp(format, "png") == 0) {
        put(16, 65500, 4, true); // IHDR width, height, and the chunk's CRC after them
        put(20, 65500, 4, true);
        put(29, crc32(bytes.mid(12, 17)), 4, true);
    } else if (qstrcmp(format, "bmp") == 0) { // BITMAPINFOHEADER width, height
        put(18, 65500, 4, false);
        put(22, 65500, 4, false);
    } else { // GIF (which Qt does not write): a 1 x 1 frame on a 65 500 x 65 500 screen
        bytes = QByteArray::fromHex("47494638396101000100800000000000ffffff2c00000000010001000002024401003b");
        put(6, 65500, 2, false);
        put(8, 65500, 2, false);
    }
    return bytes;
}

// A field of /proc/self/status in kB ("VmHWM": the peak resident size).
qint64 memoryKb(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(qstrlen(field)) + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The peak resident size starts again from the present one.
void resetPeakMemory()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A web server on the test's event loop: answers every request "404" after a delay, and records
// the paths asked for (decoded, without the leading "/") in the order they came.
struct SlowWebServer : QTcpServer {
    explicit SlowWebServer(int delayMs)
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this, delayMs] {
            while (QTcpSocket* s = nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, s, [this, s, delayMs] {
                    if (!s->peek(s->bytesAvailable()).contains("\r\n\r\n"))
                        return;
                    paths << QUrl::fromPercentEncoding(s->readAll().split(' ').value(1).mid(1));
                    QTimer::singleShot(delayMs, s, [s] {
                        s->write("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
                        s->disconnectFromHost();
                    });
                });
        });
    }
    QStringList paths;
};

class PictureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { conn = test::freshDatabase(QStringLiteral("t_picture")); }
    static void TearDownTestSuite() { conn.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(conn && temp.isValid());
        test::mustExecute(test::adminBeside(conn), QStringLiteral("drop trigger if exists refuse_update"));
        test::mustExecute(test::adminBeside(conn), QStringLiteral("drop trigger if exists refuse_history"));
        test::mustExecute(conn, QStringLiteral("delete from celiangzongbiao"));
        test::mustExecute(conn, QStringLiteral("delete from ") + kHistoryTable);
        state.settings = test::stackSettings();
        state.dbConnection = conn;
    }

    void TearDown() override
    {
        EXPECT_TRUE(waitForAllJobs(20000)); // no job of this test may outlive it
        QCoreApplication::processEvents();
    }

    QString insertVehicle(const QString& plate, const QString& fileNumber)
    {
        test::mustExecute(
            conn, db::Statement("insert into celiangzongbiao set cepaihao=?, danganbianhao=?").bind(plate).bind(fileNumber));
        return test::queryValue(conn, QStringLiteral("select last_insert_id()"));
    }

    QString column(const QString& id, const QString& name)
    {
        return test::queryValue(conn, QStringLiteral("select %1 from celiangzongbiao where ID=%2").arg(name, id));
    }

    void setColumn(const QString& id, const QString& name, const QString& value)
    {
        test::mustExecute(
            conn, db::Statement("update celiangzongbiao set ?=? where ID=?").bindSql(name).bind(value).bindSql(id));
    }

    // A vehicle window that edits the given row.
    std::unique_ptr<app::VehicleWindow> editWindow(const QString& id)
    {
        state.newFlag = 0;
        state.modifyFlag = 1;
        state.editVehicleId = id;
        return std::make_unique<app::VehicleWindow>(state, dialogs, [] {});
    }

    // A source picture of the given kind ("rgb.jpg", "gray.jpg", "cmyk.jpg", "png", "bmp", "page.jpg").
    QString source(const QString& kind)
    {
        const QString path = temp.filePath(QStringLiteral("source.") + kind);
        if (kind == QLatin1String("page.jpg")) // an error page saved as .jpg
            writeFile(path, "<html><body>404 Not Found</body></html>");
        else if (kind == QLatin1String("gray.jpg"))
            samplePicture().convertToFormat(QImage::Format_Grayscale8).save(path, nullptr, 90);
        else
            samplePicture().save(path, nullptr, 90);
        if (kind == QLatin1String("cmyk.jpg"))
            QProcess::execute(QStringLiteral("convert"), {path, QStringLiteral("-colorspace"), QStringLiteral("CMYK"), path});
        return path;
    }

    std::unique_ptr<PictureWindow> openPicture(const QString& kind, const QString& plate = kPlate)
    {
        auto w = std::make_unique<PictureWindow>(state, dialogs, kind, plate, QByteArray());
        if (!w->refused())
            w->show();
        return w;
    }

    static QPushButton* button(QWidget& w, const char* name) { return w.findChild<QPushButton*>(QString::fromUtf8(name)); }

    // Clicks the button after scripting the file dialog's answer (empty: cancelled).
    void click(PictureWindow& w, const char* name, const QString& file)
    {
        dialogs.fileNames << file;
        QTest::mouseClick(button(w, name), Qt::LeftButton);
    }
    // Imports the file and waits until the import has ended (at once when no file is given).
    void import(PictureWindow& w, const QString& path)
    {
        QSignalSpy ended(&w, &PictureWindow::importEnded);
        click(w, "按钮_导入图片", path);
        if (!path.isEmpty()) {
            EXPECT_TRUE(ended.wait(30000)) << "the import did not end";
        }
    }

    // Presses 保存 and waits for the upload's end; true when it stored the picture.
    bool upload(PictureWindow& w)
    {
        QSignalSpy ended(&w, &PictureWindow::uploadEnded);
        QTest::mouseClick(button(w, "按钮_保存"), Qt::LeftButton);
        EXPECT_TRUE(ended.wait(20000)) << "the upload did not end";
        return !ended.isEmpty() && ended.at(0).at(0).toBool();
    }

    QString served(const QString& name) const { return QDir(test::stackDir() + QStringLiteral("/pic")).filePath(name); }

    static inline db::ConnectionPtr conn;
    AppState state = fd::test::adminState();
    test::ScriptedDialogs dialogs;
    QTemporaryDir temp;
};

TEST_F(PictureTest, ImportMakesAColourBaselineQuality75JpegFromEverySource)
{
    insertVehicle(kPlate, QStringLiteral("F1"));
    const QList<std::pair<QString, int>> sources = {{QStringLiteral("rgb.jpg"), 3}, {QStringLiteral("gray.jpg"), 1},
        {QStringLiteral("cmyk.jpg"), 4}, {QStringLiteral("png"), 0}, {QStringLiteral("bmp"), 0}};
    for (const auto& [kind, components] : sources) {
        SCOPED_TRACE(kind.toStdString());
        auto w = openPicture(QStringLiteral("营运证"));
        QFile::remove(w->workingCopyPath());
        const QString path = source(kind);
        if (components) { // the source really is what it claims
            EXPECT_EQ(inspect(readFile(path)).components, components);
        }
        import(*w, path);
        const QString exported = temp.filePath(QStringLiteral("out.jpg"));
        click(*w, "按钮_导出图片", exported);
        ASSERT_TRUE(dialogs.messages().isEmpty()) << dialogs.lastMessage().toStdString();
        const QByteArray copy = readFile(w->workingCopyPath());
        EXPECT_EQ(copy, w->shownBytes());
        EXPECT_EQ(readFile(exported), copy);
        const JpegFacts facts = inspect(copy);
        EXPECT_EQ(facts.frame, 0xC0);
        EXPECT_EQ(facts.components, 3);
        EXPECT_TRUE(facts.quality75);
        EXPECT_FALSE(facts.standardHuffman) << "Huffman tables not optimised";
        EXPECT_EQ(QImage::fromData(copy).size(), QSize(320, 240));
        EXPECT_TRUE(button(*w, "按钮_保存")->isEnabled());
        EXPECT_FALSE(w->findChild<QLabel*>(QStringLiteral("图片框_图片"))->pixmap().isNull());
    }
}

TEST_F(PictureTest, ImportThatCannotCompleteLeavesNothingReadyAndSaysWhy)
{
    insertVehicle(kPlate, QStringLiteral("F1"));
    const QList<std::pair<QString, QString>> cases = {{QString(), QString()}, // cancelled
        {temp.filePath(QStringLiteral("missing.jpg")), QStringLiteral("无法读取图片文件！")},
        {source(QStringLiteral("page.jpg")), QStringLiteral("无法导入此图片！")}};
    for (const auto& [file, message] : cases) {
        SCOPED_TRACE(file.toStdString());
        dialogs.clear();
        auto w = openPicture(QStringLiteral("营运证"));
        QFile::remove(w->workingCopyPath());
        import(*w, file);
        EXPECT_FALSE(QFile::exists(w->workingCopyPath()));
        EXPECT_FALSE(button(*w, "按钮_保存")->isEnabled());
        EXPECT_EQ(dialogs.lastMessage().section(QLatin1Char('\n'), 0, 0), message);
        // A good import, then a bad one: the earlier copy stays as it was but is not offered.
        import(*w, source(QStringLiteral("png")));
        const QByteArray good = readFile(w->workingCopyPath());
        ASSERT_FALSE(good.isEmpty());
        if (!file.isEmpty()) {
            import(*w, file);
            EXPECT_FALSE(button(*w, "按钮_保存")->isEnabled());
            EXPECT_EQ(readFile(w->workingCopyPath()), good);
        }
    }
}

TEST_F(PictureTest, UnknownPlateIsRefusedWithoutBeingWidenedByQuotes)
{
    insertVehicle(kPlate, QStringLiteral("F1"));
    const QString refusal = QStringLiteral("请先创建车辆基本后再上传图片信息！");
    // The quote must stay inside the literal: read as SQL it would match every row.
    for (const QString& plate : {QStringLiteral("豫H"), QStringLiteral("x' or '1'='1")}) {
        dialogs.clear();
        EXPECT_TRUE(openPicture(QStringLiteral("营运证"), plate)->refused()) << plate.toStdString();
        EXPECT_EQ(dialogs.lastMessage(), refusal);
    }
    // The same from the vehicle window in add mode: the picture window never opens.
    state.newFlag = 1;
    app::VehicleWindow form(state, dialogs, {});
    form.setPictureOpener([](PictureWindow&) { ADD_FAILURE() << "opened"; });
    dialogs.clear();
    QTest::mouseDClick(form.findChild<QLabel*>(QStringLiteral("图片框_挂车保险")), Qt::LeftButton);
    EXPECT_EQ(dialogs.lastMessage(), refusal);
}

TEST_F(PictureTest, UploadStoresTheFileAndNamesItInEveryRowOfThePlate)
{
    // A plate with a quote, shared by two rows; a third row must stay untouched.
    const QString plate = QStringLiteral("豫H1'234");
    const QString a = insertVehicle(plate, QStringLiteral("F1"));
    const QString b = insertVehicle(plate, QStringLiteral("F2"));
    const QString other = insertVehicle(QStringLiteral("豫H99999"), QStringLiteral("F3"));
    const QString name = pictureFileName(plate, QStringLiteral("挂车保险"));
    QFile::remove(served(name));
    state.loginUser = QStringLiteral("王会计");

    auto w = openPicture(QStringLiteral("挂车保险"), plate);
    import(*w, source(QStringLiteral("png")));
    ASSERT_TRUE(upload(*w));
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("保存挂车保险图片完成！请继续上传其他图片。"));
    EXPECT_EQ(w->result(), QDialog::Accepted);

    const QByteArray copy = readFile(w->workingCopyPath());
    ASSERT_FALSE(copy.isEmpty());
    EXPECT_EQ(readFile(served(name)), copy);
    const Settings& s = state.settings;
    EXPECT_EQ(net::httpGetFirst(thumbnailUrls(net::endpointsOf(s).webBases, name, s.gbkFileNames)), copy);
    for (const auto& [row, expected] : {std::pair(a, name), {b, name}, {other, QStringLiteral("<null>")}})
        EXPECT_EQ(column(row, QStringLiteral("guacebaoxiantupina")), expected);

    // Each row of the plate records who stored which picture over what; the other row nothing.
    for (const auto& [row, expected] : {std::pair(a, 1u), {b, 1u}, {other, 0u}}) {
        const auto history = readHistory(conn, row);
        ASSERT_TRUE(history && history->size() == expected);
        for (const HistoryEntry& e : *history)
            EXPECT_EQ(QStringList({e.user, e.host, e.action, e.column, e.oldValue, e.newValue}).join('|').toStdString(),
                QStringList({QStringLiteral("王会计"), QSysInfo::machineHostName(), kActionPicture,
                                QStringLiteral("guacebaoxiantupina"), QString(), name})
                    .join('|')
                    .toStdString());
    }
}

TEST_F(PictureTest, FailedUploadSaysSoInChineseAndKeepsTheWorkingCopy)
{
    const QString id = insertVehicle(kPlate, QStringLiteral("F1"));
    const Settings good = state.settings;
    const QString saveFailed = QStringLiteral("保存失败！");
    // headline, a word of the reason under it, a piece of the technical text in the details
    const QList<std::tuple<const char*, std::function<void(Settings&)>, QString, QString, QString>> cases = {
        {"FTP server down", [](Settings& s) { s.ftpPort = s.dbPort + 9; }, saveFailed, QStringLiteral("无法连接"),
            QStringLiteral("127.0.0.1:%1").arg(good.dbPort + 9)},
        {"wrong password",
            [](Settings& s) { s.ftpPassword = fd::encipherSetting(QStringLiteral("wrong"), s.settingKeyA, s.xorMask); },
            saveFailed, QStringLiteral("拒绝登录"), QStringLiteral("530")},
        {"column update refused", [](Settings&) {
             test::mustExecute(test::adminBeside(conn), QStringLiteral("create trigger refuse_update before update on celiangzongbiao "
                                                    "for each row signal sqlstate '45000' set message_text = 'locked'"));
         }, QStringLiteral("图片已上传到服务器，但车辆信息中的图片名称保存失败！"), QString(), QString()},
        // The column is written first, its history row refused after it: neither stays.
        {"history refused", [](Settings&) {
             test::mustExecute(test::adminBeside(conn), QStringLiteral("drop trigger if exists refuse_update"));
             test::mustExecute(test::adminBeside(conn), QStringLiteral("create trigger refuse_history before insert on ") + kHistoryTable
                     + QStringLiteral(" for each row signal sqlstate '45000' set message_text = 'full'"));
         }, QStringLiteral("图片已上传到服务器，但车辆信息中的图片名称保存失败！"), QString(), QString()}};
    for (const auto& [what, spoil, message, reason, details] : cases) {
        SCOPED_TRACE(what);
        state.settings = good;
        spoil(state.settings);
        dialogs.clear();
        auto w = openPicture(QStringLiteral("主车商险"));
        import(*w, source(QStringLiteral("rgb.jpg")));
        const QByteArray copy = readFile(w->workingCopyPath());
        EXPECT_FALSE(upload(*w));
        EXPECT_EQ(dialogs.lastMessage().section(QLatin1Char('\n'), 0, 0), message);
        if (!reason.isEmpty()) { // the reason in Chinese only, libcurl's words in the details
            const QString shown = dialogs.lastMessage().section(QLatin1Char('\n'), 1);
            EXPECT_TRUE(shown.contains(reason)) << shown.toStdString();
            EXPECT_FALSE(shown.contains(QRegularExpression(QStringLiteral("[A-Za-z0-9]")))) << shown.toStdString();
            EXPECT_TRUE(dialogs.shown.last().details.contains(details)) << dialogs.shown.last().details.toStdString();
        }
        EXPECT_EQ(readFile(w->workingCopyPath()), copy);
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(button(*w, "按钮_保存")->isEnabled()); // another try
        EXPECT_FALSE(w->uploaded());
        EXPECT_EQ(column(id, QStringLiteral("zucesangxiantupian")), QStringLiteral("<null>"));
    }
}

// The new picture takes the stored one's name only by a rename, never after deleting it: on a
// server that refuses the rename the stored picture stays readable and named by its column; on a
// server that refuses to rename onto an existing name it is set aside, then deleted. Nothing of
// the upload is left behind either way.
TEST_F(PictureTest, ARefusedRenameKeepsTheStoredPictureAndItsName)
{
    const QString kind = QStringLiteral("营运证");
    const QString name = pictureFileName(kPlate, kind);
    const QString columnName = pictureColumnOf(kind)->name;
    const QByteArray earlier = QByteArray("earlier picture ").repeated(64);
    const int port = state.settings.dbPort + 90;
    const QDir folder(test::stackDir() + QStringLiteral("/pic"));
    for (const auto& [refused, stored] : {std::pair("all", false), {"over", true}}) {
        SCOPED_TRACE(refused);
        const QString id = insertVehicle(kPlate, QStringLiteral("F1"));
        setColumn(id, columnName, name);
        ASSERT_TRUE(writeFile(served(name), earlier));
        test::FtpServer ftp(port, {QStringLiteral("--refuse-rename"), QString::fromLatin1(refused)});
        ASSERT_TRUE(ftp.started());
        state.settings.ftpPort = port;
        dialogs.clear();
        auto w = openPicture(kind);
        import(*w, source(QStringLiteral("png")));
        EXPECT_EQ(upload(*w), stored) << dialogs.lastMessage().toStdString();
        const QByteArray expected = stored ? readFile(w->workingCopyPath()) : earlier;
        EXPECT_EQ(readFile(served(name)), expected);
        const Settings& s = state.settings;
        EXPECT_EQ(net::httpGetFirst(thumbnailUrls(net::endpointsOf(s).webBases, name, s.gbkFileNames)), expected);
        EXPECT_EQ(column(id, columnName), name);
        EXPECT_EQ(readHistory(conn, id)->size(), stored ? 1u : 0u);
        EXPECT_EQ(folder.entryList({name + QStringLiteral(".*")}, QDir::Files), QStringList()) << "left behind";
        if (!stored) {
            EXPECT_EQ(dialogs.lastMessage().section(QLatin1Char('\n'), 0, 0), QStringLiteral("保存失败！"));
        }
    }
}

TEST_F(PictureTest, NothingChangesWhatAnUploadSendsAndTheThumbnailShowsWhatWasSent)
{
    const QString id = insertVehicle(kPlate, QStringLiteral("F1"));
    const QString kind = QStringLiteral("主车强险");
    auto form = editWindow(id);
    const QString first = source(QStringLiteral("png")), second = source(QStringLiteral("gray.jpg"));
    QByteArray sent;
    form->setPictureOpener([&](PictureWindow& w) {
        import(w, first);
        sent = w.shownBytes();
        QSignalSpy ended(&w, &PictureWindow::uploadEnded);
        QTest::mouseClick(button(w, "按钮_保存"), Qt::LeftButton);
        ASSERT_TRUE(w.uploading());
        // A second import while the first picture is on its way: refused, nothing read or written.
        EXPECT_FALSE(button(w, "按钮_导入图片")->isEnabled());
        dialogs.fileNames << second;
        w.importPicture();
        EXPECT_EQ(dialogs.fileNames.size(), 1) << "the file dialog was shown";
        dialogs.fileNames.clear();
        EXPECT_EQ(readFile(w.workingCopyPath()), sent);
        ASSERT_TRUE(ended.wait(20000));
        EXPECT_TRUE(ended.at(0).at(0).toBool());
        EXPECT_EQ(w.uploadedBytes(), sent);
    });
    QTest::mouseDClick(form->findChild<QLabel*>(pictureColumnOf(kind)->control), Qt::LeftButton);
    ASSERT_FALSE(sent.isEmpty());
    EXPECT_EQ(readFile(served(pictureFileName(kPlate, kind))), sent);
    EXPECT_EQ(form->thumbnailBytes(kind), sent);
    EXPECT_EQ(column(id, pictureColumnOf(kind)->name), pictureFileName(kPlate, kind));
}

TEST_F(PictureTest, ClosingDuringAnUploadAsksThenStopsTheTransferAndWritesNothing)
{
    const QString id = insertVehicle(kPlate, QStringLiteral("F1"));
    const QString kind = QStringLiteral("行车证2");
    const QString name = pictureFileName(kPlate, kind);
    // The picture stored before on the server, which a stopped upload must leave whole.
    const QByteArray earlier = QByteArray("earlier picture ").repeated(64);
    {
        QFile old(served(name));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        ASSERT_EQ(old.write(earlier), earlier.size());
    }
    // The stack's FTP server over the same folder, taking uploads at 100 kB a second.
    const int port = state.settings.dbPort + 70;
    test::FtpServer ftp(port, {QStringLiteral("--upload-rate"), QStringLiteral("100000")});
    ASSERT_TRUE(ftp.started());
    state.settings.ftpPort = port;

    auto w = openPicture(kind);
    import(*w, noisePicture(temp.filePath(QStringLiteral("noise.jpg")), 3000, 2000)); // several MB: about 30 s
    ASSERT_GT(w->shownBytes().size(), 2'500'000);
    QTest::mouseClick(button(*w, "按钮_保存"), Qt::LeftButton);
    // The transfer is under way, under a name of its own.
    const QString partPattern = name + QStringLiteral(".part-*");
    auto parts = [&] { return QDir(test::stackDir() + QStringLiteral("/pic")).entryInfoList({partPattern}, QDir::Files); };
    FD_WAIT_TRUE(parts().size() == 1 && parts().first().size() > 0, 10000);

    // Answered "no": the window stays open and the upload goes on.
    dialogs.answers << ui::Dialogs::No;
    w->close();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->uploading());
    // Answered "yes": the window closes, the transfer stops, nothing reaches the column.
    dialogs.answers << ui::Dialogs::Yes;
    w->close();
    EXPECT_FALSE(w->isVisible());
    w.reset();
    EXPECT_TRUE(waitForAllJobs(10000)) << "the transfer was not stopped";
    QCoreApplication::processEvents();
    QStringList kinds; // the file dialog of the import, then the two questions, then nothing
    for (const auto& shown : dialogs.shown)
        kinds << shown.kind;
    EXPECT_EQ(kinds, QStringList({QStringLiteral("open"), QStringLiteral("ask"), QStringLiteral("ask")}));
    EXPECT_EQ(column(id, QStringLiteral("xingcezengtupian2")), QStringLiteral("<null>"));
    QFile kept(served(name));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), earlier) << "the stopped upload replaced the stored picture";
    EXPECT_TRUE(parts().isEmpty()) << "the stopped upload left its part file";
}

// The name is written by a session of the database lane's own. Closing the window while that
// write waits on a row lock held by another session delivers nothing to the closed window, and the
// write, once it can go on, leaves the name with its history row: never one without the other.
TEST_F(PictureTest, ClosingWhileTheNameIsWrittenLeavesItWholeAndTellsNoClosedWindow)
{
    const QString id = insertVehicle(kPlate, QStringLiteral("F1"));
    const QString kind = QStringLiteral("驾驶员身份证");
    const QString columnName = pictureColumnOf(kind)->name;
    auto w = openPicture(kind);
    import(*w, source(QStringLiteral("png")));
    {
        db::Transaction hold(*conn);
        ASSERT_TRUE(hold.run(db::Statement("select ID from celiangzongbiao where ID=? for update").bindSql(id)).ok);
        QTest::mouseClick(button(*w, "按钮_保存"), Qt::LeftButton);
        // The server's transactions are the administrator's to see.
        const db::ConnectionPtr admin = test::connectAdmin();
        // The server refreshes its list of transactions only when nobody has read it for 0.1 s.
        const auto lockWaits = [&] {
            QTest::qWait(150);
            return test::queryValue(admin, QStringLiteral("select count(*) from information_schema.innodb_trx where trx_state='LOCK WAIT'"));
        };
        FD_WAIT_EQ(lockWaits(), QStringLiteral("1"), 20000);
        EXPECT_TRUE(w->uploading());
        dialogs.answers << ui::Dialogs::Yes;
        w->close();
        w.reset();
        EXPECT_TRUE(hold.rollback());
    }
    EXPECT_TRUE(waitForAllJobs(20000));
    QCoreApplication::processEvents();
    QStringList kinds; // the file dialog of the import, the question, then nothing
    for (const auto& shown : dialogs.shown)
        kinds << shown.kind;
    EXPECT_EQ(kinds, QStringList({QStringLiteral("open"), QStringLiteral("ask")}));
    const QString stored = column(id, columnName);
    const auto history = readHistory(conn, id);
    ASSERT_TRUE(history);
    EXPECT_TRUE((stored == pictureFileName(kPlate, kind) && history->size() == 1)
        || (stored == QStringLiteral("<null>") && history->empty()))
        << stored.toStdString() << " with " << history->size() << " history rows";
}

TEST_F(PictureTest, ImportRunsOffTheWindowThreadAndCancelKeepsTheEarlierCopy)
{
    insertVehicle(kPlate, QStringLiteral("F1"));
    auto w = openPicture(QStringLiteral("营运证"));
    import(*w, source(QStringLiteral("png")));
    const QByteArray earlier = readFile(w->workingCopyPath());
    ASSERT_FALSE(earlier.isEmpty());

    const QString photo = noisePicture(temp.filePath(QStringLiteral("photo.jpg")), 4000, 3000); // 12 MP
    QSignalSpy ended(w.get(), &PictureWindow::importEnded);
    click(*w, "按钮_导入图片", photo);
    // The click returned before the photo was decoded; the window shows how far it has come.
    ASSERT_TRUE(w->importing());
    auto* progress = w->findChild<QProgressBar*>(QStringLiteral("进度条_导入图片"));
    QPushButton* cancel = button(*w, "按钮_取消导入");
    ASSERT_TRUE(progress && cancel);
    EXPECT_TRUE(progress->isVisible() && cancel->isVisible());
    EXPECT_FALSE(button(*w, "按钮_保存")->isEnabled());
    FD_WAIT_TRUE(progress->value() > 0, 20000);
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_EQ(ended.size(), 1);
    EXPECT_FALSE(ended.at(0).at(0).toBool());
    EXPECT_TRUE(waitForAllJobs(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(ended.size(), 1) << "a result arrived after the cancel";
    EXPECT_EQ(readFile(w->workingCopyPath()), earlier);
    EXPECT_EQ(w->shownBytes(), earlier);
    EXPECT_TRUE(button(*w, "按钮_保存")->isEnabled()); // the earlier copy is still ready
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.lastMessage().toStdString();
}

TEST_F(PictureTest, PictureClaimingTooManyPixelsIsRefusedBeforeItIsDecoded)
{
    insertVehicle(kPlate, QStringLiteral("F1"));
    auto w = openPicture(QStringLiteral("营运证"));
    import(*w, source(QStringLiteral("png")));
    const QByteArray earlier = readFile(w->workingCopyPath());
    for (const char* format : {"jpg", "png", "bmp", "gif"}) {
        SCOPED_TRACE(format);
        const QString path = temp.filePath(QStringLiteral("huge.") + QLatin1String(format));
        ASSERT_TRUE(writeFile(path, claimingHugeSize(format)));
        ASSERT_LT(QFileInfo(path).size(), 2000);
        dialogs.clear();
        resetPeakMemory();
        const qint64 before = memoryKb("VmHWM");
        import(*w, path);
        EXPECT_LT(memoryKb("VmHWM") - before, 50 * 1024) << "kB taken for a picture that is refused";
        EXPECT_EQ(dialogs.lastMessage().section(QLatin1Char('\n'), 0, 0), QStringLiteral("图片太大，无法导入！"));
        EXPECT_TRUE(dialogs.lastMessage().contains(QStringLiteral("65500×65500"))) << dialogs.lastMessage().toStdString();
        EXPECT_EQ(readFile(w->workingCopyPath()), earlier);
        EXPECT_FALSE(button(*w, "按钮_保存")->isEnabled());
    }
}

TEST_F(PictureTest, PhotoIsStoredUprightAsItsOrientationSays)
{
    insertVehicle(kPlate, QStringLiteral("F1"));
    // As a phone held upright stores it: lying on its side (320 x 240), with orientation 6 (turn a
    // quarter clockwise to show). The red corner is stored top left and belongs top right.
    QImage stored(320, 240, QImage::Format_RGB32);
    stored.fill(Qt::white);
    QPainter(&stored).fillRect(0, 0, 60, 60, Qt::red);
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(stored.save(&buffer, "JPG", 95));
    }
    // APP1 "Exif", big-endian TIFF header, one IFD0 entry: Orientation (0x0112), SHORT, 1, 6.
    const QByteArray tiff = QByteArray::fromHex("4d4d002a00000008" "0001" "011200030000000100060000" "00000000");
    const QByteArray exif = QByteArray("Exif", 4) + QByteArray(2, '\0') + tiff;
    const int length = static_cast<int>(exif.size()) + 2;
    jpeg.insert(2, QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + exif);
    const QString path = temp.filePath(QStringLiteral("phone.jpg"));
    ASSERT_TRUE(writeFile(path, jpeg));
    {
        QImageReader reader(path);
        ASSERT_EQ(reader.transformation(), QImageIOHandler::TransformationRotate90) << "the test photo carries no orientation";
    }

    auto w = openPicture(QStringLiteral("营运证"));
    import(*w, path);
    ASSERT_TRUE(dialogs.messages().isEmpty()) << dialogs.lastMessage().toStdString();
    QImageReader result(w->workingCopyPath());
    result.setAutoTransform(false); // the stored pixels themselves
    const QImage upright = result.read();
    ASSERT_EQ(upright.size(), QSize(240, 320));
    const auto red = [&](int x, int y) {
        const QColor c = upright.pixelColor(x, y);
        return c.red() > 200 && c.green() < 80 && c.blue() < 80;
    };
    EXPECT_TRUE(red(240 - 20, 20));
    EXPECT_FALSE(red(20, 20));
    EXPECT_FALSE(red(20, 320 - 20));
    EXPECT_FALSE(red(240 - 20, 320 - 20));
}

TEST_F(PictureTest, PlateThatCannotBeOneFileNameIsRefusedForPictures)
{
    const QString refusal = QStringLiteral("此车牌号不能用作图片的文件名，无法保存图片！");
    ASSERT_EQ(text::toGbk(QStringLiteral("../豫A123")).bytes.size(), 9); // a plate the form accepts
    const QList<std::pair<QString, bool>> plates = {{QStringLiteral("../豫A123"), false},
        {QStringLiteral("豫A/12345"), false}, {QStringLiteral("豫A\\1234"), false}, {QStringLiteral(".."), false},
        {QStringLiteral("豫A:1234"), false}, {QStringLiteral("豫A*1234"), false}, {QStringLiteral("豫A?1234"), false},
        {QStringLiteral("豫A\"1234"), false}, {QStringLiteral("豫A12\t34"), false},
        {QStringLiteral("豫A123") + QChar(0) + QStringLiteral("4"), false}, {QStringLiteral("豫H12345"), true},
        {QStringLiteral("豫A..123"), true}};
    for (const auto& [plate, allowed] : plates) {
        SCOPED_TRACE(plate.toStdString());
        insertVehicle(plate, plate);
        dialogs.clear();
        auto w = openPicture(QStringLiteral("主车强险"), plate);
        EXPECT_EQ(w->refused(), !allowed);
        if (allowed) {
            EXPECT_TRUE(dialogs.messages().isEmpty());
            EXPECT_EQ(QFileInfo(w->workingCopyPath()).dir(), QDir(pictureFolder()));
        } else {
            EXPECT_EQ(dialogs.lastMessage().section(QLatin1Char('\n'), 0, 0), refusal);
            EXPECT_TRUE(w->workingCopyPath().isEmpty());
        }
    }
}

TEST_F(PictureTest, ThumbnailShowsOnlyAStoredPicture)
{
    // One stored picture, a stored name that is no picture, the rest empty.
    const QString id = insertVehicle(kPlate, QStringLiteral("F1"));
    const QString kind = QStringLiteral("营运证");
    const QString name = pictureFileName(kPlate, kind);
    ASSERT_TRUE(samplePicture(100, 150).save(served(name), "JPG"));
    const QByteArray first = readFile(served(name));
    setColumn(id, pictureColumnOf(kind)->name, name);
    ASSERT_TRUE(writeFile(served(QStringLiteral("note.jpg")), "not a picture"));
    setColumn(id, QStringLiteral("xingcezengtupian1"), QStringLiteral("note.jpg"));
    auto form = editWindow(id);
    ASSERT_TRUE(waitForAllJobs(10000));
    QCoreApplication::processEvents();
    for (const QString& k : thumbnailFetchOrder()) { // each thumbnail has its own picture
        SCOPED_TRACE(k.toStdString());
        EXPECT_EQ(form->thumbnailBytes(k), k == kind ? first : QByteArray());
        EXPECT_EQ(form->findChild<QLabel*>(pictureColumnOf(k)->control)->pixmap().isNull(), k != kind);
    }

    // The picture window starts from the thumbnail; only an upload replaces the thumbnail.
    QLabel* thumb = form->findChild<QLabel*>(pictureColumnOf(kind)->control);
    const QString png = source(QStringLiteral("png")), gray = source(QStringLiteral("gray.jpg"));
    QByteArray stored = first;
    bool uploadIt = true;
    form->setPictureOpener([&](PictureWindow& w) {
        EXPECT_EQ(w.shownBytes(), stored);
        import(w, uploadIt ? png : gray); // the second picture differs from the stored one
        if (uploadIt && upload(w))
            stored = w.shownBytes();
    });
    QTest::mouseDClick(thumb, Qt::LeftButton);
    EXPECT_NE(stored, first);
    EXPECT_EQ(form->thumbnailBytes(kind), stored);
    uploadIt = false;
    QTest::mouseDClick(thumb, Qt::LeftButton);
    EXPECT_EQ(form->thumbnailBytes(kind), stored);
    EXPECT_FALSE(thumb->pixmap().isNull());
}

TEST_F(PictureTest, LoaderAsksInOrderAndClosingNeverWaitsNorDeliversLate)
{
    const QString id = insertVehicle(kPlate, QStringLiteral("F1"));
    // One request at a time: the server sees the ten kinds in the fetch order.
    const QStringList& order = thumbnailFetchOrder();
    EXPECT_EQ(QSet<QString>(order.cbegin(), order.cend()).size(), 10);
    {
        SlowWebServer quick(0);
        QList<QStringList> urls;
        for (const QString& kind : order)
            urls << thumbnailUrls({QStringLiteral("http://127.0.0.1:%1").arg(quick.serverPort())}, kind, false);
        QObject receiver;
        QList<int> delivered;
        ThumbnailLoader loader(&receiver, urls, [&](int i, const QByteArray&, const QImage&) { delivered << i; }, 1);
        FD_WAIT_EQ(delivered.size(), 10, 10000);
        EXPECT_EQ(delivered, QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        EXPECT_EQ(quick.paths, order);
    }

    // A window closed while every download waits on the slow server.
    SlowWebServer slow(1500);
    state.settings.serverAddress = QStringLiteral("127.0.0.1");
    state.settings.webPort = slow.serverPort();
    auto form = editWindow(id);
    FD_WAIT_TRUE(!slow.paths.isEmpty(), 5000);
    QElapsedTimer closing;
    closing.start();
    form.reset();
    EXPECT_LT(closing.elapsed(), 200);

    // The same at the loader: a receiver gone before the answers come gets nothing.
    int lateDeliveries = 0;
    auto receiver = std::make_unique<QObject>();
    const QStringList url = thumbnailUrls({QStringLiteral("http://127.0.0.1:%1").arg(slow.serverPort())}, QStringLiteral("x"), false);
    ThumbnailLoader loader(receiver.get(), {url}, [&](int, const QByteArray&, const QImage&) { ++lateDeliveries; });
    QTest::qWait(100);
    loader.stop();
    receiver.reset();
    QTest::qWait(1700); // the server answers, and the cancelled downloads end
    ASSERT_TRUE(waitForAllJobs(5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(lateDeliveries, 0);
}

} // namespace

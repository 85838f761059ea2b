// Document pictures against the stack's database, FTP and web servers: the JPEG the import makes,
// the picture window's refusals and failures, the upload read back over HTTP, and the thumbnail
// loader's order and its stop when the vehicle window closes.
#include "common/AppState.h"
#include "db/Cipher.h"
#include "db/Database.h"
#include "net/Endpoints.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "vehicles/PictureFiles.h"
#include "vehicles/PictureWindow.h"
#include "vehicles/ThumbnailLoader.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleWindow.h"
#include "vehicles/Workers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
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
        test::mustExecute(conn, QStringLiteral("drop trigger if exists refuse_update"));
        test::mustExecute(conn, QStringLiteral("delete from celiangzongbiao"));
        state.settings = test::stackSettings();
        state.dbConnection = conn;
    }

    void TearDown() override
    {
        EXPECT_TRUE(waitForWorkers(20000)); // no worker of this test may outlive it
        QCoreApplication::processEvents();
    }

    QString insertVehicle(const QString& plate, const QString& fileNumber)
    {
        test::mustExecute(conn, QStringLiteral("insert into celiangzongbiao set cepaihao=%1, danganbianhao=%2")
                                    .arg(db::dbQuote(conn, plate), db::dbQuote(conn, fileNumber)));
        return test::queryValue(conn, QStringLiteral("select last_insert_id()"));
    }

    QString column(const QString& id, const QString& name)
    {
        return test::queryValue(conn, QStringLiteral("select %1 from celiangzongbiao where ID=%2").arg(name, id));
    }

    void setColumn(const QString& id, const QString& name, const QString& value)
    {
        test::mustExecute(conn,
            QStringLiteral("update celiangzongbiao set %1=%2 where ID=%3").arg(name, db::dbQuote(conn, value), id));
    }

    // A vehicle window that edits the given row.
    std::unique_ptr<VehicleWindow> editWindow(const QString& id)
    {
        state.newFlag = 0;
        state.modifyFlag = 1;
        state.editVehicleId = id;
        return std::make_unique<VehicleWindow>(state, dialogs, [] {});
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
    void import(PictureWindow& w, const QString& path) { click(w, "按钮_导入图片", path); }

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
    AppState state;
    test::ScriptedDialogs dialogs;
    QTemporaryDir temp;
};

TEST(PictureRules, AddressesEscapeEveryReservedByte)
{
    // UTF-8 by default, GBK on request (a name GBK cannot hold is not sent); one URL per server.
    const QStringList bases {QStringLiteral("http://10.0.0.5"), QStringLiteral("http://[::1]:8080")};
    EXPECT_EQ(thumbnailUrls(bases, QStringLiteral("豫 #?.jpg"), false),
        QStringList({QStringLiteral("http://10.0.0.5/%E8%B1%AB%20%23%3F.jpg"), QStringLiteral("http://[::1]:8080/%E8%B1%AB%20%23%3F.jpg")}));
    EXPECT_EQ(thumbnailUrls(bases.mid(0, 1), QStringLiteral("豫"), true), QStringList {QStringLiteral("http://10.0.0.5/%D4%A5")});
    EXPECT_TRUE(serverNameBytes(QString::fromUtf8("\xF0\x9F\x98\x80.jpg"), true).isEmpty());
    EXPECT_EQ(net::ftpUrl(QStringLiteral("h"), 21, "a b/c"), QByteArray("ftp://h:21/a%20b%2Fc"));
}

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
    VehicleWindow form(state, dialogs, {});
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
            [](Settings& s) { s.ftpPassword = db::encipherSetting(QStringLiteral("wrong"), s.settingKeyA, s.xorMask); },
            saveFailed, QStringLiteral("拒绝登录"), QStringLiteral("530")},
        {"column update refused", [](Settings&) {
             test::mustExecute(conn, QStringLiteral("create trigger refuse_update before update on celiangzongbiao "
                                                    "for each row signal sqlstate '45000' set message_text = 'locked'"));
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

TEST_F(PictureTest, ClosingDuringAnUploadNeitherWaitsNorActsOnTheClosedWindow)
{
    const QString id = insertVehicle(kPlate, QStringLiteral("F1"));
    {
        auto w = openPicture(QStringLiteral("行车证2"));
        import(*w, source(QStringLiteral("png")));
        QTest::mouseClick(button(*w, "按钮_保存"), Qt::LeftButton);
        ASSERT_TRUE(w->uploading());
    } // closed while the worker runs
    ASSERT_TRUE(waitForWorkers(20000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs.messages().isEmpty());
    // The upload itself went through on its own connection and statement.
    EXPECT_EQ(column(id, QStringLiteral("xingcezengtupian2")), pictureFileName(kPlate, QStringLiteral("行车证2")));
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
    ASSERT_TRUE(waitForWorkers(10000));
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
        ThumbnailLoader loader(&receiver, urls, [&](int i, const QByteArray&) { delivered << i; }, 1);
        QTRY_COMPARE_WITH_TIMEOUT(delivered.size(), 10, 10000);
        EXPECT_EQ(delivered, QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        EXPECT_EQ(quick.paths, order);
    }

    // A window closed while every download waits on the slow server.
    SlowWebServer slow(1500);
    state.settings.serverAddress = QStringLiteral("127.0.0.1");
    state.settings.webPort = slow.serverPort();
    auto form = editWindow(id);
    QTRY_VERIFY_WITH_TIMEOUT(!slow.paths.isEmpty(), 5000);
    QElapsedTimer closing;
    closing.start();
    form.reset();
    EXPECT_LT(closing.elapsed(), 200);

    // The same at the loader: a receiver gone before the answers come gets nothing.
    int lateDeliveries = 0;
    auto receiver = std::make_unique<QObject>();
    const QStringList url = thumbnailUrls({QStringLiteral("http://127.0.0.1:%1").arg(slow.serverPort())}, QStringLiteral("x"), false);
    ThumbnailLoader loader(receiver.get(), {url}, [&](int, const QByteArray&) { ++lateDeliveries; });
    QTest::qWait(100);
    loader.stop();
    receiver.reset();
    QTest::qWait(1700); // the server answers, and the cancelled downloads end
    ASSERT_TRUE(waitForWorkers(5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(lateDeliveries, 0);
}

} // namespace

// Document pictures against the stack's database, FTP and web servers: the JPEG the import makes,
// the picture window's refusals and failures, the upload read back over HTTP, and the thumbnail
// loader's order and its stop when the vehicle window closes.
#include "common/AppState.h"
#include "db/Cipher.h"
#include "db/Database.h"
#include "net/Http.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "vehicles/JpegConvert.h"
#include "vehicles/PictureFiles.h"
#include "vehicles/PictureWindow.h"
#include "vehicles/ThumbnailLoader.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleWindow.h"
#include "vehicles/Workers.h"
#include "SlowWebServer.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <jpeglib.h>

using namespace fd;
using namespace fd::vehicles;

namespace {

const QString kTitle = QStringLiteral("路衡通挂靠运输公司车辆管理软件");
const QString kPlate = QStringLiteral("豫H12345");

// What the markers of a JPEG file say.
struct JpegFacts {
    bool baseline = false;    // SOF0 and no other frame type
    int components = 0;
    QList<int> lumaTable;     // quantisation table 0, in zigzag order
    bool standardHuffman = false; // a DC luminance table equal to the standard one
};

JpegFacts readMarkers(const QByteArray& jpeg)
{
    static const QByteArray standardDcBits = QByteArray::fromHex("00010501010101010100000000000000");
    JpegFacts f;
    int sofCount = 0;
    for (qsizetype i = 2; i + 4 < jpeg.size();) {
        if (static_cast<unsigned char>(jpeg[i]) != 0xFF)
            break;
        const int marker = static_cast<unsigned char>(jpeg[i + 1]);
        const int length = (static_cast<unsigned char>(jpeg[i + 2]) << 8) | static_cast<unsigned char>(jpeg[i + 3]);
        const QByteArray body = jpeg.mid(i + 4, length - 2);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            ++sofCount;
            f.baseline = marker == 0xC0;
            f.components = static_cast<unsigned char>(body[5]);
        } else if (marker == 0xDB) {
            for (qsizetype p = 0; p + 65 <= body.size(); p += 65)
                if ((body[p] & 0x0F) == 0)
                    for (int k = 0; k < 64; ++k)
                        f.lumaTable << static_cast<unsigned char>(body[p + 1 + k]);
        } else if (marker == 0xC4) {
            for (qsizetype p = 0; p + 17 <= body.size();) {
                const QByteArray bits = body.mid(p + 1, 16);
                int count = 0;
                for (char b : bits)
                    count += static_cast<unsigned char>(b);
                if (body[p] == 0x00 && bits == standardDcBits)
                    f.standardHuffman = true;
                p += 17 + count;
            }
        } else if (marker == 0xDA) {
            break;
        }
        i += 2 + length;
    }
    f.baseline = f.baseline && sofCount == 1;
    return f;
}

// libjpeg's luminance table at quality 75, in zigzag order (as the DQT marker holds it).
QList<int> quality75LumaTable()
{
    jpeg_compress_struct c {};
    jpeg_error_mgr e {};
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    c.in_color_space = JCS_RGB;
    c.input_components = 3;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 75, TRUE);
    QList<int> natural;
    for (int k = 0; k < 64; ++k)
        natural << c.quant_tbl_ptrs[0]->quantval[k];
    jpeg_destroy_compress(&c);
    static const int zigzag[64] = {0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48,
        41, 34, 27, 20, 13, 6, 7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51, 58, 59,
        52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    QList<int> table;
    for (int k = 0; k < 64; ++k)
        table << natural[zigzag[k]];
    return table;
}

// A photo-like test picture: gradients and a few shapes, so the tables have something to fit.
QImage samplePicture(int w = 320, int h = 240)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x * y) % 256));
    QPainter p(&image);
    p.setBrush(Qt::red);
    p.drawEllipse(40, 40, 100, 80);
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

class PictureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_conn = test::freshDatabase(QStringLiteral("t_picture")); }
    static void TearDownTestSuite() { s_conn.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(s_conn);
        ASSERT_TRUE(temp.isValid());
        conn = s_conn;
        test::mustExecute(conn, QStringLiteral("drop trigger if exists refuse_update"));
        test::mustExecute(conn, QStringLiteral("delete from celiangzongbiao"));
        state.settings = test::stackSettings();
        state.dbConnection = conn;
        state.appTitle = kTitle;
    }

    void TearDown() override
    {
        // No worker of this test may outlive it.
        EXPECT_TRUE(waitForWorkers(20000));
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

    // A source picture of the given kind in the temporary folder.
    QString source(const QString& kind)
    {
        const QString path = temp.filePath(QStringLiteral("source-") + kind);
        const QImage picture = samplePicture();
        if (kind == QLatin1String("rgb.jpg"))
            picture.save(path, "JPG", 90);
        else if (kind == QLatin1String("gray.jpg"))
            picture.convertToFormat(QImage::Format_Grayscale8).save(path, "JPG", 90);
        else if (kind == QLatin1String("cmyk.jpg")) {
            const QString rgb = temp.filePath(QStringLiteral("for-cmyk.jpg"));
            picture.save(rgb, "JPG", 90);
            QProcess::execute(QStringLiteral("convert"), {rgb, QStringLiteral("-colorspace"), QStringLiteral("CMYK"), path});
        } else if (kind == QLatin1String("png"))
            picture.save(path, "PNG");
        else if (kind == QLatin1String("bmp"))
            picture.save(path, "BMP");
        else
            writeFile(path, "<html><body>404 Not Found</body></html>"); // an error page saved as .jpg
        return path;
    }

    std::unique_ptr<PictureWindow> openPicture(const QString& kind, const QString& plate = kPlate,
        const QByteArray& thumbnail = QByteArray())
    {
        auto w = std::make_unique<PictureWindow>(state, dialogs, kind, plate, thumbnail);
        if (!w->refused())
            w->show();
        return w;
    }

    static QPushButton* button(QWidget& w, const char* name)
    {
        return w.findChild<QPushButton*>(QString::fromUtf8(name));
    }

    // Imports the file through the window's button, as the user would.
    void import(PictureWindow& w, const QString& path)
    {
        dialogs.fileNames << path;
        QTest::mouseClick(button(w, "按钮_导入图片"), Qt::LeftButton);
    }

    // Presses 保存 and waits for the upload's end; true when it stored the picture.
    bool upload(PictureWindow& w)
    {
        QSignalSpy ended(&w, &PictureWindow::uploadEnded);
        QTest::mouseClick(button(w, "按钮_保存"), Qt::LeftButton);
        if (!ended.wait(20000)) {
            ADD_FAILURE() << "the upload did not end";
            return false;
        }
        return ended.at(0).at(0).toBool();
    }

    QString served(const QString& name) const { return QDir(test::stackDir() + QStringLiteral("/pic")).filePath(name); }

    static inline db::ConnectionPtr s_conn;
    db::ConnectionPtr conn;
    AppState state;
    test::ScriptedDialogs dialogs;
    QTemporaryDir temp;
};

TEST(PictureRules, NamesAndAddresses)
{
    EXPECT_EQ(pictureFileName(kPlate, QStringLiteral("主车强险")), QStringLiteral("豫H12345主车强险.jpg"));
    const QString name = QStringLiteral("豫H1 #?主车强险.jpg");
    // UTF-8 by default, GBK on request; every reserved byte escaped; port 80 left out.
    EXPECT_EQ(thumbnailUrl(QStringLiteral("10.0.0.5"), 80, name, false),
        QStringLiteral("http://10.0.0.5/") + QString::fromLatin1(name.toUtf8().toPercentEncoding()));
    EXPECT_EQ(thumbnailUrl(QStringLiteral("10.0.0.5"), 8080, QStringLiteral("豫"), true), QStringLiteral("http://10.0.0.5:8080/%D4%A5"));
    EXPECT_EQ(thumbnailUrl(QStringLiteral("h"), 80, QString(), false), QStringLiteral("http://h/"));
    EXPECT_TRUE(serverNameBytes(QString::fromUtf8("\xF0\x9F\x98\x80.jpg"), true).isEmpty());
    EXPECT_EQ(net::ftpUrl(QStringLiteral("h"), 21, "a b/c"), QByteArray("ftp://h:21/a%20b%2Fc"));
    // Every document kind has its column, and the fetch order names each kind once.
    QSet<QString> kinds(thumbnailFetchOrder().cbegin(), thumbnailFetchOrder().cend());
    EXPECT_EQ(kinds.size(), 10);
    for (const QString& kind : thumbnailFetchOrder())
        EXPECT_TRUE(pictureColumnOf(kind)) << kind.toStdString();
    EXPECT_EQ(pictureColumnOf(QStringLiteral("资格证"))->name, QStringLiteral("zigezengtupian"));
}

TEST_F(PictureTest, ImportMakesAColourBaselineQuality75JpegFromEverySource)
{
    insertVehicle(kPlate, QStringLiteral("F1"));
    const QList<int> q75 = quality75LumaTable();
    for (const QString& kind : {QStringLiteral("rgb.jpg"), QStringLiteral("gray.jpg"), QStringLiteral("cmyk.jpg"),
             QStringLiteral("png"), QStringLiteral("bmp")}) {
        SCOPED_TRACE(kind.toStdString());
        auto w = openPicture(QStringLiteral("营运证"));
        QFile::remove(w->workingCopyPath());
        const QString path = source(kind);
        if (kind.endsWith(QLatin1String(".jpg"))) { // the source really is what it claims
            const int components = kind.startsWith(QLatin1String("rgb")) ? 3 : kind.startsWith(QLatin1String("gray")) ? 1 : 4;
            EXPECT_EQ(readMarkers(readFile(path)).components, components);
        }
        import(*w, path);
        ASSERT_TRUE(dialogs.messages().isEmpty()) << dialogs.lastMessage().toStdString();
        const QByteArray copy = readFile(w->workingCopyPath());
        EXPECT_EQ(copy, w->shownBytes());
        const JpegFacts facts = readMarkers(copy);
        EXPECT_TRUE(facts.baseline);
        EXPECT_EQ(facts.components, 3);
        EXPECT_EQ(facts.lumaTable, q75);
        EXPECT_FALSE(facts.standardHuffman) << "Huffman tables not optimised";
        const QImage back = QImage::fromData(copy);
        EXPECT_EQ(back.size(), QSize(320, 240));
        EXPECT_TRUE(button(*w, "按钮_保存")->isEnabled());
        EXPECT_TRUE(w->findChild<QLabel*>(QStringLiteral("图片框_图片"))->pixmap().width() > 0);
    }
}

TEST_F(PictureTest, ImportThatCannotCompleteLeavesNothingReadyAndSaysWhy)
{
    insertVehicle(kPlate, QStringLiteral("F1"));
    struct Case {
        QString file; // empty: the dialog is cancelled
        QString message;
    };
    const QList<Case> cases = {
        {QString(), QString()},
        {temp.filePath(QStringLiteral("missing.jpg")), QStringLiteral("无法读取图片文件！")},
        {source(QStringLiteral("page.jpg")), QStringLiteral("无法导入此图片！")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        dialogs.clear();
        auto w = openPicture(QStringLiteral("营运证"));
        QFile::remove(w->workingCopyPath());
        if (c.file.isEmpty())
            QTest::mouseClick(button(*w, "按钮_导入图片"), Qt::LeftButton);
        else
            import(*w, c.file);
        EXPECT_FALSE(QFile::exists(w->workingCopyPath()));
        EXPECT_FALSE(button(*w, "按钮_保存")->isEnabled());
        EXPECT_EQ(dialogs.lastMessage().section(QLatin1Char('\n'), 0, 0), c.message);
        // A good import, then a bad one: the earlier copy stays as it was but is not offered.
        import(*w, source(QStringLiteral("png")));
        const QByteArray good = readFile(w->workingCopyPath());
        ASSERT_FALSE(good.isEmpty());
        if (!c.file.isEmpty()) {
            import(*w, c.file);
            EXPECT_FALSE(button(*w, "按钮_保存")->isEnabled());
            EXPECT_EQ(readFile(w->workingCopyPath()), good);
        }
    }
}

TEST_F(PictureTest, ExportWritesTheShownBytesOnlyWhenAFileIsChosen)
{
    insertVehicle(kPlate, QStringLiteral("F1"));
    const QByteArray thumbnail = readFile(source(QStringLiteral("rgb.jpg")));
    auto w = openPicture(QStringLiteral("营运证"), kPlate, thumbnail);
    const QString target = temp.filePath(QStringLiteral("out.jpg"));
    QTest::mouseClick(button(*w, "按钮_导出图片"), Qt::LeftButton); // cancelled
    EXPECT_FALSE(QFile::exists(target));
    dialogs.fileNames << target;
    QTest::mouseClick(button(*w, "按钮_导出图片"), Qt::LeftButton);
    EXPECT_EQ(readFile(target), thumbnail); // before any import: the thumbnail's own bytes
    import(*w, source(QStringLiteral("bmp")));
    dialogs.fileNames << target;
    QTest::mouseClick(button(*w, "按钮_导出图片"), Qt::LeftButton);
    EXPECT_EQ(readFile(target), w->shownBytes());
    EXPECT_TRUE(dialogs.messages().isEmpty());
}

TEST_F(PictureTest, UnknownPlateIsRefusedWithoutBeingWidenedByQuotes)
{
    insertVehicle(kPlate, QStringLiteral("F1"));
    // The quote must stay inside the literal: read as SQL it would match every row.
    for (const QString& plate : {QStringLiteral("豫H"), QStringLiteral("x' or '1'='1")}) {
        dialogs.clear();
        auto w = openPicture(QStringLiteral("营运证"), plate);
        EXPECT_TRUE(w->refused()) << plate.toStdString();
        EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("请先创建车辆基本后再上传图片信息！"));
    }

    // The same from the vehicle window in add mode: the picture window never opens.
    state.newFlag = 1;
    state.modifyFlag = 0;
    VehicleWindow form(state, dialogs, {});
    int opened = 0;
    form.setPictureOpener([&](PictureWindow&) { ++opened; });
    dialogs.clear();
    QTest::mouseDClick(form.findChild<QLabel*>(QStringLiteral("图片框_挂车保险")), Qt::LeftButton);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("请先创建车辆基本后再上传图片信息！"));
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
    ASSERT_FALSE(w->refused());
    EXPECT_EQ(w->pictureColumn(), QStringLiteral("guacebaoxiantupina"));
    import(*w, source(QStringLiteral("png")));
    ASSERT_TRUE(upload(*w));
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("保存挂车保险图片完成！请继续上传其他图片。"));
    EXPECT_FALSE(button(*w, "按钮_保存")->isEnabled());
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->result(), QDialog::Accepted);

    const QByteArray copy = readFile(w->workingCopyPath());
    ASSERT_FALSE(copy.isEmpty());
    EXPECT_EQ(readFile(served(name)), copy);
    const Settings& s = state.settings;
    EXPECT_EQ(net::httpGet(thumbnailUrl(s.serverAddress, s.webPort, name, s.gbkFileNames)), copy);
    EXPECT_EQ(column(a, QStringLiteral("guacebaoxiantupina")), name);
    EXPECT_EQ(column(b, QStringLiteral("guacebaoxiantupina")), name);
    EXPECT_EQ(column(other, QStringLiteral("guacebaoxiantupina")), QStringLiteral("<null>"));
}

TEST_F(PictureTest, FailedUploadSaysSoAndKeepsTheWorkingCopy)
{
    const QString id = insertVehicle(kPlate, QStringLiteral("F1"));
    const Settings good = state.settings;
    struct Case {
        const char* what;
        std::function<void(Settings&)> spoil;
        QString message;
    };
    const QList<Case> cases = {
        {"FTP server down", [](Settings& s) { s.ftpPort = s.dbPort + 9; }, QStringLiteral("保存失败！")},
        {"wrong password",
            [](Settings& s) { s.ftpPassword = db::encipherSetting(QStringLiteral("wrong"), s.settingKeyA, s.xorMask); },
            QStringLiteral("保存失败！")},
        {"column update refused", [this](Settings&) {
             test::mustExecute(conn, QStringLiteral("create trigger refuse_update before update on celiangzongbiao "
                                                    "for each row signal sqlstate '45000' set message_text = 'locked'"));
         },
            QStringLiteral("图片已上传到服务器，但车辆信息中的图片名称保存失败！")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        state.settings = good;
        c.spoil(state.settings);
        dialogs.clear();
        auto w = openPicture(QStringLiteral("主车商险"));
        import(*w, source(QStringLiteral("rgb.jpg")));
        const QByteArray copy = readFile(w->workingCopyPath());
        EXPECT_FALSE(upload(*w));
        EXPECT_EQ(dialogs.lastMessage().section(QLatin1Char('\n'), 0, 0), c.message);
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
    dialogs.clear();
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
    const QString id = insertVehicle(kPlate, QStringLiteral("F1"));
    state.newFlag = 0;
    state.modifyFlag = 1;
    state.editVehicleId = id;
    VehicleWindow form(state, dialogs, {});
    ASSERT_TRUE(waitForWorkers(10000)); // the stored (empty) thumbnails have come
    QCoreApplication::processEvents();
    QLabel* thumb = form.findChild<QLabel*>(QStringLiteral("图片框_主车强险"));
    const QString png = source(QStringLiteral("png"));
    bool uploadIt = true;
    form.setPictureOpener([&](PictureWindow& w) {
        import(w, png);
        if (uploadIt)
            upload(w);
    });
    QTest::mouseDClick(thumb, Qt::LeftButton);
    const QByteArray stored = form.thumbnailBytes(QStringLiteral("主车强险"));
    EXPECT_FALSE(stored.isEmpty());
    EXPECT_FALSE(thumb->pixmap().isNull());
    // A later window closed without uploading leaves the thumbnail as stored.
    uploadIt = false;
    QTest::mouseDClick(thumb, Qt::LeftButton);
    EXPECT_EQ(form.thumbnailBytes(QStringLiteral("主车强险")), stored);
}

TEST_F(PictureTest, LoaderFillsEachThumbnailWithItsOwnPicture)
{
    // Three stored pictures, one stored name that is no picture, the rest empty.
    const QString id = insertVehicle(kPlate, QStringLiteral("F1"));
    const QStringList kinds = {QStringLiteral("车主身份证"), QStringLiteral("营运证"), QStringLiteral("竣工合格证")};
    QHash<QString, QByteArray> pictures;
    for (int i = 0; i < kinds.size(); ++i) {
        const QString name = pictureFileName(kPlate, kinds[i]);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        samplePicture(100 + 20 * i, 150).save(&buffer, "JPG");
        ASSERT_TRUE(writeFile(served(name), bytes));
        pictures.insert(kinds[i], bytes);
        test::mustExecute(conn, QStringLiteral("update celiangzongbiao set %1=%2 where ID=%3")
                                    .arg(pictureColumnOf(kinds[i])->name, db::dbQuote(conn, name), id));
    }
    ASSERT_TRUE(writeFile(served(QStringLiteral("note.jpg")), "not a picture"));
    test::mustExecute(conn, QStringLiteral("update celiangzongbiao set xingcezengtupian1='note.jpg' where ID=") + id);

    state.newFlag = 0;
    state.modifyFlag = 1;
    state.editVehicleId = id;
    VehicleWindow form(state, dialogs, {});
    QTRY_COMPARE_WITH_TIMEOUT(form.thumbnailBytes(QStringLiteral("竣工合格证")).size(),
        pictures.value(QStringLiteral("竣工合格证")).size(), 10000);
    ASSERT_TRUE(waitForWorkers(10000));
    QCoreApplication::processEvents();
    for (const QString& kind : thumbnailFetchOrder()) {
        SCOPED_TRACE(kind.toStdString());
        EXPECT_EQ(form.thumbnailBytes(kind), pictures.value(kind));
        const VehicleColumn* c = pictureColumnOf(kind);
        EXPECT_EQ(form.findChild<QLabel*>(c->control)->pixmap().isNull(), !pictures.contains(kind));
    }
    // The picture window starts from the thumbnail's picture.
    form.setPictureOpener([&](PictureWindow& w) { EXPECT_EQ(w.shownBytes(), pictures.value(QStringLiteral("营运证"))); });
    QTest::mouseDClick(form.findChild<QLabel*>(QStringLiteral("图片框_营运证")), Qt::LeftButton);
}

TEST_F(PictureTest, LoaderAsksInOrderAndClosingNeverWaitsNorDeliversLate)
{
    const QString id = insertVehicle(kPlate, QStringLiteral("F1"));
    test::SlowWebServer slow(test::stackDir() + QStringLiteral("/pic"), 1500);

    // One request at a time: the server sees the documents in the fetch order.
    {
        test::SlowWebServer quick(test::stackDir(), 0);
        QStringList urls;
        for (const QString& kind : thumbnailFetchOrder())
            urls << thumbnailUrl(QStringLiteral("127.0.0.1"), quick.port(), kind, false);
        QObject receiver;
        QList<int> delivered;
        ThumbnailLoader loader(&receiver, urls, [&](int i, const QByteArray&) { delivered << i; }, 1);
        QTRY_COMPARE_WITH_TIMEOUT(delivered.size(), 10, 10000);
        EXPECT_EQ(delivered, QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        EXPECT_EQ(quick.paths, thumbnailFetchOrder());
    }

    // A window closed while every download waits on the slow server.
    state.settings.serverAddress = QStringLiteral("127.0.0.1");
    state.settings.webPort = slow.port();
    state.newFlag = 0;
    state.modifyFlag = 1;
    state.editVehicleId = id;
    int lateDeliveries = 0;
    {
        auto form = std::make_unique<VehicleWindow>(state, dialogs, [] {});
        QTRY_VERIFY_WITH_TIMEOUT(!slow.paths.isEmpty(), 5000);
        QElapsedTimer closing;
        closing.start();
        form.reset();
        EXPECT_LT(closing.elapsed(), 200);
    }
    // The same at the loader: a receiver gone before the answers come gets nothing.
    {
        auto receiver = std::make_unique<QObject>();
        ThumbnailLoader loader(receiver.get(), {thumbnailUrl(QStringLiteral("127.0.0.1"), slow.port(), QStringLiteral("x"), false)},
            [&](int, const QByteArray&) { ++lateDeliveries; });
        QTest::qWait(100);
        loader.stop();
        receiver.reset();
        // Let the server answer, and the cancelled downloads end.
        QTest::qWait(1700);
        ASSERT_TRUE(waitForWorkers(5000));
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(lateDeliveries, 0);
}

} // namespace

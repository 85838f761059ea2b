#pragma once
// Shared set-up of the printing and export tests: a fleet with one vehicle per colour band, the
// shown list, a preview whose dialogs are answered at once, and readers of the files written.

#include "../fleet/FleetFixture.h"

#include "ui/JobProgress.h"
#include "printing/ExportCommand.h"
#include "printing/PrintPreview.h"
#include "fleet/ShownList.h"
#include "support/ListWait.h"

#include <QDialog>
#include <QDir>
#include <QImage>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

namespace fd::test {

// Standard output of a helper program (pdftotext, pdfinfo, pdftoppm, unzip).
inline QByteArray runTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(120000) && p.exitCode() == 0) << program.toStdString();
    return p.readAllStandardOutput();
}

// The text of a PDF page (0: every page) without white space: a wrapped header reads as one word.
inline QString pdfWords(const QString& path, int page = 0)
{
    const QString n = QString::number(page);
    const QStringList args = (page > 0 ? QStringList {QStringLiteral("-f"), n, QStringLiteral("-l"), n} : QStringList())
        << QStringLiteral("-raw") << path << QStringLiteral("-");
    return QString::fromUtf8(runTool(QStringLiteral("pdftotext"), args)).remove(QRegularExpression(QStringLiteral("\\s")));
}

inline int pdfPages(const QString& path)
{
    const QString info = QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {path}));
    return QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1).toInt();
}

// The first page at 50 dpi.
inline QImage pdfImage(const QString& path)
{
    runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-singlefile"), QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("50"), path, path});
    return QImage(path + QStringLiteral(".png"));
}

// Pixels of the colour whose four neighbours have it too: blended edges do not count.
inline int pixelsOf(const QImage& image, const QColor& colour)
{
    auto near = [&](int x, int y) {
        const QColor c = image.pixelColor(x, y);
        return std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) + std::abs(c.blue() - colour.blue()) <= 12;
    };
    int n = 0;
    for (int y = 1; y + 1 < image.height(); ++y)
        for (int x = 1; x + 1 < image.width(); ++x)
            n += near(x, y) && near(x - 1, y) && near(x + 1, y) && near(x, y - 1) && near(x, y + 1);
    return n;
}

// Runs `f` while files written beyond `bytes` fail (EFBIG): a disk that fills up mid-write.
template <class F>
void withFileSizeLimit(rlim_t bytes, F f)
{
    rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit {bytes, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    f();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
}

class PrintFixture : public FleetFixture {
protected:
    QString databaseName() const override { return QStringLiteral("t_print"); }

    void SetUp() override
    {
        FleetFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        settings = std::make_shared<QSettings>(dir.filePath(QStringLiteral("print.ini")), QSettings::IniFormat);
    }

    // `count` vehicles of plates `series` + (`first` + i), every date alike.
    void insertMany(int count, const QString& series, int first, const QString& date)
    {
        for (int i = first; i < first + count; ++i)
            insert({QStringLiteral("F%1").arg(i), series + QString::number(i), QStringLiteral("车主%1").arg(i), QStringLiteral("13700000000"), allDates(date)});
    }

    // `count` vehicles of plates `series` + (`first` + i) in one statement, every date alike.
    void insertSeries(int count, const QString& series, int first, const QString& date)
    {
        QString columns = QStringLiteral("danganbianhao,cepaihao,cezuxingming,cezudianhua"), dates;
        for (const QString& c : kWatchedDates) {
            columns += u',' + c;
            dates += QStringLiteral(",?");
        }
        db::Statement insert(QStringLiteral("INSERT INTO celiangzongbiao (%1) SELECT CONCAT('F',seq),CONCAT(?,seq),"
                                            "CONCAT(?,seq),'13700000000'%2 FROM seq_%3_to_%4")
                                 .arg(columns, dates)
                                 .arg(first)
                                 .arg(first + count - 1));
        insert.bind(series).bind(QStringLiteral("车主"));
        for (qsizetype i = 0; i < kWatchedDates.size(); ++i)
            insert.bind(date);
        mustExecute(state.dbConnection, insert);
    }

    // One vehicle per colour band (豫A10000..豫A10004) and one far ahead of another series (豫B20000).
    void insertBands()
    {
        const char* dates[] = {"2016-08-15", "2016-06-10", "2016-05-10", "2016-04-01", "2015-01-01"};
        for (int i = 0; i < 5; ++i)
            insertMany(1, QStringLiteral("豫A"), 10000 + i, QString::fromLatin1(dates[i]));
        insertMany(1, QStringLiteral("豫B"), 20000, QStringLiteral("2017-01-01"));
    }

    fleet::ShownList shown() const { return fleet::shownList(*view, fleet::listTitle(state.appTitle, state.loginDateTime)); }

    // A4; every modal dialog answered through `answer` (rejected when none).
    std::unique_ptr<printing::PrintPreview> preview()
    {
        auto p = std::make_unique<printing::PrintPreview>(shown(), dialogs,
            [this](QDialog& d) { return answer ? answer(d) : int(QDialog::Rejected); }, settings);
        p->printer().setPageSize(QPageSize(QPageSize::A4));
        p->relayout();
        p->show();
        return p;
    }

    QString pdfOf(printing::PrintPreview& p, const QString& name = QStringLiteral("list.pdf"))
    {
        QString error;
        EXPECT_TRUE(printing::savePdf(p.pages(), p.printer().pageLayout(), dir.filePath(name), &error)) << error.toStdString();
        return dir.filePath(name);
    }

    // Runs the export command over the grid to its end; true when the file was written.
    bool exportList(printing::ExportFormat format)
    {
        std::optional<bool> written;
        if (!printing::exportShownList(shown(), dialogs, format, view.get(), [&](bool w) { written = w; }))
            return false;
        EXPECT_TRUE(QTest::qWaitFor([&] { return written.has_value(); }, 120000));
        return written.value_or(false);
    }

    // Runs a print run or 另存PDF of the preview to its end; true when it was written, nullopt
    // when none started.
    std::optional<bool> output(printing::PrintPreview& p, void (printing::PrintPreview::*command)())
    {
        QSignalSpy ended(&p, &printing::PrintPreview::outputEnded);
        const auto before = p.findChildren<ui::JobProgress*>().size();
        (p.*command)();
        if (p.findChildren<ui::JobProgress*>().size() == before)
            return std::nullopt;
        EXPECT_TRUE(ended.size() > 0 || ended.wait(120000));
        return !ended.isEmpty() && ended.at(0).at(0).toBool();
    }

    // Waits until the job's progress dialog has reported progress; false when it went first.
    static bool progressReported(const QPointer<ui::JobProgress>& progress)
    {
        return QTest::qWaitFor([&] { return !progress || progress->value() > 0; }, 60000) && progress;
    }

    // The names in the test folder, temporary files included.
    QStringList files() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

    QTemporaryDir dir;
    std::shared_ptr<QSettings> settings;
    std::function<int(QDialog&)> answer;
};

} // namespace fd::test

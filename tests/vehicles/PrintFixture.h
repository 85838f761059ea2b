#pragma once
// Shared set-up of the printing and export tests: a fleet with one vehicle per colour band, the
// shown list of the grid, a preview whose dialogs are answered at once, and readers of the files
// written (pdftotext, pdfinfo, pdftoppm, unzip).

#include "FleetFixture.h"

#include "vehicles/PrintPreview.h"
#include "vehicles/ShownList.h"

#include <QDialog>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>

namespace fd::test {

// Output of a helper program (stdout, UTF-8).
inline QByteArray runTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(120000)) << program.toStdString();
    EXPECT_EQ(p.exitCode(), 0) << program.toStdString() << ": " << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}

// The text of a PDF page (0: every page) in drawing order, with all white space removed, so that
// a header wrapped onto two lines reads as one word.
inline QString pdfWords(const QString& path, int page = 0)
{
    QStringList args {QStringLiteral("-raw")};
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    args << path << QStringLiteral("-");
    return QString::fromUtf8(runTool(QStringLiteral("pdftotext"), args)).remove(QRegularExpression(QStringLiteral("\\s")));
}

inline int pdfPages(const QString& path)
{
    const QString info = QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {path}));
    return QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1).toInt();
}

inline QImage pdfImage(const QString& path, int page, int dpi)
{
    const QString out = path + QStringLiteral("-page");
    runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-singlefile"), QStringLiteral("-png"), QStringLiteral("-r"),
                                            QString::number(dpi), QStringLiteral("-f"), QString::number(page),
                                            QStringLiteral("-l"), QString::number(page), path, out});
    return QImage(out + QStringLiteral(".png"));
}

// Pixels inside areas of the colour (the pixel and its four neighbours within a small distance),
// so that the blended edges between two colours do not count as a third.
inline int pixelsOf(const QImage& image, const QColor& colour)
{
    auto near = [&](int x, int y) {
        const QColor c = image.pixelColor(x, y);
        return std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) + std::abs(c.blue() - colour.blue()) <= 12;
    };
    int n = 0;
    for (int y = 1; y + 1 < image.height(); ++y)
        for (int x = 1; x + 1 < image.width(); ++x)
            if (near(x, y) && near(x - 1, y) && near(x + 1, y) && near(x, y - 1) && near(x, y + 1))
                ++n;
    return n;
}

// Files written beyond this size fail (EFBIG) while the guard lives: a disk that fills up mid-write.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_old {};
    void (*m_handler)(int) = nullptr;
};

class PrintFixture : public FleetFixture {
protected:
    void SetUp() override
    {
        FleetFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        settings = std::make_shared<QSettings>(dir.filePath(QStringLiteral("print.ini")), QSettings::IniFormat);
    }

    // One vehicle per colour band (plates 豫A10000..豫A10004, every date alike) and one more far
    // ahead with a plate of another series (豫B20000).
    void insertBands()
    {
        const char* dates[] = {"2016-08-15", "2016-06-10", "2016-05-10", "2016-04-01", "2015-01-01"};
        for (int i = 0; i < 5; ++i)
            insert({QStringLiteral("DA%1").arg(i), QStringLiteral("豫A%1").arg(10000 + i), QStringLiteral("车主%1").arg(i),
                QStringLiteral("1380000000%1").arg(i), allDates(QString::fromLatin1(dates[i]))});
        insert({QStringLiteral("DB0"), QStringLiteral("豫B20000"), QStringLiteral("王五"), QStringLiteral("13900000000"),
            allDates(QStringLiteral("2017-01-01"))});
    }

    vehicles::ShownList shown() const
    {
        return vehicles::shownList(*view, vehicles::listTitle(state.appTitle, state.loginDateTime));
    }

    std::unique_ptr<vehicles::PrintPreview> preview()
    {
        auto p = std::make_unique<vehicles::PrintPreview>(shown(), dialogs, runner(), settings);
        p->printer().setPageSize(QPageSize(QPageSize::A4));
        p->printer().setPageOrientation(QPageLayout::Portrait);
        p->relayout();
        p->show();
        return p;
    }

    // Answers every modal dialog through `answer` (rejects when none) and records its name.
    vehicles::DialogRunner runner()
    {
        return [this](QDialog& d) {
            opened << d.objectName();
            return answer ? answer(d) : int(QDialog::Rejected);
        };
    }

    QString pdfOf(const vehicles::PrintPreview& p, const QString& name = QStringLiteral("list.pdf"))
    {
        const QString path = dir.filePath(name);
        QString error;
        EXPECT_TRUE(vehicles::savePdf(p.pages(), const_cast<vehicles::PrintPreview&>(p).printer().pageLayout(), path, &error))
            << error.toStdString();
        return path;
    }

    // The shown plates, top to bottom, and the plates of the table that are not shown.
    QStringList shownPlates() const { return column(3); }

    QTemporaryDir dir;
    std::shared_ptr<QSettings> settings;
    std::function<int(QDialog&)> answer;
    QStringList opened;
};

} // namespace fd::test

// The printed list: what the pages show for each kind of list (rows, headers, title, footers,
// colours), long lists split over pages by rows and columns, paging, margins and the printing
// errors. Pages are written through the PDF writer and read back with poppler's tools.
#include "PrintFixture.h"

#include "common/Jobs.h"

#include <QInputDialog>
#include <QPushButton>
#include <QSpinBox>

using namespace fd;
using namespace fd::test;

namespace {

class PrintPreviewTest : public PrintFixture {};

TEST_F(PrintPreviewTest, PagesShowTheListAsTheGridShowsIt)
{
    insertBands();
    const struct {
        const char* name;
        std::function<void()> show;
        QColor absent; // a colour the list must not print
    } cases[] = {
        {"full list", [this] { fleet->loadAllVehicles(); }, kSearchOrange},
        {"search", [this] { ASSERT_TRUE(fleet->searchVehicles(1, QStringLiteral("豫A"))); }, kOrange},
        {"category 营运证 预警", [this] { fleet->categoryHandler(3); }, kGreen},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.show();
        ASSERT_TRUE(test::waitForList(*fleet));
        const int rowsBefore = gridRows();
        auto p = preview();
        const printing::PrintLayout& pages = p->pages();
        const QString pdf = pdfOf(*p);
        ASSERT_EQ(pdfPages(pdf), pages.pageCount());
        const QString words = pdfWords(pdf);
        EXPECT_TRUE(words.contains(state.appTitle + QStringLiteral("日期：2016-05-31")));
        // Every visible header, never the hidden ID; exactly the shown rows; the page footers.
        for (int col = 1; col < fleet->model()->columnCount(); ++col)
            EXPECT_TRUE(words.contains(cell(0, col))) << cell(0, col).toStdString();
        EXPECT_FALSE(words.contains(QStringLiteral("ID")));
        for (const char* plate : {"豫A10000", "豫A10001", "豫A10002", "豫A10003", "豫A10004", "豫B20000"})
            EXPECT_EQ(words.contains(QString::fromUtf8(plate)), column(3).contains(QString::fromUtf8(plate))) << plate;
        for (int page = 1; page <= pages.pageCount(); ++page)
            EXPECT_TRUE(pdfWords(pdf, page).contains(QStringLiteral("第%1页/共%2页").arg(page).arg(pages.pageCount())));

        // The colours of the shown date cells are on paper, and no other band colour.
        const QImage image = pdfImage(pdf);
        ASSERT_FALSE(image.isNull());
        for (int r = 0; r + 1 < gridRows(); ++r)
            for (int col : pages.page(0).columns)
                if (const QColor bg = pages.list().background(r, col); bg.isValid()) {
                    EXPECT_GT(pixelsOf(image, bg), 20) << bg.name().toStdString();
                }
        EXPECT_EQ(pixelsOf(image, c.absent), 0);
        EXPECT_EQ(gridRows(), rowsBefore); // printing changes nothing in the grid
    }
    // The category list prints its seven columns: six shown and its own date header.
    EXPECT_EQ(fleet->model()->columnCount(), 7);
    EXPECT_EQ(shown().columnCount(), 6);
}

TEST_F(PrintPreviewTest, LongListRepeatsTheHeaderSplitsColumnsAndPagesWithinTheList)
{
    insertMany(90, QStringLiteral("豫C"), 20000, QStringLiteral("2016-09-01"));
    fleet->loadAllVehicles();
    ASSERT_TRUE(test::waitForList(*fleet));
    auto p = preview();
    const printing::PrintLayout& layout = p->pages();
    ASSERT_TRUE(layout.columnPages() > 1 && layout.pageCount() > layout.columnPages());
    const QString pdf = pdfOf(*p);
    ASSERT_EQ(pdfPages(pdf), layout.pageCount());

    const double printable = layout.paper().width() - p->margins().left - p->margins().right;
    QSet<int> columnsPrinted;
    const QStringList plates = column(3);
    for (int i = 0; i < layout.pageCount(); ++i) {
        SCOPED_TRACE(i);
        const QString words = pdfWords(pdf, i + 1);
        double width = 0;
        for (int col = 0; col < layout.list().columnCount(); ++col) {
            const bool onPage = layout.page(i).columns.contains(col);
            EXPECT_EQ(words.contains(layout.list().header(col)), onPage) << col;
            if (onPage) {
                columnsPrinted.insert(col);
                width += layout.list().columns[col].width * printing::PrintLayout::kUnitsPerPixel;
            }
        }
        EXPECT_LE(width, printable);
        // Every page, continuation pages too, shows the row numbers and plates of its rows and
        // no others, so that its rows can be matched to the first page's.
        EXPECT_TRUE(words.contains(QStringLiteral("序号")) && words.contains(QStringLiteral("车牌号")));
        const printing::PrintLayout::Page page = layout.page(i);
        for (int r = 0; r < plates.size(); ++r)
            EXPECT_EQ(words.contains(plates[r]), r >= page.firstRow && r < page.firstRow + page.rowCount) << plates[r].toStdString();
    }
    EXPECT_EQ(columnsPrinted.size(), layout.list().columnCount());

    // Paging stays within the list; a jump past the end is clamped to the last page by the box.
    const int last = layout.pageCount() - 1;
    answer = [&](QDialog& d) {
        dynamic_cast<QInputDialog&>(d).setIntValue(last + 5);
        return int(QDialog::Accepted);
    };
    using P = printing::PrintPreview;
    const std::pair<void (P::*)(), int> steps[] = {{&P::previousPage, 0}, {&P::nextPage, 1}, {&P::goToPage, last}, {&P::nextPage, last}};
    for (const auto& [command, page] : steps) {
        ((*p).*command)();
        EXPECT_EQ(p->currentPage(), page);
    }
    EXPECT_FALSE(p->findChild<QWidget*>(QStringLiteral("pageSheet"))->grab().isNull()); // the last page paints
    // A landscape page from the system's dialog lays the list out again.
    answer = [&](QDialog& d) {
        p->printer().setPageOrientation(QPageLayout::Landscape);
        return int(d.objectName() == QStringLiteral("printSetup") ? QDialog::Accepted : QDialog::Rejected);
    };
    p->setUpPrinter();
    EXPECT_GT(p->pages().paper().width(), p->pages().paper().height());
    EXPECT_EQ(p->pages().columnPages(), 1);
    EXPECT_LT(p->currentPage(), p->pages().pageCount());
}

TEST_F(PrintPreviewTest, MarginDialogChangesTheLayoutAndIsRemembered)
{
    insertBands();
    fleet->loadAllVehicles();
    ASSERT_TRUE(test::waitForList(*fleet));
    auto p = preview();
    EXPECT_EQ(p->margins(), printing::PrintMargins {});
    const QImage before = pdfImage(pdfOf(*p, QStringLiteral("before.pdf")));
    const int rowsBefore = p->pages().rowsPerPage();
    // The dialog's left and top boxes set (-1: every box at its maximum), then accepted or cancelled.
    auto setMargins = [&](int left, int top, int result) {
        answer = [=](QDialog& d) {
            for (QSpinBox* box : d.findChildren<QSpinBox*>()) {
                const QString name = box->objectName();
                box->setValue(left < 0 ? box->maximum() : name == QLatin1String("spin_left") ? left : name == QLatin1String("spin_top") ? top : box->value());
            }
            return result;
        };
        p->editMargins();
    };
    setMargins(700, 700, QDialog::Rejected);
    EXPECT_EQ(p->margins(), printing::PrintMargins {});
    setMargins(400, 600, QDialog::Accepted);
    EXPECT_EQ(p->margins().left, 400);
    EXPECT_LT(p->pages().rowsPerPage(), rowsBefore);
    // On paper the table moved right by 30 mm (50 dpi: 59 pixels).
    auto firstInk = [](const QImage& img) {
        for (int x = 0; x < img.width(); ++x)
            for (int y = 0; y < img.height(); ++y)
                if (qGray(img.pixel(x, y)) < 128)
                    return x;
        return -1;
    };
    EXPECT_NEAR(firstInk(pdfImage(pdfOf(*p, QStringLiteral("after.pdf")))) - firstInk(before), 59, 3);
    // A new preview starts with the remembered margins.
    EXPECT_EQ(preview()->margins().left, 400);
    EXPECT_EQ(preview()->margins().top, 600);

    // Margins that leave no room still print every row, one to a page, every column.
    setMargins(-1, -1, QDialog::Accepted);
    EXPECT_EQ(p->pages().rowsPerPage(), 1);
    EXPECT_EQ(p->pages().columnPages(), shown().columnCount());
    EXPECT_EQ(p->pages().pageCount(), (gridRows() - 1) * shown().columnCount());
}

TEST_F(PrintPreviewTest, PrintingErrorsLeaveNoFileAndTheGridAsItWas)
{
    insertMany(120, QStringLiteral("豫F"), 40000, QStringLiteral("2016-06-02"));
    fleet->loadAllVehicles();
    ASSERT_TRUE(test::waitForList(*fleet));
    auto p = preview();
    QPrinter& printer = p->printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString());
    p->findChild<QPushButton*>(QStringLiteral("按钮_打印"))->click();
    // The disk fills up part-way through the pages.
    const QString out = dir.filePath(QStringLiteral("printed.pdf"));
    printer.setOutputFileName(out);
    withFileSizeLimit(16 * 1024, [&] { EXPECT_EQ(output(*p, &printing::PrintPreview::printPages), false); });
    ASSERT_EQ(dialogs.shown.size(), 2);
    const QString errors[] = {QStringLiteral("打印机初始化出错,请检查打印设置!"), QStringLiteral("打印表格出错,请检查打印设置或稍候重试!")};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(dialogs.shown[i].kind, QStringLiteral("error"));
        EXPECT_EQ(dialogs.shown[i].caption, QStringLiteral("错误"));
        EXPECT_EQ(dialogs.shown[i].text, errors[i]);
    }
    EXPECT_FALSE(QFile::exists(out));

    EXPECT_EQ(output(*p, &printing::PrintPreview::printPages), true);
    EXPECT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(pdfPages(out), p->pages().pageCount());
    EXPECT_EQ(gridRows(), 121);

    // 另存PDF: a folder that does not exist is reported, a good name is written.
    dialogs.fileNames = {dir.filePath(QStringLiteral("missing/x.pdf")), dir.filePath(QStringLiteral("saved.pdf"))};
    EXPECT_EQ(output(*p, &printing::PrintPreview::saveAsPdf), false);
    ASSERT_EQ(dialogs.shown.size(), 4); // the file picker and the error
    EXPECT_EQ(dialogs.shown[3].kind, QStringLiteral("error"));
    EXPECT_TRUE(dialogs.shown[3].text.contains(QStringLiteral("x.pdf")));
    EXPECT_EQ(output(*p, &printing::PrintPreview::saveAsPdf), true);
    EXPECT_EQ(pdfPages(dir.filePath(QStringLiteral("saved.pdf"))), p->pages().pageCount());

    // Stopped by the user after two pages: the file written before stays as it was, no error.
    const int pages = p->pages().pageCount();
    ASSERT_GT(pages, 2);
    const auto shownBefore = dialogs.shown.size();
    std::vector<std::pair<int, int>> told;
    QString error = QStringLiteral("not cleared");
    EXPECT_FALSE(printing::savePdf(p->pages(), printer.pageLayout(), out, &error, [&](int done, int total) {
        told.emplace_back(done, total);
        return done < 2;
    }));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(told, (std::vector<std::pair<int, int>> {{1, pages}, {2, pages}}));
    EXPECT_EQ(pdfPages(out), pages);
    EXPECT_EQ(dialogs.shown.size(), shownBefore);
}

TEST_F(PrintPreviewTest, StoppedOrClosedOutputLeavesNoFile)
{
    insertSeries(20000, QStringLiteral("豫L"), 10000, QStringLiteral("2016-07-09"));
    fleet->loadAllVehicles();
    ASSERT_TRUE(test::waitForList(*fleet));
    auto p = preview();
    ASSERT_GT(p->pages().pageCount(), 1000);
    QSignalSpy ended(p.get(), &printing::PrintPreview::outputEnded);

    // A print run to a file, stopped with 取消 part-way: no file, no message, the preview open.
    const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
    p->printer().setOutputFormat(QPrinter::PdfFormat);
    p->printer().setOutputFileName(printed);
    p->printPages();
    QPointer<ui::JobProgress> progress = p->findChild<ui::JobProgress*>(QStringLiteral("outputProgress"));
    ASSERT_TRUE(progressReported(progress));
    EXPECT_LT(progress->value(), p->pages().pageCount());
    progress->findChild<QPushButton*>()->click();
    EXPECT_FALSE(p->outputRunning());
    ASSERT_TRUE(JobLane::files().waitForDone(60000));
    EXPECT_TRUE(p->isVisible());

    // 另存PDF, and the preview closed while the pages are written.
    dialogs.fileNames = {dir.filePath(QStringLiteral("saved.pdf"))};
    p->saveAsPdf();
    progress = p->findChildren<ui::JobProgress*>().last(); // the stopped one may not be gone yet
    ASSERT_TRUE(progressReported(progress));
    p->close();
    EXPECT_FALSE(p->outputRunning());
    ASSERT_TRUE(JobLane::files().waitForDone(60000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(ended.isEmpty());
    EXPECT_EQ(dialogs.messages().size(), 0);
    EXPECT_TRUE(files().isEmpty()) << files().join(u' ').toStdString();
}

} // namespace

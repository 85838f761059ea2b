// The printed list: what the pages show for each kind of list (rows, headers, title, footers,
// colours), long lists split over pages by rows and columns, the margin dialog, the preview's
// commands and the two printing errors. Pages are written through the PDF writer and read back
// with poppler's tools.
#include "PrintFixture.h"

#include "vehicles/MarginDialog.h"

#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>

using namespace fd;
using namespace fd::test;

namespace {

const QString kErrorCaption = QStringLiteral("错误");

class PrintPreviewTest : public PrintFixture {};

TEST_F(PrintPreviewTest, PagesShowTheListAsTheGridShowsIt)
{
    insertBands();
    struct Case {
        const char* name;
        std::function<void()> show;
        QColor absent; // a colour the list must not print
    };
    const std::vector<Case> cases = {
        {"full list", [this] { fleet->loadAllVehicles(); }, kSearchOrange},
        {"search", [this] { ASSERT_TRUE(fleet->searchVehicles(1, QStringLiteral("豫A"))); }, kOrange},
        {"category 营运证 预警", [this] { fleet->categoryHandler(3); }, kGreen},
    };
    const QStringList allPlates = {QStringLiteral("豫A10000"), QStringLiteral("豫A10001"), QStringLiteral("豫A10002"),
        QStringLiteral("豫A10003"), QStringLiteral("豫A10004"), QStringLiteral("豫B20000")};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.show();
        const int rowsBefore = gridRows();
        auto p = preview();
        const QString pdf = pdfOf(*p);
        ASSERT_EQ(pdfPages(pdf), p->pages().pageCount());
        const QString words = pdfWords(pdf);

        EXPECT_TRUE(words.contains(state.appTitle + QStringLiteral("日期：2016-05-31")));
        // Every visible header, never the hidden ID.
        for (int col = 1; col < fleet->model()->columnCount(); ++col)
            EXPECT_TRUE(words.contains(cell(0, col))) << cell(0, col).toStdString();
        EXPECT_FALSE(words.contains(QStringLiteral("ID")));
        // Exactly the shown rows.
        for (const QString& plate : allPlates)
            EXPECT_EQ(words.contains(plate), shownPlates().contains(plate)) << plate.toStdString();
        for (int page = 1; page <= p->pages().pageCount(); ++page)
            EXPECT_TRUE(pdfWords(pdf, page).contains(QStringLiteral("第%1页/共%2页").arg(page).arg(p->pages().pageCount())));

        // The colours of the shown date cells are on paper, and no other band colour.
        const QImage image = pdfImage(pdf, 1, 50);
        ASSERT_FALSE(image.isNull());
        const auto pageColumns = p->pages().page(0).columns;
        for (int r = 1; r < gridRows(); ++r)
            for (int col : pageColumns) {
                const QColor bg = p->pages().list().background(r - 1, col);
                if (bg.isValid()) {
                    EXPECT_GT(pixelsOf(image, bg), 20) << bg.name().toStdString();
                }
            }
        EXPECT_EQ(pixelsOf(image, c.absent), 0);
        // Printing changes nothing in the grid.
        EXPECT_EQ(gridRows(), rowsBefore);
    }
    // The category list prints its seven columns: six shown and its own date header.
    EXPECT_EQ(fleet->model()->columnCount(), 7);
    EXPECT_EQ(shown().columnCount(), 6);
}

TEST_F(PrintPreviewTest, LongListRepeatsTheHeaderAndSplitsColumnsAcrossPages)
{
    for (int i = 0; i < 90; ++i)
        insert({QStringLiteral("LL%1").arg(i), QStringLiteral("豫C%1").arg(20000 + i), QStringLiteral("车主%1").arg(i),
            QStringLiteral("13700000000"), allDates(QStringLiteral("2016-09-01"))});
    fleet->loadAllVehicles();
    auto p = preview();
    const vehicles::PrintLayout& layout = p->pages();
    ASSERT_GT(layout.columnPages(), 1);
    ASSERT_GT(layout.pageCount(), layout.columnPages());
    const QString pdf = pdfOf(*p);
    ASSERT_EQ(pdfPages(pdf), layout.pageCount());

    const double printable = layout.paper().width() - p->margins().left - p->margins().right;
    QSet<int> columnsPrinted;
    QStringList platesPrinted;
    for (int i = 0; i < layout.pageCount(); ++i) {
        const vehicles::PrintLayout::Page page = layout.page(i);
        const QString words = pdfWords(pdf, i + 1);
        double width = 0;
        for (int col = 0; col < layout.list().columnCount(); ++col) {
            const bool onPage = page.columns.contains(col);
            EXPECT_EQ(words.contains(layout.list().header(col)), onPage) << i << " " << col;
            if (onPage) {
                columnsPrinted.insert(col);
                width += layout.list().columns[col].width * vehicles::PrintLayout::kUnitsPerPixel;
            }
        }
        EXPECT_LE(width, printable);
        for (const QString& plate : shownPlates())
            if (words.contains(plate))
                platesPrinted << plate;
    }
    EXPECT_EQ(columnsPrinted.size(), layout.list().columnCount());
    // Each row once, on the pages of the column that holds its plate.
    platesPrinted.sort();
    QStringList expected = shownPlates();
    expected.sort();
    EXPECT_EQ(platesPrinted, expected);
}

TEST_F(PrintPreviewTest, MarginDialogChangesTheLayoutAndIsRemembered)
{
    insertBands();
    fleet->loadAllVehicles();
    auto p = preview();
    EXPECT_EQ(p->margins(), vehicles::PrintMargins {});
    const QImage before = pdfImage(pdfOf(*p, QStringLiteral("before.pdf")), 1, 50);
    const int rowsBefore = p->pages().rowsPerPage();

    auto spin = [](QDialog& d, const char* name) { return d.findChild<QSpinBox*>(QLatin1String(name)); };
    // Cancel keeps the margins; 默认值 restores every box.
    answer = [&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("页边距设置(单位: 0.1毫米)"));
        spin(d, "spin_left")->setValue(700);
        return int(QDialog::Rejected);
    };
    p->editMargins();
    EXPECT_EQ(p->margins(), vehicles::PrintMargins {});
    {
        vehicles::MarginDialog dialog(vehicles::PrintMargins {1, 2, 3, 4, 5, 6, 7});
        dialog.findChild<QPushButton*>(QStringLiteral("按钮_默认值"))->click();
        EXPECT_EQ(dialog.margins(), vehicles::PrintMargins {});
    }

    answer = [&](QDialog& d) {
        spin(d, "spin_left")->setValue(400);
        spin(d, "spin_top")->setValue(600);
        d.findChild<QPushButton*>(QStringLiteral("按钮_确定"))->click();
        return d.result();
    };
    p->editMargins();
    EXPECT_EQ(opened, (QStringList {QStringLiteral("marginDialog"), QStringLiteral("marginDialog")}));
    EXPECT_EQ(p->margins().left, 400);
    EXPECT_LT(p->pages().rowsPerPage(), rowsBefore);
    // On paper the table moved right by 30 mm (50 dpi: 59 pixels).
    const QImage after = pdfImage(pdfOf(*p, QStringLiteral("after.pdf")), 1, 50);
    auto firstInk = [](const QImage& img) {
        for (int x = 0; x < img.width(); ++x)
            for (int y = 0; y < img.height(); ++y)
                if (qGray(img.pixel(x, y)) < 128)
                    return x;
        return -1;
    };
    EXPECT_NEAR(firstInk(after) - firstInk(before), 59, 3);
    // A new preview starts with the remembered margins.
    EXPECT_EQ(preview()->margins().left, 400);
    EXPECT_EQ(preview()->margins().top, 600);

    // Margins that leave no room still print every row, one to a page, every column.
    answer = [&](QDialog& d) {
        for (QSpinBox* box : d.findChildren<QSpinBox*>())
            box->setValue(box->maximum());
        return int(QDialog::Accepted);
    };
    p->editMargins();
    EXPECT_EQ(p->pages().rowsPerPage(), 1);
    EXPECT_EQ(p->pages().columnPages(), shown().columnCount());
    EXPECT_EQ(p->pages().pageCount(), (gridRows() - 1) * shown().columnCount());
}

TEST_F(PrintPreviewTest, CommandsPageZoomAndJump)
{
    for (int i = 0; i < 60; ++i)
        insert({QStringLiteral("P%1").arg(i), QStringLiteral("豫E%1").arg(30000 + i), QString(), QString(), {}});
    fleet->loadAllVehicles();
    auto p = preview();
    EXPECT_EQ(p->windowTitle(), QStringLiteral("打印预览"));
    QStringList row;
    for (QPushButton* b : p->findChildren<QPushButton*>())
        row << b->text();
    EXPECT_EQ(row.mid(0, 11).join(QLatin1Char(' ')), QStringLiteral("打印 页边距 打印设置 上页 下页 到指定页 放大 缩小 等宽 等高 退出"));
    auto* label = p->findChild<QLabel*>(QStringLiteral("透明标签_页码"));
    auto click = [&](const QString& text) { p->findChild<QPushButton*>(QStringLiteral("按钮_") + text)->click(); };
    const int pages = p->pages().pageCount();
    ASSERT_GT(pages, 2);

    click(QStringLiteral("上页"));
    EXPECT_EQ(p->currentPage(), 0);
    click(QStringLiteral("下页"));
    EXPECT_EQ(p->currentPage(), 1);
    EXPECT_EQ(label->text(), QStringLiteral("第 2 页 / 共 %1 页").arg(pages));
    answer = [&](QDialog& d) {
        auto& ask = dynamic_cast<QInputDialog&>(d);
        EXPECT_EQ(ask.windowTitle(), QStringLiteral("页面跳转"));
        EXPECT_EQ(ask.labelText(), QStringLiteral("请输入欲跳转到页号:"));
        EXPECT_EQ(ask.okButtonText(), QStringLiteral("确定(&O)"));
        EXPECT_EQ(ask.cancelButtonText(), QStringLiteral("取消(&C)"));
        ask.setIntValue(pages + 5); // clamped to the last page by the box
        return int(QDialog::Accepted);
    };
    click(QStringLiteral("到指定页"));
    EXPECT_EQ(p->currentPage(), pages - 1);
    click(QStringLiteral("下页"));
    EXPECT_EQ(p->currentPage(), pages - 1);
    answer = nullptr; // cancelled: stays
    click(QStringLiteral("到指定页"));
    EXPECT_EQ(p->currentPage(), pages - 1);

    auto* sheet = p->findChild<QWidget*>(QStringLiteral("pageSheet"));
    auto* area = p->findChild<QScrollArea*>(QStringLiteral("pageArea"));
    const double z = p->zoom();
    click(QStringLiteral("放大"));
    EXPECT_NEAR(p->zoom(), z * 1.25, 1e-9);
    click(QStringLiteral("缩小"));
    click(QStringLiteral("缩小"));
    EXPECT_NEAR(p->zoom(), z / 1.25, 1e-9);
    click(QStringLiteral("等宽"));
    EXPECT_NEAR(sheet->width(), area->viewport()->width() - 24, 2);
    click(QStringLiteral("等高"));
    EXPECT_NEAR(sheet->height(), area->viewport()->height() - 24, 2);
    // The page in view paints (offscreen grab) without laying out the others.
    EXPECT_FALSE(sheet->grab().isNull());

    // 打印设置 opens the system's dialog; a landscape page lays the list out again.
    answer = [&](QDialog& d) {
        p->printer().setPageOrientation(QPageLayout::Landscape);
        return int(d.objectName() == QStringLiteral("printSetup") ? QDialog::Accepted : QDialog::Rejected);
    };
    click(QStringLiteral("打印设置"));
    EXPECT_GT(p->pages().paper().width(), p->pages().paper().height());
    EXPECT_EQ(p->pages().columnPages(), 1);

    opened.clear();
    answer = nullptr;
    vehicles::printList(shown(), dialogs, nullptr, runner());
    EXPECT_EQ(opened, QStringList {QStringLiteral("printPreview")});
}

TEST_F(PrintPreviewTest, PrintingErrorsLeaveNoFileAndTheGridAsItWas)
{
    for (int i = 0; i < 120; ++i)
        insert({QStringLiteral("E%1").arg(i), QStringLiteral("豫F%1").arg(40000 + i), QStringLiteral("车主"),
            QStringLiteral("13600000000"), allDates(QStringLiteral("2016-06-02"))});
    fleet->loadAllVehicles();
    auto p = preview();
    QPrinter& printer = p->printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString());
    p->findChild<QPushButton*>(QStringLiteral("按钮_打印"))->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].kind, QStringLiteral("error"));
    EXPECT_EQ(dialogs.shown[0].caption, kErrorCaption);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("打印机初始化出错,请检查打印设置!"));

    // The disk fills up part-way through the pages.
    const QString out = dir.filePath(QStringLiteral("printed.pdf"));
    printer.setOutputFileName(out);
    {
        FileSizeLimit limit(16 * 1024);
        p->printPages();
    }
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[1].kind, QStringLiteral("error"));
    EXPECT_EQ(dialogs.shown[1].text, QStringLiteral("打印表格出错,请检查打印设置或稍候重试!"));
    EXPECT_FALSE(QFile::exists(out));

    p->printPages();
    EXPECT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(pdfPages(out), p->pages().pageCount());
    EXPECT_EQ(gridRows(), 121);

    // 另存PDF: a folder that does not exist is reported, a good name is written.
    dialogs.fileNames = {dir.filePath(QStringLiteral("missing/x.pdf")), dir.filePath(QStringLiteral("saved.pdf"))};
    p->saveAsPdf();
    ASSERT_EQ(dialogs.shown.size(), 4); // the file picker and the error
    EXPECT_EQ(dialogs.shown[3].kind, QStringLiteral("error"));
    EXPECT_TRUE(dialogs.shown[3].text.contains(QStringLiteral("x.pdf")));
    p->saveAsPdf();
    EXPECT_EQ(pdfPages(dir.filePath(QStringLiteral("saved.pdf"))), p->pages().pageCount());

    // Stopped by the user after two pages: the file written before stays as it was, no error.
    ASSERT_GT(p->pages().pageCount(), 2);
    const auto shownBefore = dialogs.shown.size();
    std::vector<std::pair<int, int>> told;
    QString error = QStringLiteral("not cleared");
    EXPECT_FALSE(vehicles::savePdf(p->pages(), printer.pageLayout(), out, &error, [&](int done, int total) {
        told.emplace_back(done, total);
        return done < 2;
    }));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(told, (std::vector<std::pair<int, int>> {{1, p->pages().pageCount()}, {2, p->pages().pageCount()}}));
    EXPECT_EQ(pdfPages(out), p->pages().pageCount());
    EXPECT_EQ(dialogs.shown.size(), shownBefore);
}

} // namespace

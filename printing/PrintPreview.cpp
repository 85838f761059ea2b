#include "printing/PrintPreview.h"

#include "common/Jobs.h"
#include "ui/Dialogs.h"
#include "ui/JobProgress.h"
#include "printing/MarginDialog.h"

#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace fd::printing {
namespace {

const QString kErrorCaption = QStringLiteral("错误");
const QString kPrinterFailed = QStringLiteral("打印机初始化出错,请检查打印设置!");
const QString kPrintingFailed = QStringLiteral("打印表格出错,请检查打印设置或稍候重试!");

constexpr double kZoomStep = 1.25;
constexpr double kMinZoom = 0.1;
constexpr double kMaxZoom = 8.0;
constexpr int kSheetMargin = 12; // grey around the paper, pixels

// The paper on screen: paints only the page in view and only the part exposed.
class PageSheet final : public QWidget {
public:
    PageSheet(const PrintLayout& layout, const int& page, QWidget* parent)
        : QWidget(parent)
        , m_layout(layout)
        , m_page(page)
    {
        setObjectName(QStringLiteral("pageSheet"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.setClipRect(event->rect());
        painter.fillRect(event->rect(), Qt::white);
        const double scale = width() / std::max(1.0, m_layout.paper().width());
        painter.scale(scale, scale);
        m_layout.paint(painter, m_page);
    }

private:
    const PrintLayout& m_layout;
    const int& m_page;
};

// The page reports of a job: told to its owner, and false once the job is stopped.
PageProgress pagesTold(JobControl& control)
{
    return [&control](int done, int total) {
        control.progress(done, total);
        return !control.cancelled();
    };
}

std::shared_ptr<QSettings> userSettings()
{
    return std::make_shared<QSettings>(QSettings::UserScope, QStringLiteral("fleetdesk"), QStringLiteral("fleetdesk"));
}

} // namespace

int execDialog(QDialog& dialog)
{
    return dialog.exec();
}

PrintPreview::PrintPreview(fleet::ShownList list, ui::Dialogs& dialogs, DialogRunner run, std::shared_ptr<QSettings> settings, QWidget* parent)
    : QDialog(parent)
    , m_list(std::move(list))
    , m_dialogs(dialogs)
    , m_run(std::move(run))
    , m_settings(settings ? std::move(settings) : userSettings())
    , m_printer(std::make_shared<QPrinter>(QPrinter::HighResolution))
{
    setObjectName(QStringLiteral("printPreview"));
    setWindowTitle(QStringLiteral("打印预览"));
    setWindowModality(Qt::WindowModal);
    m_printer->setFullPage(true); // the layout keeps its own margins, measured from the paper's edge
    m_margins = PrintMargins::load(*m_settings);

    auto* row = new QHBoxLayout;
    const struct {
        const char16_t* text;
        void (PrintPreview::*command)();
    } commands[] = {{u"打印", &PrintPreview::printPages}, {u"页边距", &PrintPreview::editMargins},
        {u"打印设置", &PrintPreview::setUpPrinter}, {u"上页", &PrintPreview::previousPage},
        {u"下页", &PrintPreview::nextPage}, {u"到指定页", &PrintPreview::goToPage}, {u"放大", &PrintPreview::zoomIn},
        {u"缩小", &PrintPreview::zoomOut}, {u"等宽", &PrintPreview::fitWidth}, {u"等高", &PrintPreview::fitHeight},
        {u"退出", &PrintPreview::reject}, {u"另存PDF", &PrintPreview::saveAsPdf}};
    for (const auto& c : commands) {
        const QString text = QString::fromUtf16(c.text);
        auto* button = new QPushButton(text, this);
        button->setObjectName(QStringLiteral("按钮_") + text);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, c.command);
        row->addWidget(button);
        ++m_commandCount;
    }
    m_commands = row;
    row->addStretch();
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("透明标签_页码"));
    row->addWidget(m_label);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("pageArea"));
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_sheet = new PageSheet(m_layout, m_page, m_scroll);
    m_scroll->setWidget(m_sheet);
    m_scroll->setWidgetResizable(false);
    m_scroll->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_scroll, 1);
    resize(1000, 720);
    relayout();
}

PrintPreview::~PrintPreview()
{
    if (m_output)
        m_output->stop();
}

QPushButton* PrintPreview::addCommand(const QString& text, std::function<void()> command)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(QStringLiteral("按钮_") + text);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [command = std::move(command)] { command(); });
    m_commands->insertWidget(m_commandCount++, button);
    return button;
}

bool PrintPreview::outputRunning() const
{
    return m_output && m_output->running();
}

void PrintPreview::done(int result)
{
    // Closing the preview stops the pages being written.
    if (m_output)
        m_output->stop();
    QDialog::done(result);
}

void PrintPreview::relayout()
{
    if (outputRunning()) // the printer is in use on the files lane
        return;
    const QSizeF paper = m_printer->pageLayout().fullRect(QPageLayout::Millimeter).size() * 10.0;
    m_layout = PrintLayout(m_list, paper, m_margins);
    m_page = std::clamp(m_page, 0, m_layout.pageCount() - 1);
    applyFit();
}

double PrintPreview::pixelsPerUnit() const
{
    return m_zoom * logicalDpiX() / 254.0;
}

void PrintPreview::updateView()
{
    const QSizeF paper = m_layout.paper();
    m_sheet->resize(std::max(1, qRound(paper.width() * pixelsPerUnit())), std::max(1, qRound(paper.height() * pixelsPerUnit())));
    m_sheet->update();
    m_label->setText(QStringLiteral("第 %1 页 / 共 %2 页").arg(m_page + 1).arg(m_layout.pageCount()));
}

void PrintPreview::setZoom(double zoom, Fit fit)
{
    m_zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    m_fit = fit;
    updateView();
}

void PrintPreview::applyFit()
{
    const QSizeF paper = m_layout.paper();
    const QSize room = m_scroll->viewport()->size() - QSize(2 * kSheetMargin, 2 * kSheetMargin);
    const double unit = logicalDpiX() / 254.0;
    if (m_fit == Fit::width && paper.width() > 0)
        m_zoom = std::max(1, room.width()) / (paper.width() * unit);
    else if (m_fit == Fit::height && paper.height() > 0)
        m_zoom = std::max(1, room.height()) / (paper.height() * unit);
    setZoom(m_zoom, m_fit);
}

bool PrintPreview::eventFilter(QObject* watched, QEvent* event)
{
    // A fitted page follows the size of the area that shows it.
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize && m_fit != Fit::none)
        applyFit();
    return QDialog::eventFilter(watched, event);
}

void PrintPreview::showPage(int index)
{
    m_page = std::clamp(index, 0, m_layout.pageCount() - 1);
    m_scroll->verticalScrollBar()->setValue(0);
    updateView();
}

void PrintPreview::previousPage()
{
    showPage(m_page - 1);
}

void PrintPreview::nextPage()
{
    showPage(m_page + 1);
}

void PrintPreview::goToPage()
{
    QInputDialog ask(this);
    ask.setObjectName(QStringLiteral("pageJump"));
    ask.setWindowTitle(QStringLiteral("页面跳转"));
    ask.setLabelText(QStringLiteral("请输入欲跳转到页号:"));
    ask.setInputMode(QInputDialog::IntInput);
    ask.setIntRange(1, m_layout.pageCount());
    ask.setIntValue(m_page + 1);
    ask.setOkButtonText(QStringLiteral("确定(&O)"));
    ask.setCancelButtonText(QStringLiteral("取消(&C)"));
    if (m_run(ask) == QDialog::Accepted)
        showPage(ask.intValue() - 1);
}

void PrintPreview::zoomIn()
{
    setZoom(m_zoom * kZoomStep, Fit::none);
}

void PrintPreview::zoomOut()
{
    setZoom(m_zoom / kZoomStep, Fit::none);
}

void PrintPreview::fitWidth()
{
    m_fit = Fit::width;
    applyFit();
}

void PrintPreview::fitHeight()
{
    m_fit = Fit::height;
    applyFit();
}

void PrintPreview::editMargins()
{
    if (outputRunning())
        return;
    MarginDialog dialog(m_margins, this);
    if (m_run(dialog) != QDialog::Accepted)
        return;
    m_margins = dialog.margins();
    m_margins.save(*m_settings);
    relayout();
}

void PrintPreview::setUpPrinter()
{
    if (outputRunning())
        return;
    QPrintDialog dialog(m_printer.get(), this);
    dialog.setObjectName(QStringLiteral("printSetup"));
    // Printer, paper and orientation only: the pages are chosen in the preview.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile);
    if (m_run(dialog) != QDialog::Accepted)
        return;
    m_printer->setFullPage(true);
    relayout();
}

void PrintPreview::startOutput(std::function<Outcome(const PrintLayout&, JobControl&)> write)
{
    auto* progress = new ui::JobProgress(QStringLiteral("正在输出第 %1 页 / 共 %2 页…"), this);
    progress->setObjectName(QStringLiteral("outputProgress"));
    m_output = progress;
    // The pages are laid out again on the lane from the same snapshot and values: the layout
    // there owns its fonts and never reads a widget.
    auto work = [list = m_list, paper = m_layout.paper(), margins = m_margins, write = std::move(write)](JobControl& control) {
        const PrintLayout layout(list, paper, margins);
        return write(layout, control);
    };
    auto done = [this, progress](Outcome out) {
        progress->finish();
        if (!out.written && !out.error.isEmpty())
            m_dialogs.error(out.error, kErrorCaption);
        Q_EMIT outputEnded(out.written);
    };
    progress->setJob(startJob(JobLane::files(), progress, std::move(work), std::move(done),
        [progress](qint64 n, qint64 total) { progress->report(n, total); }));
}

void PrintPreview::printPages()
{
    if (outputRunning())
        return;
    QPrinter& printer = *m_printer;
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    const bool ready = printer.isValid() && (toFile ? !printer.outputFileName().isEmpty() : !printer.printerName().isEmpty());
    if (!ready) {
        m_dialogs.error(kPrinterFailed, kErrorCaption);
        return;
    }
    if (toFile) {
        // Printing to a file: written whole under a temporary name like every file of the program.
        startOutput([path = printer.outputFileName(), paper = printer.pageLayout()](const PrintLayout& layout, JobControl& control) {
            Outcome out;
            out.written = savePdf(layout, paper, path, nullptr, pagesTold(control));
            if (!out.written && !control.cancelled())
                out.error = kPrintingFailed;
            return out;
        });
        return;
    }
    startOutput([printer = m_printer](const PrintLayout& layout, JobControl& control) {
        Outcome out;
        QPainter painter;
        if (!painter.begin(printer.get())) {
            out.error = kPrinterFailed;
            return out;
        }
        const bool printed = renderPages(painter, *printer, printer->resolution(), layout, pagesTold(control));
        const bool stopped = control.cancelled();
        if (stopped)
            printer->abort(); // the pages sent so far are withdrawn from the print queue
        const bool ended = painter.end();
        out.written = !stopped && printed && ended && printer->printerState() != QPrinter::Error;
        if (!stopped && !out.written)
            out.error = kPrintingFailed;
        return out;
    });
}

void PrintPreview::saveAsPdf()
{
    if (outputRunning())
        return;
    const QString path = m_dialogs.saveFileName(QStringLiteral("另存PDF"), m_pdfName, QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty())
        return;
    startOutput([path, paper = m_printer->pageLayout()](const PrintLayout& layout, JobControl& control) {
        Outcome out;
        out.written = savePdf(layout, paper, path, &out.error, pagesTold(control));
        return out;
    });
}

void printList(const fleet::ShownList& list, ui::Dialogs& dialogs, QWidget* parent, DialogRunner run)
{
    PrintPreview preview(list, dialogs, run, nullptr, parent);
    run(preview);
}

} // namespace fd::printing

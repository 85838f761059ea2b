#pragma once

#include "printing/PrintLayout.h"

#include <QDialog>
#include <QPointer>
#include <QPrinter>
#include <functional>
#include <memory>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QScrollArea;
class QSettings;

namespace fd {
namespace ui {
class Dialogs;
class JobProgress;
}
class JobControl;
}

namespace fd::printing {

// Runs a modal dialog and returns its result (QDialog::Accepted or Rejected). The program execs
// the dialog; a test answers it at once, so nothing waits on exec().
using DialogRunner = std::function<int(QDialog&)>;
int execDialog(QDialog& dialog);

// "打印预览": the shown list laid out as pages for the current printer. The command row: 打印,
// 页边距, 打印设置, 上页, 下页, 到指定页, 放大, 缩小, 等宽, 等高, 退出, then 另存PDF and the page
// label. Only the page in view is painted, so the preview opens at once on any list. The margins
// are kept in the settings given (the user's settings when none). The list is only read.
//
// 打印 and 另存PDF write the pages on the files lane, from the snapshot of the list and the layout
// values, while a progress dialog over the preview shows the pages written; its 取消, or closing
// the preview, stops them: a stopped PDF leaves no file, a stopped print run is withdrawn.
class PrintPreview : public QDialog {
    Q_OBJECT
public:
    PrintPreview(fleet::ShownList list, ui::Dialogs& dialogs, DialogRunner run = execDialog,
        std::shared_ptr<QSettings> settings = nullptr, QWidget* parent = nullptr);
    ~PrintPreview() override;

    QPrinter& printer() { return *m_printer; }
    const PrintLayout& pages() const { return m_layout; }
    PrintMargins margins() const { return m_margins; }
    int currentPage() const { return m_page; } // from 0
    double zoom() const { return m_zoom; }     // 1: the paper's real size on screen

    // The commands of the row, in its order.
    void printPages();
    void editMargins();
    void setUpPrinter();
    void previousPage();
    void nextPage();
    void goToPage();
    void zoomIn();
    void zoomOut();
    void fitWidth();
    void fitHeight();
    void saveAsPdf();

    void showPage(int index);
    // Lays the pages out again for the printer's paper and the margins.
    void relayout();

    // A command of its own for what the preview shows (a receipt's 页面设置), after the others.
    QPushButton* addCommand(const QString& text, std::function<void()> command);
    // The file name 另存PDF suggests.
    void setPdfName(const QString& name) { m_pdfName = name; }

    // A print run or PDF is being written.
    bool outputRunning() const;
    void done(int result) override;

Q_SIGNALS:
    // A print run or PDF has ended (not when it was stopped); true when it was written.
    void outputEnded(bool written);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Outcome {
        bool written = false;
        QString error; // for the user; empty when there is nothing to say
    };
    // Writes the pages on the files lane: write gets the pages laid out again there.
    void startOutput(std::function<Outcome(const PrintLayout&, JobControl&)> write);

    enum class Fit { none, width, height };
    void setZoom(double zoom, Fit fit);
    void applyFit();
    void updateView();
    double pixelsPerUnit() const;

    fleet::ShownList m_list;
    ui::Dialogs& m_dialogs;
    DialogRunner m_run;
    std::shared_ptr<QSettings> m_settings;
    // Shared with a print run on the files lane, which may outlive the preview by a moment.
    std::shared_ptr<QPrinter> m_printer;
    PrintMargins m_margins;
    PrintLayout m_layout;
    int m_page = 0;
    double m_zoom = 1.0;
    Fit m_fit = Fit::height;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_sheet = nullptr;
    QLabel* m_label = nullptr;
    QHBoxLayout* m_commands = nullptr;
    int m_commandCount = 0;
    QString m_pdfName = QStringLiteral("车辆列表.pdf");
    QPointer<ui::JobProgress> m_output;
};

// The print command: the preview of the list, opened modally over the parent.
void printList(const fleet::ShownList& list, ui::Dialogs& dialogs, QWidget* parent, DialogRunner run = execDialog);

} // namespace fd::printing

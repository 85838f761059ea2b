#pragma once

#include "common/Jobs.h"
#include "import/ImportRun.h"
#include "import/window/PreviewModel.h"

#include <QDialog>
#include <QStringList>
#include <atomic>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;
class QTableWidget;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
} // namespace fd

// The 导入车辆 window: a file's sheet and header row, which column fills which field, a preview of
// the first 200 rows as they would be stored with every problem marked on its cell and the counts,
// then 导入 with progress and 取消, the end report (the refused rows saved beside the file) and
// 撤销导入 of the last import. File reading runs on the files lane, every statement on the
// database lane with the thread's own session; the window thread only shows.
namespace fd::import {


// What the import job hands back: its report and where the refused rows were saved.
struct FinishedImport {
    ImportReport report;
    QString savedTo;
    QString saveError;
};

class ImportWindow : public QDialog {
    Q_OBJECT
public:
    ImportWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent = nullptr);
    ~ImportWindow() override;

    // Reads the file (as the 选择文件 button does after asking for it).
    void openFile(const QString& path);

    // For tests and the benchmark: the window is waiting for nothing.
    bool idle() const;
    QString reportText() const;
    QString countsText() const;
    qint64 lastBatch() const { return m_lastBatch; }

    static constexpr int kPreviewRows = 200;

private:
    void chooseFile();
    void sheetChosen();
    void mappingChanged();
    void refreshPreview();
    void showPreview(QStringList headers, std::vector<PreviewLine> lines, const Counts& counts);
    void startImport();
    void importFinished(const FinishedImport& finished);
    void loadImports();
    // Undoes the import chosen in the list of imports (the last one made, unless another is chosen).
    void undoLast();
    void setBusy(bool busy);
    ImportOptions options() const;
    ImportSource source() const;

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    QString m_path;
    std::shared_ptr<const Workbook> m_book;
    QStringList m_mapping;
    QStringList m_headers;
    qint64 m_lastBatch = 0;
    qint64 m_chooseImport = 0; // the import to choose in the list once it is read again
    int m_pending = 0;
    int m_previewGeneration = 0;
    std::shared_ptr<std::atomic_bool> m_stop;

    QLabel* m_file;
    QComboBox* m_sheet;
    QSpinBox* m_headerRow;
    QComboBox* m_match;
    QCheckBox* m_update;
    QTableWidget* m_mappingTable;
    QTableView* m_preview;
    PreviewModel* m_previewModel;
    QLabel* m_counts;
    QProgressBar* m_progress;
    QLabel* m_report;
    QPushButton* m_import;
    QPushButton* m_cancel;
    QComboBox* m_imports;
    QPushButton* m_undo;
};

} // namespace fd::import

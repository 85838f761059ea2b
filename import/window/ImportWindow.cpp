#include "import/window/ImportWindow.h"

#include "common/AppState.h"
#include "db/ThreadSession.h"
#include "import/Mapping.h"
#include "import/window/PreviewModel.h"
#include "ui/Dialogs.h"
#include "ui/RoleGuard.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleHistory.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace fd::import {

namespace {

QString countsLine(const Counts& c)
{
    return QStringLiteral("新车辆 %1，未变 %2，修改已有车辆 %3，跳过 %4，未导入 %5")
        .arg(c.added)
        .arg(c.unchanged)
        .arg(c.updated)
        .arg(c.skipped)
        .arg(c.refused);
}

struct PreviewResult {
    QString error;
    QStringList headers;
    std::vector<PreviewLine> lines; // the first rows only
    Counts counts;
};

} // namespace

ImportWindow::ImportWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_state(state), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("导入车辆"));
    setWindowTitle(QStringLiteral("导入车辆"));
    resize(1000, 700);

    auto* choose = new QPushButton(QStringLiteral("选择文件…"));
    choose->setObjectName(QStringLiteral("chooseFile"));
    m_file = new QLabel(QStringLiteral("（未选择文件）"));
    m_sheet = new QComboBox;
    m_sheet->setObjectName(QStringLiteral("sheet"));
    m_sheet->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_headerRow = new QSpinBox;
    m_headerRow->setObjectName(QStringLiteral("headerRow"));
    m_headerRow->setRange(1, 30);
    m_match = new QComboBox;
    m_match->setObjectName(QStringLiteral("match"));
    m_match->addItems({QStringLiteral("按车牌号"), QStringLiteral("按档案编号")});
    m_update = new QCheckBox(QStringLiteral("修改已有车辆（否则跳过）"));
    m_update->setObjectName(QStringLiteral("update"));

    auto* top = new QHBoxLayout;
    top->addWidget(choose);
    top->addWidget(m_file, 1);
    top->addWidget(new QLabel(QStringLiteral("工作表：")));
    top->addWidget(m_sheet);
    top->addWidget(new QLabel(QStringLiteral("表头行：")));
    top->addWidget(m_headerRow);
    top->addWidget(new QLabel(QStringLiteral("已有车辆：")));
    top->addWidget(m_match);
    top->addWidget(m_update);

    m_mappingTable = new QTableWidget(0, 2);
    m_mappingTable->setObjectName(QStringLiteral("mapping"));
    m_mappingTable->setHorizontalHeaderLabels({QStringLiteral("文件中的列"), QStringLiteral("导入到")});
    m_mappingTable->horizontalHeader()->setStretchLastSection(true);
    m_mappingTable->verticalHeader()->hide();
    m_previewModel = new PreviewModel(this);
    m_preview = new QTableView;
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setModel(m_previewModel);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->verticalHeader()->hide();
    m_preview->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    auto* split = new QSplitter;
    split->addWidget(m_mappingTable);
    split->addWidget(m_preview);
    split->setStretchFactor(1, 3);
    split->setSizes({260, 740});

    m_counts = new QLabel;
    m_counts->setObjectName(QStringLiteral("counts"));
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setValue(0);
    m_report = new QLabel;
    m_report->setObjectName(QStringLiteral("report"));
    m_report->setWordWrap(true);
    m_report->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_import = new QPushButton(QStringLiteral("导入"));
    m_import->setObjectName(QStringLiteral("import"));
    m_import->setEnabled(false);
    m_cancel = new QPushButton(QStringLiteral("取消"));
    m_cancel->setObjectName(QStringLiteral("cancel"));
    m_cancel->setEnabled(false);
    m_imports = new QComboBox;
    m_imports->setObjectName(QStringLiteral("imports"));
    m_imports->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_imports->setToolTip(QStringLiteral("撤销导入所撤销的那次导入"));
    m_imports->setPlaceholderText(QStringLiteral("（没有可撤销的导入）"));
    m_undo = new QPushButton(QStringLiteral("撤销导入"));
    m_undo->setObjectName(QStringLiteral("undo"));
    m_undo->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("关闭"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_progress, 1);
    bottom->addWidget(m_import);
    bottom->addWidget(m_cancel);
    bottom->addWidget(m_imports);
    bottom->addWidget(m_undo);
    bottom->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addWidget(m_counts);
    layout->addWidget(m_report);
    layout->addLayout(bottom);

    connect(choose, &QPushButton::clicked, this, &ImportWindow::chooseFile);
    connect(m_sheet, &QComboBox::currentIndexChanged, this, &ImportWindow::sheetChosen);
    connect(m_headerRow, &QSpinBox::valueChanged, this, &ImportWindow::mappingChanged);
    connect(m_match, &QComboBox::currentIndexChanged, this, &ImportWindow::refreshPreview);
    connect(m_update, &QCheckBox::toggled, this, &ImportWindow::refreshPreview);
    connect(m_import, &QPushButton::clicked, this, &ImportWindow::startImport);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_stop)
            *m_stop = true;
        m_cancel->setEnabled(false);
    });
    connect(m_undo, &QPushButton::clicked, this, &ImportWindow::undoLast);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    loadImports();
}

ImportWindow::~ImportWindow()
{
    if (m_stop)
        *m_stop = true;
}

bool ImportWindow::idle() const
{
    return m_pending == 0;
}

QString ImportWindow::reportText() const
{
    return m_report->text();
}

QString ImportWindow::countsText() const
{
    return m_counts->text();
}

void ImportWindow::chooseFile()
{
    const QString path = m_dialogs.openFileName(QStringLiteral("导入车辆"),
        QStringLiteral("表格文件 (*.xlsx *.xls *.csv *.txt);;所有文件 (*)"));
    if (!path.isEmpty())
        openFile(path);
}

void ImportWindow::openFile(const QString& path)
{
    m_path = path;
    m_file->setText(QFileInfo(path).fileName());
    m_report->clear();
    m_progress->setValue(0);
    setBusy(true);
    ++m_pending;
    startJob(
        JobLane::files(), this, [path](JobControl&) { return std::make_shared<const Workbook>(readWorkbook(path)); },
        [this](std::shared_ptr<const Workbook> book) {
            --m_pending;
            setBusy(false);
            if (!book->ok()) {
                m_dialogs.message(QStringLiteral("无法读取文件：") + book->error);
                return;
            }
            m_book = std::move(book);
            const QSignalBlocker block(m_sheet);
            m_sheet->clear();
            int best = 0;
            int bestCount = -1;
            for (std::size_t i = 0; i < m_book->sheets.size(); ++i) {
                const Sheet& s = m_book->sheets[i];
                m_sheet->addItem(s.name);
                int count = 0;
                for (const QString& f : autoMapping(headerTexts(s, findHeaderRow(s))))
                    count += f.isEmpty() ? 0 : 1;
                if (count > bestCount) {
                    bestCount = count;
                    best = static_cast<int>(i);
                }
            }
            m_sheet->setCurrentIndex(best);
            sheetChosen();
        });
}

void ImportWindow::sheetChosen()
{
    if (!m_book || m_sheet->currentIndex() < 0)
        return;
    const Sheet& sheet = m_book->sheets[static_cast<std::size_t>(m_sheet->currentIndex())];
    const QSignalBlocker block(m_headerRow);
    m_headerRow->setValue(findHeaderRow(sheet) + 1);
    mappingChanged();
}

// The header row changed (or the sheet): the mapping starts from what was chosen for the same
// headers before, else from the header names.
void ImportWindow::mappingChanged()
{
    if (!m_book || m_sheet->currentIndex() < 0)
        return;
    const Sheet& sheet = m_book->sheets[static_cast<std::size_t>(m_sheet->currentIndex())];
    m_headers = headerTexts(sheet, m_headerRow->value() - 1);
    m_mapping = rememberedMapping(m_headers);
    if (m_mapping.isEmpty())
        m_mapping = autoMapping(m_headers);

    m_mappingTable->setRowCount(static_cast<int>(m_headers.size()));
    for (int i = 0; i < m_headers.size(); ++i) {
        auto* header = new QTableWidgetItem(m_headers.at(i).isEmpty() ? QStringLiteral("（第 %1 列）").arg(i + 1)
                                                                      : m_headers.at(i));
        header->setFlags(Qt::ItemIsEnabled);
        m_mappingTable->setItem(i, 0, header);
        auto* field = new QComboBox;
        field->addItem(QStringLiteral("（不导入）"), QString());
        for (const vehicles::VehicleColumn& c : vehicles::vehicleColumns())
            if (c.form != vehicles::ColumnForm::Key && c.form != vehicles::ColumnForm::Picture)
                field->addItem(vehicles::fieldName(c), c.name);
        field->setCurrentIndex(std::max(0, field->findData(m_mapping.at(i))));
        connect(field, &QComboBox::currentIndexChanged, this, [this, i, field] {
            m_mapping[i] = field->currentData().toString();
            rememberMapping(m_headers, m_mapping);
            refreshPreview();
        });
        m_mappingTable->setCellWidget(i, 1, field);
    }
    refreshPreview();
}

ImportOptions ImportWindow::options() const
{
    ImportOptions o;
    o.match = m_match->currentIndex() == 1 ? MatchBy::FileNumber : MatchBy::Plate;
    o.update = m_update->isChecked();
    return o;
}

ImportSource ImportWindow::source() const
{
    ImportSource s;
    s.fileName = QFileInfo(m_path).fileName();
    if (m_book && m_sheet->currentIndex() >= 0)
        s.sheet = m_book->sheets[static_cast<std::size_t>(m_sheet->currentIndex())];
    s.headerRow = m_headerRow->value() - 1;
    s.mapping = m_mapping;
    return s;
}

void ImportWindow::refreshPreview()
{
    if (!m_book || !m_state.dbConnection)
        return;
    const int generation = ++m_previewGeneration;
    ++m_pending;
    m_import->setEnabled(false);
    m_counts->setText(QStringLiteral("正在检查…"));
    auto src = std::make_shared<ImportSource>();
    src->fileName = QFileInfo(m_path).fileName();
    src->headerRow = m_headerRow->value() - 1;
    src->mapping = m_mapping;
    const auto book = m_book;
    const int sheetIndex = m_sheet->currentIndex();
    const ImportOptions opts = options();
    const db::Connection::Options dbOptions = m_state.dbConnection->options();
    startJob(
        JobLane::database(), this,
        [book, sheetIndex, src, opts, dbOptions](JobControl&) {
            PreviewResult result;
            src->sheet = book->sheets[static_cast<std::size_t>(sheetIndex)];
            QString error;
            const db::ConnectionPtr session = db::threadSession(dbOptions, &error);
            if (!session) {
                result.error = error;
                return result;
            }
            const std::optional<StoredFleet> stored = readStoredFleet(session, src->mapping, &error);
            if (!stored) {
                result.error = error;
                return result;
            }
            std::vector<PlannedRow> all = planRows(*src, *stored, opts);
            result.counts = countPlan(all);
            std::vector<PlannedRow> first;
            for (PlannedRow& r : all) {
                if (r.kind == PlannedRow::Empty)
                    continue;
                if (static_cast<int>(first.size()) >= kPreviewRows)
                    break;
                first.push_back(std::move(r));
            }
            result.headers = previewHeaders(src->mapping);
            result.lines = previewLines(first, src->sheet, src->mapping);
            return result;
        },
        [this, generation](PreviewResult result) {
            --m_pending;
            if (generation != m_previewGeneration)
                return;
            if (!result.error.isEmpty()) {
                m_counts->setText(QStringLiteral("无法检查：") + result.error);
                return;
            }
            showPreview(std::move(result.headers), std::move(result.lines), result.counts);
        });
}

void ImportWindow::showPreview(QStringList headers, std::vector<PreviewLine> lines, const Counts& counts)
{
    // The outcome column as wide as its longest text (up to a limit, the rest in its tip), the
    // others fixed: measuring every cell would hold the window for long on a slow machine.
    int outcomeWidth = fontMetrics().horizontalAdvance(QStringLiteral("结果"));
    for (const PreviewLine& line : lines)
        outcomeWidth = std::max(outcomeWidth, fontMetrics().horizontalAdvance(line.outcome));
    m_previewModel->setLines(std::move(headers), std::move(lines));
    m_preview->setColumnWidth(0, 48);
    m_preview->setColumnWidth(1, std::min(outcomeWidth + 16, 420));
    for (int c = 2; c < m_previewModel->columnCount(); ++c)
        m_preview->setColumnWidth(c, 110);
    m_counts->setText(countsLine(counts) + QStringLiteral("（预览前 %1 行）").arg(kPreviewRows));
    m_import->setEnabled(counts.added + counts.updated > 0);
}

void ImportWindow::setBusy(bool busy)
{
    m_import->setEnabled(!busy && m_book);
    m_cancel->setEnabled(busy && m_stop);
    m_sheet->setEnabled(!busy);
    m_headerRow->setEnabled(!busy);
    m_match->setEnabled(!busy);
    m_update->setEnabled(!busy);
    m_mappingTable->setEnabled(!busy);
    m_imports->setEnabled(!busy);
    m_undo->setEnabled(!busy && m_imports->currentIndex() >= 0);
}

void ImportWindow::startImport()
{
    if (!m_book || !m_state.dbConnection || !ui::allowedOrRefused(m_state, Permission::EditVehicles, m_dialogs))
        return;
    rememberMapping(m_headers, m_mapping);
    m_stop = std::make_shared<std::atomic_bool>(false);
    setBusy(true);
    m_report->clear();
    m_progress->setValue(0);
    ++m_pending;
    auto src = std::make_shared<ImportSource>();
    src->fileName = QFileInfo(m_path).fileName();
    src->headerRow = m_headerRow->value() - 1;
    src->mapping = m_mapping;
    const auto book = m_book;
    const int sheetIndex = m_sheet->currentIndex();
    const ImportOptions opts = options();
    const db::Connection::Options dbOptions = m_state.dbConnection->options();
    const vehicles::ChangeAuthor author = vehicles::changeAuthor(m_state);
    const auto stop = m_stop;
    const QFileInfo info(m_path);
    const QString refusedPath = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("-未导入.xlsx");
    const QStringList headers = m_headers;
    startJob(
        JobLane::database(), this,
        [book, sheetIndex, src, opts, dbOptions, author, stop, refusedPath, headers](JobControl& control) {
            src->sheet = book->sheets[static_cast<std::size_t>(sheetIndex)];
            QString error;
            const db::ConnectionPtr session = db::threadSession(dbOptions, &error);
            FinishedImport finished;
            if (!session) {
                finished.report.error = error;
                return finished;
            }
            finished.report = runImport(session, *src, opts, author, false, [&control, stop](int done, int total) {
                control.progress(done, total);
                return !stop->load();
            });
            // The rows to fix are written here, off the window thread.
            const std::vector<RefusedRow> toFix = rowsNotImported(finished.report);
            if (!toFix.empty()) {
                if (writeRefusedRows(refusedPath, headers, toFix, &error))
                    finished.savedTo = refusedPath;
                else
                    finished.saveError = error;
            }
            return finished;
        },
        [this](FinishedImport finished) {
            --m_pending;
            importFinished(finished);
        },
        [this](qint64 done, qint64 total) {
            m_progress->setRange(0, static_cast<int>(total));
            m_progress->setValue(static_cast<int>(done));
        });
}

void ImportWindow::importFinished(const FinishedImport& finished)
{
    const ImportReport& report = finished.report;
    m_stop.reset();
    if (!report.error.isEmpty()) {
        setBusy(false);
        m_report->setText(QStringLiteral("无法导入：") + report.error);
        return;
    }
    m_lastBatch = report.batchId;
    m_chooseImport = report.batchId;
    m_progress->setRange(0, std::max(1, report.rowsTotal));
    m_progress->setValue(report.rowsDone);
    const Counts& c = report.counts;
    QString text = QStringLiteral("导入完成：新增 %1 辆，修改 %2 辆，未变 %3，跳过 %4，未导入 %5 行。")
                       .arg(c.added)
                       .arg(c.updated)
                       .arg(c.unchanged)
                       .arg(c.skipped)
                       .arg(c.refused);
    if (report.cancelled)
        text = QStringLiteral("已取消（处理了 %1/%2 行）。").arg(report.rowsDone).arg(report.rowsTotal) + text;
    if (!report.stopped.isEmpty())
        text += QStringLiteral("\n导入中断：%1（处理了 %2/%3 行，其余的行没有导入）")
                    .arg(report.stopped)
                    .arg(report.rowsDone)
                    .arg(report.rowsTotal);
    if (!finished.savedTo.isEmpty())
        text += QStringLiteral("\n未导入的行及原因已存入：") + finished.savedTo;
    else if (!finished.saveError.isEmpty())
        text += QStringLiteral("\n未导入的行无法保存：") + finished.saveError;
    m_report->setText(text);
    setBusy(false);
    loadImports();
    refreshPreview();
}

// The imports that can still be undone, newest first; the one just made chosen.
void ImportWindow::loadImports()
{
    if (!m_state.dbConnection)
        return;
    ++m_pending;
    const db::Connection::Options dbOptions = m_state.dbConnection->options();
    startJob(
        JobLane::database(), this,
        [dbOptions](JobControl&) {
            QString error;
            std::vector<BatchInfo> open;
            if (const db::ConnectionPtr session = db::threadSession(dbOptions, &error))
                if (const std::optional<std::vector<BatchInfo>> all = listImports(session, &error))
                    for (const BatchInfo& b : *all)
                        if (!b.undone && b.vehicles > 0 && open.size() < 50)
                            open.push_back(b);
            return open;
        },
        [this](std::vector<BatchInfo> open) {
            --m_pending;
            // The import just made, else the one chosen before, else the newest.
            const qint64 chosen = m_chooseImport ? m_chooseImport : m_imports->currentData().toLongLong();
            m_chooseImport = 0;
            m_imports->clear();
            for (const BatchInfo& b : open)
                m_imports->addItem(QStringLiteral("%1 %2（%3 辆）").arg(b.time.left(16), b.fileName).arg(b.vehicles), b.id);
            m_imports->setCurrentIndex(std::max(0, m_imports->findData(chosen)));
            m_undo->setEnabled(m_imports->isEnabled() && m_imports->currentIndex() >= 0);
        });
}

void ImportWindow::undoLast()
{
    const qint64 batch = m_imports->currentData().toLongLong();
    if (batch <= 0 || !m_state.dbConnection || !ui::allowedOrRefused(m_state, Permission::EditVehicles, m_dialogs))
        return;
    m_progress->setValue(0);
    setBusy(true);
    ++m_pending;
    const db::Connection::Options dbOptions = m_state.dbConnection->options();
    const vehicles::ChangeAuthor author = vehicles::changeAuthor(m_state);
    startJob(
        JobLane::database(), this,
        [batch, dbOptions, author](JobControl&) {
            QString error;
            const db::ConnectionPtr session = db::threadSession(dbOptions, &error);
            if (!session) {
                UndoResult r;
                r.error = error;
                return r;
            }
            return undoImport(session, batch, author);
        },
        [this, batch](UndoResult result) {
            --m_pending;
            QString text;
            if (result.done) {
                text = QStringLiteral("已撤销导入：%1 辆车恢复为导入前的样子。").arg(result.undone);
                if (m_lastBatch == batch)
                    m_lastBatch = 0;
            } else if (!result.changedSince.isEmpty()) {
                text = QStringLiteral("无法撤销导入：以下车辆在导入后又被修改过：") + result.changedSince.join(QStringLiteral("、"));
            } else {
                text = QStringLiteral("无法撤销导入：") + result.error;
            }
            m_report->setText(text);
            setBusy(false);
            loadImports();
            refreshPreview();
            m_dialogs.message(text);
        });
}

} // namespace fd::import

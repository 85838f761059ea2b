#pragma once

#include <functional>

#include "printing/PrintMargins.h"
#include "fleet/ShownList.h"

#include <QFont>
#include <QList>
#include <QSizeF>

class QPainter;

namespace fd::printing {

// The printed pages of a shown list. Lengths are tenths of a millimetre from the paper's top left
// corner. Every page has the title line, the header row, its rows with the colours of the grid
// and the footer "第 n 页 / 共 m 页". Columns that do not fit the width go to further pages, which
// repeat the row number and the plate (序号, 车牌号) so that a reader matches their rows to the
// first page's; pages run across the columns, then down the rows.
//
// Rows have one fixed height, so any page's rows and columns follow from its number alone: the
// layout is computed in constant time and a page is painted only when it is asked for, whatever
// the length of the list. The layout reads only its snapshot of the list and its own fonts: it may
// be made and painted on a worker thread (on a printer or PDF writer there, never a widget).
class PrintLayout {
public:
    // Tenths of a millimetre per screen pixel (96 per inch): the grid's widths carry to paper.
    static constexpr double kUnitsPerPixel = 254.0 / 96.0;
    static constexpr double kRowHeight = 24 * kUnitsPerPixel;

    struct Page {
        int firstRow = 0;
        int rowCount = 0;
        QList<int> columns; // indexes into the shown columns, left to right
    };

    PrintLayout() = default;
    PrintLayout(fleet::ShownList list, QSizeF paper, const PrintMargins& margins);

    const fleet::ShownList& list() const { return m_list; }
    QSizeF paper() const { return m_paper; }
    int pageCount() const { return m_rowPages * static_cast<int>(m_columnPages.size()); }
    int rowsPerPage() const { return m_rowsPerPage; }
    int columnPages() const { return static_cast<int>(m_columnPages.size()); }
    // Page index counts from 0.
    Page page(int index) const;
    // Paints one page; the painter's coordinates are tenths of a millimetre.
    void paint(QPainter& painter, int index) const;

private:
    // A list that is one drawing: its title, then the drawing on the one page.
    void paintDrawing(QPainter& painter) const;

    fleet::ShownList m_list;
    QSizeF m_paper;
    PrintMargins m_margins;
    QFont m_titleFont, m_headerFont, m_cellFont, m_footerFont;
    double m_titleZone = 0, m_footerZone = 0, m_headerHeight = 0;
    QList<double> m_widths; // per shown column
    QList<QList<int>> m_columnPages;
    int m_rowsPerPage = 1;
    int m_rowPages = 1;
};

} // namespace fd::printing

class QPagedPaintDevice;
class QPageLayout;

namespace fd::printing {

// Told after each page with the pages done and the page count; false stops the output there.
using PageProgress = std::function<bool(int done, int total)>;

// Paints every page of the layout on an open painter of a paged device of the given resolution
// whose origin is the paper's corner. False when the device stopped taking pages or progress
// stopped the output.
bool renderPages(QPainter& painter, QPagedPaintDevice& device, int dpi, const PrintLayout& layout,
    const PageProgress& progress = {});

// Writes the pages as a PDF file with the given paper (its margins are ignored: the layout keeps
// its own). A failure, or a stop asked by progress, leaves no half-written file under the name;
// error says why (empty when stopped).
bool savePdf(const PrintLayout& layout, const QPageLayout& paper, const QString& path, QString* error,
    const PageProgress& progress = {});

} // namespace fd::printing

#pragma once

#include "vehicles/ExpiryBand.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace fd::db {
class Result;
}

namespace fd::fleet {

// The rows of one fill of the fleet grid, kept as plain data: per row the ID, the texts of the
// file number, plate, owner, phone and the date columns exactly as the database returned them
// (GBK bytes), and the band of each date. No per-cell objects, and no per-cell offsets: a list of
// 100 000 vehicles costs little more than the bytes of its result. A list read in parts holds one
// of these per part (ListRows.h).
class VehicleRows {
public:
    // Text cells before the dates: file number, plate, owner, phone (grid columns 2-5).
    static constexpr int kLeadingTexts = 4;

    explicit VehicleRows(int dateColumns = 0);

    int dateColumns() const { return m_dateColumns; }
    int textColumns() const { return kLeadingTexts + m_dateColumns; }
    qsizetype size() const { return static_cast<qsizetype>(m_begins.size()); }
    bool empty() const { return m_begins.empty(); }

    qint64 id(qsizetype row) const;
    // Text cell k (0..textColumns()-1) of a row, as GBK bytes (no copy) or decoded.
    QByteArrayView bytes(qsizetype row, int k) const;
    QString text(qsizetype row, int k) const;
    vehicles::ExpiryBand band(qsizetype row, int dateIndex) const
    {
        return static_cast<vehicles::ExpiryBand>(static_cast<quint8>(*(rowAt(row) + dateIndex)));
    }

    void reserve(qsizetype rows);
    // Appends one row; texts holds textColumns() cells (a null pointer is an empty cell). False,
    // with nothing appended, when the texts of the list would pass 4 GB.
    struct Cell {
        const char* data;
        std::size_t size;
    };
    bool append(qint64 id, const Cell* texts, const vehicles::ExpiryBand* bands);

    // Gives back the unused end of the last block, once no more rows will be appended: a list
    // read in parts would otherwise keep most of a block per part.
    void shrinkToFit();

    // Bytes held, for the memory figures of the benchmark.
    std::size_t memoryBytes() const;

private:
    // A row is stored as its date bands (one byte each), then its ID as decimal text and its text
    // cells, each cell as its length and its bytes. A length below 255 takes one byte; a longer
    // one is 255 followed by four bytes. A cell is found by walking the few cells before it,
    // which costs far less than its decoding, and saves the four bytes per cell that an offset
    // table would hold for every cell of the list.
    //
    // The rows live in blocks of kBlock bytes that are never moved or grown, so a fill needs no
    // size estimate and never copies what it has stored. An offset o is at
    // m_slots[o / kBlock] + o % kBlock. A row never straddles two blocks: a row that does not fit
    // in the rest of a block starts the next one, and a row longer than a block gets a buffer of
    // several consecutive slots.
    static constexpr std::size_t kBlock = std::size_t(1) << 20;
    static constexpr quint8 kLongLength = 255;
    char* at(std::size_t offset) const { return m_slots[offset / kBlock] + offset % kBlock; }
    const char* rowAt(qsizetype row) const { return at(m_begins[static_cast<std::size_t>(row)]); }
    // The cell at p: its bytes, and p moved past it.
    static QByteArrayView readCell(const char*& p);

    int m_dateColumns;
    std::vector<quint32> m_begins; // offset of each row
    std::vector<std::unique_ptr<char[]>> m_buffers;
    std::vector<char*> m_slots;
    std::size_t m_used = 0;      // offset of the next free byte
    std::size_t m_allocated = 0; // bytes of the buffers
    std::size_t m_lastBufferSlot = 0; // the first slot of the last buffer
};

// Reads the rows of a result (stored or streamed) into VehicleRows, as many at a time as the
// caller wants: ID, danganbianhao, cepaihao, cezuxingming, cezudianhua and the named date fields,
// in the result's order, the dates banded against the login month. A column the result lacks
// reads as empty. Thread affinity: the result's.
class VehicleRowReader {
public:
    VehicleRowReader(db::Result& result, const QStringList& dateFields, double loginDateTime);

    enum class Stop {
        end,   // the result has no more rows (or its rows stopped coming: see Result::failed)
        asked, // more() said to stop before the next row
        full,  // the next row does not fit in these rows; it stays under the cursor
    };
    // Appends the rows from the cursor on to rows (which has the reader's date columns), moving
    // the cursor past each, until one of the stops. more() is asked before each row.
    Stop read(VehicleRows& rows, const std::function<bool()>& more);

    int dateColumns() const { return static_cast<int>(m_bands.size()); }

private:
    db::Result& m_result;
    int m_idColumn = -1;
    std::vector<int> m_columns; // of the text cells
    int m_loginYear = 0, m_loginMonth = 0;
    std::vector<VehicleRows::Cell> m_cells;
    std::vector<vehicles::ExpiryBand> m_bands;
};

// Fills rows from a result (stored or streamed) with a VehicleRowReader, every row of the result
// in order. The result's cursor is left past its rows.
VehicleRows fillVehicleRows(db::Result& result, const QStringList& dateFields, double loginDateTime);

} // namespace fd::fleet

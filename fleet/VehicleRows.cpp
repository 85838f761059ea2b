#include "fleet/VehicleRows.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "db/Connection.h"
#include "db/FieldConvert.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace fd::vehicles {

VehicleRows::VehicleRows(int dateColumns) : m_dateColumns(dateColumns) {}

QByteArrayView VehicleRows::readCell(const char*& p)
{
    std::size_t size = static_cast<quint8>(*p++);
    if (size == kLongLength) {
        quint32 longSize = 0;
        std::memcpy(&longSize, p, sizeof longSize);
        p += sizeof longSize;
        size = longSize;
    }
    const char* data = p;
    p += size;
    return size == 0 ? QByteArrayView() : QByteArrayView(data, static_cast<qsizetype>(size));
}

qint64 VehicleRows::id(qsizetype row) const
{
    const char* p = rowAt(row) + m_dateColumns;
    const QByteArrayView text = readCell(p);
    qint64 value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

QByteArrayView VehicleRows::bytes(qsizetype row, int k) const
{
    const char* p = rowAt(row) + m_dateColumns;
    readCell(p); // the ID
    for (int i = 0; i < k; ++i)
        readCell(p);
    return readCell(p);
}

QString VehicleRows::text(qsizetype row, int k) const
{
    const QByteArrayView b = bytes(row, k);
    return text::fromGbk(b.data(), b.size());
}

void VehicleRows::reserve(qsizetype rows)
{
    m_begins.reserve(static_cast<std::size_t>(rows));
}

bool VehicleRows::append(qint64 id, const Cell* texts, const ExpiryBand* bands)
{
    char idText[24];
    const std::size_t idSize = static_cast<std::size_t>(std::to_chars(idText, idText + sizeof idText, id).ptr - idText);
    auto stored = [](std::size_t size) { return (size < kLongLength ? 1 : 1 + sizeof(quint32)) + size; };
    std::size_t rowBytes = static_cast<std::size_t>(m_dateColumns) + stored(idSize);
    for (int k = 0; k < textColumns(); ++k) {
        const std::size_t size = texts[k].data ? texts[k].size : 0;
        if (size > std::numeric_limits<quint32>::max())
            return false;
        rowBytes += stored(size);
    }
    std::size_t begin = m_used;
    const std::size_t allocated = m_slots.size() * kBlock;
    if (begin + rowBytes > allocated) {
        // Start a new block (or a run of slots for a row longer than a block).
        const std::size_t slots = (rowBytes + kBlock - 1) / kBlock;
        if (allocated + slots * kBlock > std::numeric_limits<quint32>::max())
            return false;
        auto buffer = std::make_unique_for_overwrite<char[]>(slots * kBlock);
        for (std::size_t j = 0; j < slots; ++j)
            m_slots.push_back(buffer.get() + j * kBlock);
        m_buffers.push_back(std::move(buffer));
        begin = allocated;
    }
    char* p = at(begin);
    for (int k = 0; k < m_dateColumns; ++k)
        *p++ = static_cast<char>(bands[k]);
    auto write = [&p](const char* data, std::size_t size) {
        if (size < kLongLength) {
            *p++ = static_cast<char>(size);
        } else {
            *p++ = static_cast<char>(kLongLength);
            const auto longSize = static_cast<quint32>(size);
            std::memcpy(p, &longSize, sizeof longSize);
            p += sizeof longSize;
        }
        if (size > 0)
            std::memcpy(p, data, size);
        p += size;
    };
    write(idText, idSize);
    for (int k = 0; k < textColumns(); ++k)
        write(texts[k].data, texts[k].data ? texts[k].size : 0);
    m_begins.push_back(static_cast<quint32>(begin));
    m_used = begin + rowBytes;
    return true;
}

std::size_t VehicleRows::memoryBytes() const
{
    return sizeof(*this) + m_begins.capacity() * sizeof(quint32) + m_buffers.capacity() * sizeof(void*)
        + m_slots.capacity() * sizeof(char*) + m_slots.size() * kBlock;
}

namespace {
// Grid columns before the first text cell: the ID and the row number.
constexpr int kFirstTextColumn = 2;
constexpr int kFirstDateColumn = kFirstTextColumn + VehicleRows::kLeadingTexts;

// The index of a date column's band, or -1 when the cell holds no date.
int dateIndex(const VehicleRows& rows, qsizetype row, int column)
{
    const int k = column - kFirstDateColumn;
    return row >= 0 && row < rows.size() && k >= 0 && k < rows.dateColumns() ? k : -1;
}
} // namespace

QString gridCellText(const VehicleRows& rows, qsizetype row, int column)
{
    if (row < 0 || row >= rows.size() || column < 0)
        return {};
    if (column == 0)
        return QString::number(rows.id(row));
    if (column == 1)
        return QString::number(row + 1);
    const int k = column - kFirstTextColumn;
    if (k >= rows.textColumns())
        return {};
    return rows.text(row, k);
}

QColor gridCellBackground(const VehicleRows& rows, qsizetype row, int column, bool searchColours)
{
    const int k = dateIndex(rows, row, column);
    return k < 0 ? QColor() : bandBackground(rows.band(row, k), searchColours);
}

QColor gridCellForeground(const VehicleRows& rows, qsizetype row, int column)
{
    const int k = dateIndex(rows, row, column);
    return k < 0 ? QColor() : bandForeground(rows.band(row, k));
}

VehicleRows fillVehicleRows(db::Result& result, const QStringList& dateFields, double loginDateTime)
{
    const int dates = static_cast<int>(dateFields.size());
    VehicleRows rows(dates);
    if (!result.hasRow())
        return rows;

    // Column positions once per fill; a column the result lacks reads as empty.
    const int idColumn = result.columnIndex("ID");
    std::vector<int> columns = {result.columnIndex("danganbianhao"), result.columnIndex("cepaihao"),
        result.columnIndex("cezuxingming"), result.columnIndex("cezudianhua")};
    for (const QString& field : dateFields)
        columns.push_back(result.columnIndex(field));

    int loginYear = 0, loginMonth = 0, loginDay = 0;
    datetime::dateOf(loginDateTime, loginYear, loginMonth, loginDay);

    const int textColumns = rows.textColumns();
    std::vector<VehicleRows::Cell> cells(static_cast<std::size_t>(textColumns));
    std::vector<ExpiryBand> bands(static_cast<std::size_t>(dates));

    auto readRow = [&] {
        for (int k = 0; k < textColumns; ++k) {
            const int c = columns[static_cast<std::size_t>(k)];
            if (c < 0 || result.isNull(c))
                cells[static_cast<std::size_t>(k)] = {nullptr, 0};
            else
                cells[static_cast<std::size_t>(k)] = {result.data(c), result.size(c)};
        }
    };

    // A stored result knows its row count; a streamed one learns it row by row.
    if (!result.atEnd() && result.rowCount() > 1)
        rows.reserve(result.rowCount());
    while (!result.atEnd()) {
        readRow();
        qint64 id = 0;
        if (idColumn >= 0 && !result.isNull(idColumn))
            id = db::convert::toInteger(result.data(idColumn), result.size(idColumn));
        for (int k = 0; k < dates; ++k) {
            const VehicleRows::Cell& cell = cells[static_cast<std::size_t>(VehicleRows::kLeadingTexts + k)];
            bands[static_cast<std::size_t>(k)] = expiryBandOfText(cell.data, cell.size, loginYear, loginMonth);
        }
        if (!rows.append(id, cells.data(), bands.data()))
            break; // offsets are 32-bit: a list past 4 GB of text ends here
        result.skipRow();
    }
    return rows;
}

} // namespace fd::vehicles

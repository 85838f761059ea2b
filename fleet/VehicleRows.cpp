#include "fleet/VehicleRows.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "db/Connection.h"
#include "db/FieldConvert.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace fd::fleet {

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

bool VehicleRows::append(qint64 id, const Cell* texts, const vehicles::ExpiryBand* bands)
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
        m_lastBufferSlot = m_slots.size();
        for (std::size_t j = 0; j < slots; ++j)
            m_slots.push_back(buffer.get() + j * kBlock);
        m_buffers.push_back(std::move(buffer));
        m_allocated += slots * kBlock;
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

void VehicleRows::shrinkToFit()
{
    m_begins.shrink_to_fit();
    if (m_buffers.empty())
        return;
    const std::size_t start = m_lastBufferSlot * kBlock;
    const std::size_t used = m_used - start;
    if (used == 0 || used == (m_slots.size() - m_lastBufferSlot) * kBlock)
        return;
    // The rows keep their offsets: the slots of the last buffer point into the smaller copy, and
    // the rest of its last slot counts as used, so that a later row starts a new block.
    auto buffer = std::make_unique_for_overwrite<char[]>(used);
    std::memcpy(buffer.get(), m_buffers.back().get(), used);
    for (std::size_t j = m_lastBufferSlot; j < m_slots.size(); ++j)
        m_slots[j] = buffer.get() + (j - m_lastBufferSlot) * kBlock;
    m_allocated -= (m_slots.size() - m_lastBufferSlot) * kBlock - used;
    m_buffers.back() = std::move(buffer);
    m_used = m_slots.size() * kBlock;
}

std::size_t VehicleRows::memoryBytes() const
{
    return sizeof(*this) + m_begins.capacity() * sizeof(quint32) + m_buffers.capacity() * sizeof(void*)
        + m_slots.capacity() * sizeof(char*) + m_allocated;
}

VehicleRowReader::VehicleRowReader(db::Result& result, const QStringList& dateFields, double loginDateTime)
    : m_result(result)
    , m_idColumn(result.columnIndex("ID"))
    , m_columns {result.columnIndex("danganbianhao"), result.columnIndex("cepaihao"), result.columnIndex("cezuxingming"),
          result.columnIndex("cezudianhua")}
    , m_bands(static_cast<std::size_t>(dateFields.size()))
{
    // Column positions once per list.
    for (const QString& field : dateFields)
        m_columns.push_back(result.columnIndex(field));
    m_cells.resize(m_columns.size());
    int day = 0;
    datetime::dateOf(loginDateTime, m_loginYear, m_loginMonth, day);
}

VehicleRowReader::Stop VehicleRowReader::read(VehicleRows& rows, const std::function<bool()>& more)
{
    db::Result& result = m_result;
    const std::size_t texts = m_cells.size();
    const std::size_t dates = m_bands.size();
    while (!result.atEnd()) {
        if (more && !more())
            return Stop::asked;
        for (std::size_t k = 0; k < texts; ++k) {
            const int c = m_columns[k];
            if (c < 0 || result.isNull(c))
                m_cells[k] = {nullptr, 0};
            else
                m_cells[k] = {result.data(c), result.size(c)};
        }
        qint64 id = 0;
        if (m_idColumn >= 0 && !result.isNull(m_idColumn))
            id = db::convert::toInteger(result.data(m_idColumn), result.size(m_idColumn));
        for (std::size_t k = 0; k < dates; ++k) {
            const VehicleRows::Cell& cell = m_cells[VehicleRows::kLeadingTexts + k];
            m_bands[k] = vehicles::expiryBandOfText(cell.data, cell.size, m_loginYear, m_loginMonth);
        }
        if (!rows.append(id, m_cells.data(), m_bands.data()))
            return Stop::full; // offsets are 32-bit: these rows end before 4 GB of text
        result.skipRow();
    }
    return Stop::end;
}

VehicleRows fillVehicleRows(db::Result& result, const QStringList& dateFields, double loginDateTime)
{
    VehicleRows rows(static_cast<int>(dateFields.size()));
    // A stored result knows its row count; a streamed one learns it row by row.
    if (!result.atEnd() && result.rowCount() > 1)
        rows.reserve(result.rowCount());
    VehicleRowReader(result, dateFields, loginDateTime).read(rows, {});
    return rows;
}

} // namespace fd::fleet

#include "vehicles/VehicleRows.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "db/Connection.h"
#include "db/FieldConvert.h"

#include <cstring>
#include <limits>

namespace fd::vehicles {

VehicleRows::VehicleRows(int dateColumns) : m_dateColumns(dateColumns) {}

QByteArrayView VehicleRows::bytes(qsizetype row, int k) const
{
    const std::size_t cell = static_cast<std::size_t>(row) * static_cast<std::size_t>(textColumns()) + static_cast<std::size_t>(k);
    const quint32 begin = cell == 0 ? 0 : m_ends[cell - 1];
    return QByteArrayView(m_text.data() + begin, static_cast<qsizetype>(m_ends[cell] - begin));
}

QString VehicleRows::text(qsizetype row, int k) const
{
    const QByteArrayView b = bytes(row, k);
    return text::fromGbk(b.data(), b.size());
}

void VehicleRows::reserve(qsizetype rows, qsizetype textBytes)
{
    const auto n = static_cast<std::size_t>(rows);
    m_ids.reserve(n);
    m_ends.reserve(n * static_cast<std::size_t>(textColumns()));
    m_bands.reserve(n * static_cast<std::size_t>(m_dateColumns));
    m_text.reserve(static_cast<std::size_t>(textBytes));
}

void VehicleRows::append(qint64 id, const Cell* texts, const ExpiryBand* bands)
{
    m_ids.push_back(id);
    for (int k = 0; k < textColumns(); ++k) {
        if (texts[k].data && texts[k].size > 0)
            m_text.insert(m_text.end(), texts[k].data, texts[k].data + texts[k].size);
        m_ends.push_back(static_cast<quint32>(m_text.size()));
    }
    for (int k = 0; k < m_dateColumns; ++k)
        m_bands.push_back(static_cast<quint8>(bands[k]));
}

void VehicleRows::squeeze()
{
    if (m_text.capacity() > m_text.size() + m_text.size() / 8)
        m_text.shrink_to_fit();
}

std::size_t VehicleRows::memoryBytes() const
{
    return sizeof(*this) + m_ids.capacity() * sizeof(qint64) + m_ends.capacity() * sizeof(quint32)
        + m_bands.capacity() + m_text.capacity();
}

VehicleRows fillVehicleRows(db::Result& result, const QStringList& dateFields, double loginDateTime)
{
    const int dates = static_cast<int>(dateFields.size());
    VehicleRows rows(dates);
    const qint64 n = result.rowCount();
    if (n <= 0 || !result.hasRow())
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

    // The first row gives the size estimate for the text buffer.
    readRow();
    std::size_t firstRowBytes = 0;
    for (const VehicleRows::Cell& cell : cells)
        firstRowBytes += cell.size;
    rows.reserve(n, static_cast<qsizetype>(std::min<double>(static_cast<double>(firstRowBytes) * 1.25 * static_cast<double>(n),
                        static_cast<double>(std::numeric_limits<quint32>::max()))));

    constexpr std::size_t kMaxText = std::numeric_limits<quint32>::max();
    std::size_t textBytes = 0;
    for (qint64 i = 0; i < n; ++i) {
        if (i > 0)
            readRow();
        std::size_t rowBytes = 0;
        for (const VehicleRows::Cell& cell : cells)
            rowBytes += cell.size;
        if (textBytes + rowBytes > kMaxText)
            break; // offsets are 32-bit: a list past 4 GB of text ends here
        textBytes += rowBytes;
        qint64 id = 0;
        if (idColumn >= 0 && !result.isNull(idColumn))
            id = db::convert::toInteger(result.data(idColumn), result.size(idColumn));
        for (int k = 0; k < dates; ++k) {
            const VehicleRows::Cell& cell = cells[static_cast<std::size_t>(VehicleRows::kLeadingTexts + k)];
            bands[static_cast<std::size_t>(k)] = expiryBandOfText(cell.data, cell.size, loginYear, loginMonth);
        }
        rows.append(id, cells.data(), bands.data());
        result.next();
    }
    rows.squeeze();
    return rows;
}

} // namespace fd::vehicles

#include "import/Sheet.h"

#include "common/Text.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <cmath>
#include <freexl.h>
#include <memory>
#include <zip.h>

namespace fd::import {

QString Cell::display() const
{
    switch (kind) {
    case Empty:
        return QString();
    case Text:
        return text;
    case Boolean:
        return number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Number:
    case Date:
        if (!text.isEmpty())
            return text;
        if (std::floor(number) == number && std::fabs(number) < 1e15)
            return QString::number(static_cast<qint64>(number));
        return QString::number(number, 'g', 15);
    }
    return QString();
}

Workbook readWorkbook(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("xlsx"))
        return readXlsx(path);
    if (suffix == QLatin1String("xls"))
        return readXls(path);
    return readCsvFile(path);
}

// ---- .xlsx -------------------------------------------------------------------------------------

namespace {

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};

bool readEntry(zip_t* archive, const QString& name, QByteArray& out)
{
    const QByteArray key = name.toUtf8();
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(archive, key.constData(), ZIP_FL_NOCASE, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        return false;
    zip_file_t* file = zip_fopen(archive, key.constData(), ZIP_FL_NOCASE);
    if (!file)
        return false;
    out.resize(static_cast<qsizetype>(st.size));
    const zip_int64_t got = zip_fread(file, out.data(), st.size);
    zip_fclose(file);
    return got == static_cast<zip_int64_t>(st.size);
}

// "AB12" -> column 27 (0-based); -1 when the reference holds no letters.
int columnOfReference(QStringView ref)
{
    int column = 0;
    int letters = 0;
    for (QChar c : ref) {
        const char16_t u = c.unicode();
        if (u >= 'A' && u <= 'Z')
            column = column * 26 + (u - 'A' + 1);
        else if (u >= 'a' && u <= 'z')
            column = column * 26 + (u - 'a' + 1);
        else
            break;
        ++letters;
    }
    return letters ? column - 1 : -1;
}

// The text of an <si> or <is> element: every <t> inside, phonetic runs (<rPh>) left out.
QString readRichText(QXmlStreamReader& xml)
{
    const QString end = xml.name().toString();
    QString text;
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (xml.name() == QLatin1String("t") && phonetic == 0)
                text += xml.readElementText();
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            else if (xml.name() == end)
                break;
        }
    }
    return text;
}

QString resolveTarget(const QString& target)
{
    if (target.startsWith(QLatin1Char('/')))
        return target.mid(1);
    return QStringLiteral("xl/") + target;
}

} // namespace

bool isDateFormat(int id, const QString& code)
{
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58))
        return true;
    if (id < 164 || code.isEmpty())
        return false;
    bool quoted = false;
    bool bracket = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (quoted) {
            if (c == QLatin1Char('"'))
                quoted = false;
            continue;
        }
        if (bracket) {
            if (c == QLatin1Char(']'))
                bracket = false;
            continue;
        }
        if (c == QLatin1Char('"'))
            quoted = true;
        else if (c == QLatin1Char('['))
            bracket = true;
        else if (c == QLatin1Char('\\') || c == QLatin1Char('_'))
            ++i;
        else if (c == QLatin1Char(';'))
            break; // the first section decides
        else {
            const char16_t u = c.toLower().unicode();
            if (u == 'y' || u == 'd' || u == 'm' || u == 'h' || u == 'e')
                return true;
        }
    }
    return false;
}

Workbook readXlsx(const QString& path)
{
    Workbook book;
    int zipError = 0;
    std::unique_ptr<zip_t, ZipCloser> archive(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &zipError));
    if (!archive) {
        book.error = QStringLiteral("不是可读的 .xlsx 文件");
        return book;
    }
    QByteArray data;
    if (!readEntry(archive.get(), QStringLiteral("xl/workbook.xml"), data)) {
        book.error = QStringLiteral("不是可读的 .xlsx 文件（缺少 workbook.xml）");
        return book;
    }
    struct SheetRef {
        QString name, rid;
    };
    std::vector<SheetRef> refs;
    {
        QXmlStreamReader xml(data);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("sheet")) {
                const auto a = xml.attributes();
                QString rid;
                for (const auto& attr : a)
                    if (attr.name() == QLatin1String("id"))
                        rid = attr.value().toString();
                refs.push_back({a.value(QLatin1String("name")).toString(), rid});
            }
        }
    }
    QHash<QString, QString> targets;
    if (readEntry(archive.get(), QStringLiteral("xl/_rels/workbook.xml.rels"), data)) {
        QXmlStreamReader xml(data);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("Relationship"))
                targets.insert(xml.attributes().value(QLatin1String("Id")).toString(),
                    resolveTarget(xml.attributes().value(QLatin1String("Target")).toString()));
        }
    }
    QStringList shared;
    if (readEntry(archive.get(), QStringLiteral("xl/sharedStrings.xml"), data)) {
        QXmlStreamReader xml(data);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("si"))
                shared << readRichText(xml);
        }
    }
    std::vector<bool> dateStyles;
    if (readEntry(archive.get(), QStringLiteral("xl/styles.xml"), data)) {
        QHash<int, QString> codes;
        QXmlStreamReader xml(data);
        bool inCellXfs = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.name() == QLatin1String("numFmt"))
                    codes.insert(xml.attributes().value(QLatin1String("numFmtId")).toInt(),
                        xml.attributes().value(QLatin1String("formatCode")).toString());
                else if (xml.name() == QLatin1String("cellXfs"))
                    inCellXfs = true;
                else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                    const int id = xml.attributes().value(QLatin1String("numFmtId")).toInt();
                    dateStyles.push_back(isDateFormat(id, codes.value(id)));
                }
            } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = false;
            }
        }
    }

    for (std::size_t index = 0; index < refs.size(); ++index) {
        Sheet sheet;
        sheet.name = refs[index].name;
        QString target = targets.value(refs[index].rid);
        if (target.isEmpty())
            target = QStringLiteral("xl/worksheets/sheet%1.xml").arg(index + 1);
        if (!readEntry(archive.get(), target, data)) {
            book.sheets.push_back(std::move(sheet));
            continue;
        }
        QXmlStreamReader xml(data);
        Row* row = nullptr;
        int nextColumn = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("row")) {
                const int number = xml.attributes().value(QLatin1String("r")).toInt();
                const std::size_t at = number > 0 ? static_cast<std::size_t>(number - 1) : sheet.rows.size();
                if (sheet.rows.size() <= at)
                    sheet.rows.resize(at + 1);
                row = &sheet.rows[at];
                nextColumn = 0;
            } else if (xml.name() == QLatin1String("c") && row) {
                const auto attrs = xml.attributes();
                int column = columnOfReference(attrs.value(QLatin1String("r")));
                if (column < 0)
                    column = nextColumn;
                nextColumn = column + 1;
                const QString type = attrs.value(QLatin1String("t")).toString();
                const int style = attrs.value(QLatin1String("s")).toInt();
                QString value;
                QString inlineText;
                bool hasInline = false;
                while (!xml.atEnd()) {
                    xml.readNext();
                    if (xml.isStartElement()) {
                        if (xml.name() == QLatin1String("v"))
                            value = xml.readElementText();
                        else if (xml.name() == QLatin1String("is")) {
                            inlineText = readRichText(xml);
                            hasInline = true;
                        }
                    } else if (xml.isEndElement() && xml.name() == QLatin1String("c")) {
                        break;
                    }
                }
                Cell cell;
                if (type == QLatin1String("s")) {
                    const int i = value.toInt();
                    cell.kind = Cell::Text;
                    cell.text = i >= 0 && i < shared.size() ? shared.at(i) : QString();
                } else if (type == QLatin1String("inlineStr") || hasInline) {
                    cell.kind = Cell::Text;
                    cell.text = inlineText;
                } else if (type == QLatin1String("str") || type == QLatin1String("e")) {
                    cell.kind = Cell::Text;
                    cell.text = value;
                } else if (type == QLatin1String("b")) {
                    cell.kind = Cell::Boolean;
                    cell.number = value.trimmed() == QLatin1String("1") ? 1 : 0;
                } else if (type == QLatin1String("d")) {
                    cell.kind = Cell::Text;
                    cell.text = value;
                } else if (!value.isEmpty()) {
                    bool ok = false;
                    cell.number = value.toDouble(&ok);
                    if (ok) {
                        const bool date = style >= 0 && static_cast<std::size_t>(style) < dateStyles.size()
                            && dateStyles[static_cast<std::size_t>(style)];
                        cell.kind = date ? Cell::Date : Cell::Number;
                    } else {
                        cell.kind = Cell::Text;
                        cell.text = value;
                    }
                }
                if (cell.kind != Cell::Empty) {
                    if (row->size() <= static_cast<std::size_t>(column))
                        row->resize(static_cast<std::size_t>(column) + 1);
                    (*row)[static_cast<std::size_t>(column)] = std::move(cell);
                }
            }
        }
        if (xml.hasError()) {
            book.error = QStringLiteral("工作表“%1”无法读取：%2").arg(sheet.name, xml.errorString());
            return book;
        }
        book.sheets.push_back(std::move(sheet));
    }
    if (book.sheets.empty())
        book.error = QStringLiteral("文件中没有工作表");
    return book;
}

// ---- .xls --------------------------------------------------------------------------------------

Workbook readXls(const QString& path)
{
    Workbook book;
    const void* handle = nullptr;
    if (freexl_open(QFile::encodeName(path).constData(), &handle) != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        book.error = QStringLiteral("不是可读的 .xls 文件");
        return book;
    }
    unsigned int count = 0;
    freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count);
    for (unsigned int s = 0; s < count; ++s) {
        Sheet sheet;
        const char* name = nullptr;
        if (freexl_get_worksheet_name(handle, static_cast<unsigned short>(s), &name) == FREEXL_OK && name)
            sheet.name = QString::fromUtf8(name);
        if (freexl_select_active_worksheet(handle, static_cast<unsigned short>(s)) != FREEXL_OK)
            continue;
        unsigned int rows = 0;
        unsigned short columns = 0;
        freexl_worksheet_dimensions(handle, &rows, &columns);
        sheet.rows.resize(rows);
        for (unsigned int r = 0; r < rows; ++r) {
            Row& row = sheet.rows[r];
            row.resize(columns);
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue value;
                if (freexl_get_cell_value(handle, r, c, &value) != FREEXL_OK)
                    continue;
                Cell& cell = row[c];
                switch (value.type) {
                case FREEXL_CELL_INT:
                    cell.kind = Cell::Number;
                    cell.number = value.value.int_value;
                    break;
                case FREEXL_CELL_DOUBLE:
                    cell.kind = Cell::Number;
                    cell.number = value.value.double_value;
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                    cell.kind = Cell::Text;
                    cell.text = QString::fromUtf8(value.value.text_value);
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                    cell.kind = Cell::Date;
                    cell.text = QString::fromUtf8(value.value.text_value);
                    break;
                case FREEXL_CELL_TIME:
                    cell.kind = Cell::Text;
                    cell.text = QString::fromUtf8(value.value.text_value);
                    break;
                default:
                    break;
                }
            }
        }
        book.sheets.push_back(std::move(sheet));
    }
    freexl_close(handle);
    if (book.sheets.empty())
        book.error = QStringLiteral("文件中没有工作表");
    return book;
}

// ---- CSV ---------------------------------------------------------------------------------------

QString decodeCsvText(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder d(QStringDecoder::Utf16LE);
        return d(bytes.mid(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder d(QStringDecoder::Utf16BE);
        return d(bytes.mid(2));
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return text::fromGbk(bytes);
}

QChar findSeparator(const QString& text)
{
    int comma = 0, semicolon = 0, tab = 0;
    bool quoted = false;
    for (QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r')))
            break;
        else if (!quoted && c == QLatin1Char(','))
            ++comma;
        else if (!quoted && c == QLatin1Char(';'))
            ++semicolon;
        else if (!quoted && c == QLatin1Char('\t'))
            ++tab;
    }
    if (tab > comma && tab >= semicolon)
        return QLatin1Char('\t');
    if (semicolon > comma)
        return QLatin1Char(';');
    return QLatin1Char(',');
}

Sheet readCsv(const QByteArray& bytes, const QString& name)
{
    Sheet sheet;
    sheet.name = name;
    const QString text = decodeCsvText(bytes);
    const QChar sep = findSeparator(text);
    Row row;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    auto endField = [&] {
        Cell cell;
        if (!field.isEmpty() || wasQuoted) {
            cell.kind = Cell::Text;
            cell.text = field;
        }
        row.push_back(std::move(cell));
        field.clear();
        wasQuoted = false;
    };
    auto endRow = [&] {
        endField();
        sheet.rows.push_back(std::move(row));
        row.clear();
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.isEmpty() && !wasQuoted) {
            quoted = true;
            wasQuoted = true;
        } else if (c == sep) {
            endField();
        } else if (c == QLatin1Char('\r')) {
            if (i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            endRow();
        } else if (c == QLatin1Char('\n')) {
            endRow();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || wasQuoted || !row.empty())
        endRow();
    return sheet;
}

Workbook readCsvFile(const QString& path)
{
    Workbook book;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        book.error = QStringLiteral("无法打开文件：") + file.errorString();
        return book;
    }
    book.sheets.push_back(readCsv(file.readAll(), QFileInfo(path).completeBaseName()));
    return book;
}

} // namespace fd::import

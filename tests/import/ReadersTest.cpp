#include "common/Text.h"
#include "import/Sheet.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <xlsxwriter.h>

namespace fd::import {
namespace {

QStringList rowTexts(const Row& row)
{
    QStringList out;
    for (const Cell& c : row)
        out << c.display();
    return out;
}

TEST(ImportCsv, EveryEncodingAndSeparatorReadsTheSameCells)
{
    // A header, a field with the separator, a doubled quote and a line break inside quotes, an
    // empty field at the end.
    const QString body = QStringLiteral("车牌号#车主#备注\r\n豫H12345#\"张#三\"#\"说\"\"好\"\"\n第二行\"\n豫H54321#李四#\n");
    const struct {
        const char* name;
        QByteArray (*encode)(const QString&);
    } encodings[] = {
        {"utf-8", [](const QString& s) { return s.toUtf8(); }},
        {"utf-8 bom", [](const QString& s) { return QByteArray("\xEF\xBB\xBF") + s.toUtf8(); }},
        {"gbk", [](const QString& s) { return text::toGbk(s).bytes; }},
        {"utf-16le bom",
            [](const QString& s) {
                QStringEncoder e(QStringEncoder::Utf16LE);
                return QByteArray("\xFF\xFE") + QByteArray(e(s));
            }},
        {"utf-16be bom",
            [](const QString& s) {
                QStringEncoder e(QStringEncoder::Utf16BE);
                return QByteArray("\xFE\xFF") + QByteArray(e(s));
            }},
    };
    for (const auto& enc : encodings) {
        for (QChar sep : {QLatin1Char(','), QLatin1Char(';'), QLatin1Char('\t')}) {
            QString text = body;
            text.replace(QLatin1Char('#'), sep);
            const Sheet sheet = readCsv(enc.encode(text));
            const std::string where = std::string(enc.name) + " separator " + char(sep.unicode());
            ASSERT_EQ(sheet.rows.size(), 3u) << where;
            EXPECT_EQ(rowTexts(sheet.rows[0]), QStringList({"车牌号", "车主", "备注"})) << where;
            EXPECT_EQ(rowTexts(sheet.rows[1]),
                QStringList({"豫H12345", QStringLiteral("张") + sep + QStringLiteral("三"), "说\"好\"\n第二行"}))
                << where;
            EXPECT_EQ(rowTexts(sheet.rows[2]), QStringList({"豫H54321", "李四", ""})) << where;
        }
    }
}

TEST(ImportXlsx, SharedAndInlineStringsNumbersBooleansAndDateStylesAreRead)
{
    QTemporaryDir dir;
    for (bool inlineStrings : {false, true}) {
        const QByteArray path = dir.filePath(inlineStrings ? "inline.xlsx" : "shared.xlsx").toUtf8();
        lxw_workbook_options options {};
        options.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;
        lxw_workbook* wb = workbook_new_opt(path.constData(), &options);
        workbook_add_worksheet(wb, "说明");
        lxw_worksheet* ws = workbook_add_worksheet(wb, "车辆");
        lxw_format* chineseDate = workbook_add_format(wb);
        format_set_num_format(chineseDate, "yyyy\"年\"m\"月\"d\"日\"");
        lxw_format* builtinDate = workbook_add_format(wb);
        format_set_num_format_index(builtinDate, 14);
        lxw_format* money = workbook_add_format(wb);
        format_set_num_format(money, "0.00\"元\"");
        worksheet_write_string(ws, 0, 0, "车牌号", nullptr);
        worksheet_write_string(ws, 0, 1, "行驶证到期", nullptr);
        worksheet_write_string(ws, 0, 3, "费用", nullptr);
        worksheet_write_string(ws, 1, 0, "豫H12345", nullptr);
        worksheet_write_number(ws, 1, 1, 42521, chineseDate);
        worksheet_write_number(ws, 1, 2, 42522, builtinDate);
        worksheet_write_number(ws, 1, 3, 1200.5, money);
        worksheet_write_boolean(ws, 1, 4, 1, nullptr);
        worksheet_write_number(ws, 3, 0, 13812345678.0, nullptr);
        ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);

        const Workbook book = readWorkbook(QString::fromUtf8(path));
        ASSERT_TRUE(book.ok()) << book.error.toStdString();
        ASSERT_EQ(book.sheets.size(), 2u);
        EXPECT_EQ(book.sheets[0].name, QStringLiteral("说明"));
        const Sheet& sheet = book.sheets[1];
        EXPECT_EQ(sheet.name, QStringLiteral("车辆"));
        ASSERT_EQ(sheet.rows.size(), 4u) << inlineStrings;
        EXPECT_EQ(rowTexts(sheet.rows[0]), QStringList({"车牌号", "行驶证到期", "", "费用"}));
        const Row& row = sheet.rows[1];
        ASSERT_EQ(row.size(), 5u);
        EXPECT_EQ(row[0].kind, Cell::Text);
        EXPECT_EQ(row[0].text, QStringLiteral("豫H12345"));
        EXPECT_EQ(row[1].kind, Cell::Date);
        EXPECT_EQ(row[1].number, 42521);
        EXPECT_EQ(row[2].kind, Cell::Date);
        EXPECT_EQ(row[3].kind, Cell::Number);
        EXPECT_EQ(row[3].display(), QStringLiteral("1200.5"));
        EXPECT_EQ(row[4].kind, Cell::Boolean);
        EXPECT_TRUE(sheet.rows[2].empty());
        EXPECT_EQ(sheet.rows[3][0].display(), QStringLiteral("13812345678"));
    }
}

TEST(ImportXlsx, DateFormatCodes)
{
    const struct {
        int id;
        const char* code;
        bool date;
    } cases[] = {
        {14, "", true}, {22, "", true}, {2, "", false}, {49, "", false}, {164, "yyyy/m/d", true},
        {165, "[$-804]yyyy\"年\"m\"月\"d\"日\"", true}, {166, "0.00\"元\"", false}, {167, "[Red]0.00", false},
        {168, "\"day\"0", false}, {169, "#,##0;[Red]-#,##0", false}, {170, "hh:mm", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isDateFormat(c.id, QString::fromUtf8(c.code)), c.date) << c.code;
}

TEST(ImportFiles, AFileThatIsNoWorkbookIsRefusedWithAReason)
{
    QTemporaryDir dir;
    for (const char* name : {"x.xlsx", "x.xls"}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("车牌号,车主\n");
        f.close();
        const Workbook book = readWorkbook(f.fileName());
        EXPECT_FALSE(book.ok()) << name;
        EXPECT_FALSE(book.error.isEmpty()) << name;
    }
}

} // namespace
} // namespace fd::import

namespace fd::import {
namespace {

// A small .xls written byte by byte: a BIFF8 workbook stream (one sheet "车辆" with shared
// strings, a number and a date-formatted number) inside a compound file.
class BiffWriter {
public:
    void record(quint16 type, const QByteArray& data)
    {
        u16(m_out, type);
        u16(m_out, static_cast<quint16>(data.size()));
        m_out += data;
    }
    QByteArray& bytes() { return m_out; }
    static void u16(QByteArray& b, quint16 v) { b.append(char(v & 0xFF)).append(char(v >> 8)); }
    static void u32(QByteArray& b, quint32 v)
    {
        u16(b, static_cast<quint16>(v & 0xFFFF));
        u16(b, static_cast<quint16>(v >> 16));
    }
    static QByteArray wide(const QString& s)
    {
        QByteArray b;
        for (QChar c : s)
            u16(b, c.unicode());
        return b;
    }

private:
    QByteArray m_out;
};

QByteArray biffWorkbook()
{
    using W = BiffWriter;
    const QStringList strings = {"车牌号", "行驶证到期", "费用", "豫H12345"};
    auto bof = [](quint16 kind) {
        QByteArray d;
        W::u16(d, 0x0600);
        W::u16(d, kind);
        W::u16(d, 0x0DBB);
        W::u16(d, 0x07CC);
        W::u32(d, 0);
        W::u32(d, 0x06);
        return d;
    };
    auto xf = [](quint16 format) {
        QByteArray d;
        W::u16(d, 0);      // font
        W::u16(d, format); // number format
        W::u16(d, 0x0001); // locked cell
        d.append(QByteArray(14, '\0'));
        return d;
    };
    W globals;
    globals.record(0x0809, bof(0x0005));
    QByteArray codepage;
    W::u16(codepage, 1200);
    globals.record(0x0042, codepage);
    for (int i = 0; i < 16; ++i)
        globals.record(0x00E0, xf(0)); // the style cells
    globals.record(0x00E0, xf(0));     // 16: a plain cell
    globals.record(0x00E0, xf(14));    // 17: a date cell
    const int boundSheetAt = globals.bytes().size() + 4;
    QByteArray sheetRecord;
    W::u32(sheetRecord, 0); // the sheet's offset, set below
    W::u16(sheetRecord, 0);
    sheetRecord.append(char(2)).append(char(1)).append(W::wide(QStringLiteral("车辆")));
    globals.record(0x0085, sheetRecord);
    QByteArray sst;
    W::u32(sst, static_cast<quint32>(strings.size()));
    W::u32(sst, static_cast<quint32>(strings.size()));
    for (const QString& s : strings) {
        W::u16(sst, static_cast<quint16>(s.size()));
        sst.append(char(1)).append(W::wide(s));
    }
    globals.record(0x00FC, sst);
    globals.record(0x000A, {});

    QByteArray stream = globals.bytes();
    const quint32 sheetAt = static_cast<quint32>(stream.size());
    for (int i = 0; i < 4; ++i)
        stream[boundSheetAt + i] = char((sheetAt >> (8 * i)) & 0xFF);
    W sheet;
    sheet.record(0x0809, bof(0x0010));
    QByteArray dims;
    W::u32(dims, 0);
    W::u32(dims, 2);
    W::u16(dims, 0);
    W::u16(dims, 3);
    W::u16(dims, 0);
    sheet.record(0x0200, dims);
    auto label = [&sheet](quint16 row, quint16 col, quint32 index) {
        QByteArray d;
        W::u16(d, row);
        W::u16(d, col);
        W::u16(d, 16);
        W::u32(d, index);
        sheet.record(0x00FD, d);
    };
    auto number = [&sheet](quint16 row, quint16 col, quint16 xfIndex, double value) {
        QByteArray d;
        W::u16(d, row);
        W::u16(d, col);
        W::u16(d, xfIndex);
        d.append(reinterpret_cast<const char*>(&value), 8);
        sheet.record(0x0203, d);
    };
    label(0, 0, 0);
    label(0, 1, 1);
    label(0, 2, 2);
    label(1, 0, 3);
    number(1, 1, 17, 42521);
    number(1, 2, 16, 1200.5);
    sheet.record(0x000A, {});
    stream += sheet.bytes();
    stream.append(QByteArray(4096 - stream.size() % 4096, '\0')); // kept out of the mini stream
    return stream;
}

QByteArray compoundFile(const QByteArray& stream)
{
    using W = BiffWriter;
    const quint32 streamSectors = static_cast<quint32>(stream.size() / 512);
    QByteArray header;
    header.append("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8).append(QByteArray(16, '\0'));
    W::u16(header, 0x003E);
    W::u16(header, 0x0003);
    W::u16(header, 0xFFFE);
    W::u16(header, 9);
    W::u16(header, 6);
    header.append(QByteArray(6, '\0'));
    W::u32(header, 0);          // directory sectors (version 3)
    W::u32(header, 1);          // FAT sectors
    W::u32(header, 1);          // first directory sector
    W::u32(header, 0);
    W::u32(header, 4096);       // mini stream cutoff
    W::u32(header, 0xFFFFFFFE); // no mini FAT
    W::u32(header, 0);
    W::u32(header, 0xFFFFFFFE); // no DIFAT sectors
    W::u32(header, 0);
    W::u32(header, 0);          // the FAT is sector 0
    for (int i = 1; i < 109; ++i)
        W::u32(header, 0xFFFFFFFF);

    QByteArray fat;
    W::u32(fat, 0xFFFFFFFD);
    W::u32(fat, 0xFFFFFFFE);
    for (quint32 s = 0; s < streamSectors; ++s)
        W::u32(fat, s + 1 == streamSectors ? 0xFFFFFFFE : 2 + s + 1);
    while (fat.size() < 512)
        W::u32(fat, 0xFFFFFFFF);

    auto entry = [](const QString& name, quint8 type, quint32 child, quint32 start, quint32 size) {
        QByteArray e = W::wide(name);
        W::u16(e, 0);
        const quint16 length = static_cast<quint16>(e.size());
        e.append(QByteArray(64 - e.size(), '\0'));
        W::u16(e, type ? length : 0);
        e.append(char(type)).append(char(type ? 1 : 0));
        W::u32(e, 0xFFFFFFFF);
        W::u32(e, 0xFFFFFFFF);
        W::u32(e, child);
        e.append(QByteArray(36, '\0'));
        W::u32(e, start);
        W::u32(e, size);
        W::u32(e, 0);
        return e;
    };
    QByteArray dir = entry(QStringLiteral("Root Entry"), 5, 1, 0xFFFFFFFE, 0)
        + entry(QStringLiteral("Workbook"), 2, 0xFFFFFFFF, 2, static_cast<quint32>(stream.size()))
        + entry(QString(), 0, 0xFFFFFFFF, 0, 0) + entry(QString(), 0, 0xFFFFFFFF, 0, 0);
    return header + fat + dir + stream;
}

TEST(ImportXls, ABiff8WorkbookIsReadWithItsStringsNumbersAndDates)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("fleet.xls"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(compoundFile(biffWorkbook()));
    f.close();
    const Workbook book = readWorkbook(f.fileName());
    ASSERT_TRUE(book.ok()) << book.error.toStdString();
    ASSERT_EQ(book.sheets.size(), 1u);
    EXPECT_EQ(book.sheets[0].name, QStringLiteral("车辆"));
    const Sheet& sheet = book.sheets[0];
    ASSERT_EQ(sheet.rows.size(), 2u);
    EXPECT_EQ(rowTexts(sheet.rows[0]), QStringList({"车牌号", "行驶证到期", "费用"}));
    EXPECT_EQ(sheet.rows[1][0].text, QStringLiteral("豫H12345"));
    EXPECT_EQ(sheet.rows[1][1].kind, Cell::Date);
    EXPECT_EQ(sheet.rows[1][1].text, QStringLiteral("2016-05-31"));
    EXPECT_EQ(sheet.rows[1][2].kind, Cell::Number);
    EXPECT_EQ(sheet.rows[1][2].display(), QStringLiteral("1200.5"));
}

} // namespace
} // namespace fd::import

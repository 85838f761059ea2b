#include "import/Mapping.h"

#include "vehicles/VehicleColumns.h"

#include <QCryptographicHash>
#include <QHash>
#include <QSettings>
#include <algorithm>
#include <initializer_list>

namespace fd::import {

namespace {

QString normalized(const QString& header)
{
    QString out;
    for (QChar c : header) {
        char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            u = static_cast<char16_t>(u - 0xFEE0);
        const QChar h(u);
        if (h.isSpace() || u == 0x3000 || u == ':' || u == '*' || u == '_' || u == '-')
            continue;
        out += h.toLower();
    }
    return out;
}

const QHash<QString, QString>& names()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        auto add = [&t](const char* column, std::initializer_list<const char*> others) {
            for (const char* o : others)
                t.insert(normalized(QString::fromUtf8(o)), QString::fromLatin1(column));
        };
        // The window's own labels, and for a label several groups share, "group的label".
        for (const vehicles::VehicleColumn& c : vehicles::vehicleColumns()) {
            if (c.form == vehicles::ColumnForm::Key || c.form == vehicles::ColumnForm::Picture)
                continue;
            t.insert(normalized(c.name), c.name);
            const QString field = vehicles::fieldName(c);
            t.insert(normalized(field), c.name);
            if (!field.contains(QStringLiteral("的")) && !t.contains(normalized(c.label)))
                t.insert(normalized(c.label), c.name);
        }
        add("cepaihao", {"车牌", "车牌号", "车牌号码", "号牌号码", "号牌", "车号", "主车车牌", "主车牌号码", "车辆号牌"});
        add("danganbianhao", {"档案号", "档案编号", "档案号码", "编号"});
        add("cezuxingming", {"车主", "车主姓名", "车主名称", "所有人", "车辆所有人"});
        add("cezudianhua", {"电话", "手机", "联系电话", "车主电话", "手机号", "手机号码", "车主手机", "联系方式"});
        add("cezusenfenzenghao", {"身份证号", "身份证号码", "车主身份证", "车主身份证号码"});
        add("cezuxiangxizuzi", {"地址", "住址", "车主地址", "联系地址"});
        add("jiasiyuanxingming", {"驾驶员", "司机", "司机姓名"});
        add("jiasiyuandianhua", {"司机电话", "驾驶员手机", "司机手机"});
        add("guacepaihao", {"挂车", "挂车号", "挂车车牌", "挂车号牌", "挂车牌照"});
        add("celiangzuangtai", {"状态", "车辆状况"});
        add("fadongjihao", {"发动机号码"});
        add("zucejiahao", {"车架号", "车辆识别代号", "vin", "车架号码"});
        add("zucedunwei", {"吨位", "核定载质量", "载重"});
        add("zucepinpai", {"品牌", "品牌型号", "厂牌型号"});
        add("celiangyanse", {"颜色", "车身颜色"});
        add("zuceyouxiaoriqi", {"行驶证到期", "行车证有效期", "行车证有效日期", "行驶证有效期", "行车证到期",
                                   "审车日期", "年审日期", "检验有效期", "下次审车日期"});
        add("yingyunzengyouxiaoqi", {"营运证有效期", "营运证到期", "营运证有效日期", "道路运输证有效期"});
        add("yingyunzenghao", {"营运证号码", "道路运输证号"});
        add("zucebaoxianyouxiaoqi", {"保险到期", "保险有效期", "保险到期日", "主车保险到期"});
        add("guacebaoxianyouxiaoqi", {"挂车保险到期"});
        add("zigezengyouxiaoqi", {"资格证到期", "资格证有效日期"});
        add("jiasizengyouxiaoqi", {"驾驶证到期", "驾驶证有效日期"});
        add("guanlifeiyouxiaoqi", {"管理费到期", "管理费有效期"});
        add("ruhusijian", {"入户日期", "入户时间"});
        add("jibenbeizu", {"备注"});
        return t;
    }();
    return table;
}

QString settingsKey(const QStringList& headers)
{
    const QByteArray hash = QCryptographicHash::hash(headers.join(QChar(0x1F)).toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("import/mapping-") + QString::fromLatin1(hash.toHex().left(16));
}

} // namespace

QString fieldForHeader(const QString& header)
{
    return names().value(normalized(header));
}

QStringList autoMapping(const QStringList& headers)
{
    QStringList mapping;
    QStringList used;
    for (const QString& h : headers) {
        QString field = fieldForHeader(h);
        if (used.contains(field))
            field.clear();
        if (!field.isEmpty())
            used << field;
        mapping << field;
    }
    return mapping;
}

QStringList headerTexts(const Sheet& sheet, int headerRow)
{
    QStringList headers;
    if (headerRow >= 0 && static_cast<std::size_t>(headerRow) < sheet.rows.size())
        for (const Cell& c : sheet.rows[static_cast<std::size_t>(headerRow)])
            headers << c.display().trimmed();
    while (!headers.isEmpty() && headers.last().isEmpty())
        headers.removeLast();
    return headers;
}

int findHeaderRow(const Sheet& sheet)
{
    int best = 0;
    int bestCount = 0;
    const std::size_t limit = std::min<std::size_t>(sheet.rows.size(), 30);
    for (std::size_t r = 0; r < limit; ++r) {
        int count = 0;
        for (const QString& f : autoMapping(headerTexts(sheet, static_cast<int>(r))))
            count += f.isEmpty() ? 0 : 1;
        if (count > bestCount) {
            bestCount = count;
            best = static_cast<int>(r);
        }
    }
    return best;
}

QStringList rememberedMapping(const QStringList& headers)
{
    QSettings settings;
    const QStringList stored = settings.value(settingsKey(headers)).toStringList();
    return stored.size() == headers.size() ? stored : QStringList();
}

void rememberMapping(const QStringList& headers, const QStringList& mapping)
{
    QSettings settings;
    settings.setValue(settingsKey(headers), mapping);
}

} // namespace fd::import

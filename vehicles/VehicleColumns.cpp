#include "vehicles/VehicleColumns.h"

#include <QHash>

namespace fd::vehicles {
namespace {

VehicleColumn text(Section s, const char* name, const char* control, const char* label, QPoint labelPos, QRect geometry)
{
    VehicleColumn c;
    c.name = QString::fromLatin1(name);
    c.form = ColumnForm::Text;
    c.section = s;
    c.control = QString::fromUtf8(control);
    c.label = QString::fromUtf8(label);
    c.labelPos = labelPos;
    c.geometry = geometry;
    return c;
}

VehicleColumn multi(Section s, const char* name, const char* control, const char* label, QPoint labelPos, QRect geometry)
{
    VehicleColumn c = text(s, name, control, label, labelPos, geometry);
    c.multiLine = true;
    return c;
}

VehicleColumn date(Section s, const char* name, const char* control, const char* label, QPoint labelPos, QRect geometry,
    bool startsToday = false)
{
    VehicleColumn c = text(s, name, control, label, labelPos, geometry);
    c.form = ColumnForm::Date;
    c.startsToday = startsToday;
    return c;
}

VehicleColumn picture(const char* name, const char* control, const char* caption, QPoint captionPos, QPoint boxPos,
    const char* docKind)
{
    VehicleColumn c = text(Section::Pictures, name, control, caption, captionPos, QRect(boxPos, QSize(99, 150)));
    c.form = ColumnForm::Picture;
    c.docKind = QString::fromUtf8(docKind);
    return c;
}

constexpr bool kToday = true;

std::vector<VehicleColumn> buildColumns()
{
    using P = QPoint;
    using R = QRect;
    std::vector<VehicleColumn> v;
    VehicleColumn id;
    id.name = QStringLiteral("ID");
    id.form = ColumnForm::Key;
    v.push_back(id);

    const Section b = Section::Basic;
    v.push_back(text(b, "danganbianhao", "编辑框_档案编号", "档案编号", P(8, 22), R(75, 20, 76, 24)));
    v.push_back(text(b, "cepaihao", "编辑框_主车牌号", "主车牌号", P(160, 22), R(219, 20, 76, 24)));
    v.push_back(text(b, "cezuxingming", "编辑框_车主姓名", "车主姓名", P(312, 22), R(368, 20, 68, 24)));
    v.push_back(text(b, "cezudianhua", "编辑框_车主电话", "车主电话", P(448, 22), R(512, 20, 124, 24)));
    v.push_back(text(b, "jiasiyuanxingming", "编辑框_驾驶员姓名", "驾驶员姓名", P(8, 48), R(75, 47, 76, 24)));
    v.push_back(text(b, "guacepaihao", "编辑框_挂车牌号", "挂车牌号", P(160, 49), R(219, 47, 77, 24)));
    v.push_back(text(b, "cezusenfenzenghao", "编辑框_车主身份证号", "车主身份证号", P(312, 49), R(393, 47, 132, 24)));
    VehicleColumn status = text(b, "celiangzuangtai", "组合框_车辆状态", "车辆状态", P(532, 49), R(584, 50, 52, 19));
    status.form = ColumnForm::Status;
    v.push_back(status);
    v.push_back(text(b, "jiasiyuanzengjianhao", "编辑框_驾驶员身份证号", "驾驶员证件号", P(8, 74), R(91, 75, 140, 24)));
    v.push_back(text(b, "jiasiyuandianhua", "编辑框_驾驶员电话", "驾驶员电话", P(236, 75), R(302, 75, 137, 24)));
    v.push_back(text(b, "zigezenghao", "编辑框_资格证号", "资格证号", P(447, 73), R(508, 75, 120, 24)));
    v.push_back(date(b, "jiasizengyouxiaoqi", "日期框_驾驶证有效期", "驾驶证有效期", P(8, 100), R(98, 102, 112, 20)));
    v.push_back(date(b, "zigezengyouxiaoqi", "日期框_资格证有效期", "资格证有效期", P(240, 98), R(334, 102, 112, 20)));
    v.push_back(text(b, "fadongjihao", "编辑框_发动机号", "发动机号", P(8, 126), R(64, 124, 184, 26)));
    v.push_back(text(b, "zucedunwei", "编辑框_主车吨位", "主车吨位", P(267, 126), R(330, 122, 32, 26)));
    v.push_back(date(b, "ruhusijian", "日期框_入户时间", "入户时间：", P(376, 126), R(375, 156, 112, 20)));
    v.push_back(text(b, "zucepinpai", "编辑框_主车品牌", "主车品牌", P(503, 126), R(563, 124, 74, 26)));
    v.push_back(text(b, "zucejiahao", "编辑框_主车架号", "主车架号", P(8, 156), R(64, 152, 184, 26)));
    v.push_back(text(b, "guacedunwei", "编辑框_挂车吨位", "挂车吨位", P(267, 156), R(330, 153, 32, 26)));
    v.push_back(text(b, "guacepinpai", "编辑框_挂车品牌", "挂车品牌", P(503, 156), R(563, 153, 74, 26)));
    v.push_back(text(b, "guacejiahao", "编辑框_挂车架号", "挂车架号", P(8, 184), R(64, 181, 184, 26)));
    v.push_back(text(b, "goucefangsi", "编辑框_购车方式", "购车方式", P(267, 184), R(326, 182, 161, 26)));
    v.push_back(text(b, "celiangyanse", "编辑框_车辆颜色", "车辆颜色", P(503, 184), R(563, 183, 74, 26)));
    v.push_back(multi(b, "cezuxiangxizuzi", "编辑框_车主地址", "车主详细住址", P(8, 212), R(84, 212, 164, 26)));
    v.push_back(multi(b, "jibenbeizu", "编辑框_车辆信息备注", "备注", P(267, 212), R(310, 214, 193, 26)));
    v.push_back(text(b, "jibenjingbanren", "编辑框_经办人基本", "经办人", P(503, 212), R(563, 215, 74, 26)));

    const Section s = Section::Inspection;
    v.push_back(date(s, "zuceyouxiaoriqi", "日期框_下次主车审车", "主车审车日期", P(10, 26), R(87, 25, 112, 20)));
    v.push_back(text(s, "senceyingjiaofei", "编辑框_审车应缴费用", "应缴费用", P(216, 26), R(278, 24, 72, 26)));
    v.push_back(date(s, "secejiaofeisijian", "日期框_审车缴费时间", "缴费时间", P(359, 26), R(419, 26, 112, 20), kToday));
    v.push_back(date(s, "guanceyouxiaoriqi", "日期框_下次挂车审车", "挂车审车日期", P(10, 61), R(88, 60, 112, 20)));
    v.push_back(text(s, "senceyijiaofei", "编辑框_审车已缴费用", "已缴费用", P(216, 61), R(279, 57, 72, 26)));
    v.push_back(text(s, "sencehaiqianfei", "编辑框_审车还欠费用", "还欠费用", P(360, 61), R(422, 55, 72, 26)));
    v.push_back(multi(s, "secebeizu", "编辑框_审车备注", "备注", P(12, 89), R(60, 89, 376, 24)));
    v.push_back(text(s, "secejingbanren", "编辑框_经办人审车", "经办人", P(456, 89), R(514, 89, 74, 26)));

    const Section i = Section::Insurance;
    v.push_back(text(i, "baoxiangongsimingceng", "编辑框_保险公司名称", "保险公司名称", P(7, 21), R(87, 23, 187, 26)));
    v.push_back(text(i, "jiaoqiangxian", "编辑框_交强险", "交强险", P(283, 22), R(330, 23, 61, 26)));
    v.push_back(text(i, "cesun", "编辑框_车损", "车损", P(398, 23), R(440, 23, 61, 26)));
    v.push_back(text(i, "bujimianpei", "编辑框_保险不计免赔", "不计免赔", P(518, 23), R(578, 23, 60, 26)));
    v.push_back(text(i, "toubaoxianzong", "编辑框_投保险种", "投保险种", P(7, 53), R(87, 54, 187, 26)));
    v.push_back(text(i, "sanze", "编辑框_三者", "三者险", P(283, 55), R(329, 56, 61, 26)));
    v.push_back(text(i, "renyuan", "编辑框_人员", "人员", P(400, 57), R(440, 57, 61, 26)));
    v.push_back(text(i, "qita", "编辑框_保险其他", "其他", P(518, 54), R(578, 54, 60, 26)));
    v.push_back(text(i, "zucesangxiandanhao", "编辑框_保险编号", "主车商险单号", P(7, 85), R(87, 85, 187, 26)));
    v.push_back(date(i, "zucebaoxianyouxiaoqi", "日期框_下次主车保险", "主车保险到期日期", P(283, 91), R(383, 91, 120, 20)));
    VehicleColumn amountDue = text(i, "baoxianyingjiaofei", "编辑框_保险应缴费用", "应缴费用", P(518, 85), R(578, 85, 60, 26));
    amountDue.keepSpaces = true;
    v.push_back(amountDue);
    v.push_back(text(i, "zuceqiangxiangdanhao", "编辑框_强险编号", "主车强险单号", P(7, 117), R(87, 116, 187, 26)));
    v.push_back(date(i, "guacebaoxianyouxiaoqi", "日期框_下次挂车保险", "挂车保险到期日期", P(283, 120), R(383, 121, 120, 20)));
    v.push_back(text(i, "baoxianyijiaofei", "编辑框_保险已缴费用", "已缴费用", P(518, 116), R(578, 116, 60, 26)));
    v.push_back(text(i, "guacesangxiangdanhao", "编辑框_挂车商险编号", "挂车商险编号", P(7, 149), R(87, 147, 187, 26)));
    v.push_back(date(i, "baoxianjiaofeiriqi", "日期框_保险缴费时间", "缴费日期", P(283, 148), R(383, 151, 120, 20), kToday));
    v.push_back(text(i, "baoxianhaiqianfei", "编辑框_保险还欠费用", "还欠费用", P(518, 147), R(578, 147, 60, 26)));
    v.push_back(multi(i, "baoxianbeizu", "编辑框_保险备注", "备注", P(7, 183), R(41, 180, 458, 26)));
    v.push_back(text(i, "baoxianjingbanren", "编辑框_经办人保险", "经办人", P(518, 181), R(578, 181, 60, 26)));

    const Section o = Section::Operating;
    v.push_back(date(o, "yingyunzengcucibanzengqi", "日期框_营运证初次领证日期", "营运证初次领证", P(8, 31), R(104, 33, 112, 20)));
    v.push_back(text(o, "yinyunzengyingjiaofei", "编辑框_营运应缴费用", "应缴费用", P(231, 31), R(290, 31, 37, 26)));
    v.push_back(date(o, "yingyunjiaofeiriqi", "日期框_营运缴费时间", "缴费时间", P(338, 31), R(336, 66, 112, 20), kToday));
    v.push_back(multi(o, "yinyunbeizu", "编辑框_营运备注", "备注", P(451, 19), R(457, 51, 176, 72)));
    v.push_back(date(o, "yingyunzengyouxiaoqi", "日期框_下次营运证日期", "营运证到期日期", P(8, 66), R(102, 65, 112, 20)));
    v.push_back(text(o, "yinyunzengyijiaofei", "编辑框_营运已缴费用", "已缴费用", P(232, 65), R(290, 66, 37, 26)));
    v.push_back(text(o, "yingyunzenghao", "编辑框_营运证号码", "营运证号", P(8, 102), R(80, 94, 142, 26)));
    v.push_back(text(o, "yinyunzenghaiqianfei", "编辑框_营运还欠费用", "还欠费用", P(232, 102), R(290, 100, 37, 26)));
    v.push_back(text(o, "yingyunjingbanren", "编辑框_经办人营运证", "经办人", P(334, 102), R(374, 99, 74, 26)));

    const Section m = Section::Management;
    v.push_back(date(m, "guanlifeiyouxiaoqi", "日期框_下次管理费", "管理费到期日期", P(11, 26), R(106, 26, 112, 20)));
    v.push_back(text(m, "guanliyingjiaofei", "编辑框_管理应缴费用", "应缴费用", P(232, 26), R(284, 25, 47, 26)));
    v.push_back(text(m, "guanlihaiqianfei", "编辑框_管理还欠费用", "还欠费用", P(335, 26), R(389, 25, 47, 26)));
    v.push_back(text(m, "guanlijingbanren", "编辑框_经办人管理", "经办人", P(448, 26), R(488, 25, 66, 26)));
    v.push_back(date(m, "guanlijiaofeiriqi", "日期框_管理缴费时间", "缴费时间", P(11, 64), R(106, 64, 112, 20), kToday));
    v.push_back(text(m, "guanliyijiaofei", "编辑框_管理已缴费用", "已缴费用", P(233, 64), R(284, 64, 47, 26)));
    v.push_back(multi(m, "guanlibeizu", "编辑框_管理备注", "备注", P(335, 64), R(374, 66, 264, 25)));

    v.push_back(picture("cezusenfenzengtupian", "图片框_车主身份证", "车主身份证", P(678, 16), P(671, 50), "车主身份证"));
    v.push_back(picture("jiasiyuansenfentupian", "图片框_驾驶证图片", "驾驶员身份证", P(783, 16), P(776, 51), "驾驶员身份证"));
    v.push_back(picture("zigezengtupian", "图片框_资格证图片", "驾驶员资格证", P(678, 199), P(671, 231), "资格证"));
    v.push_back(picture("yingyunzengtupian", "图片框_营运证", "营运证", P(804, 198), P(776, 232), "营运证"));
    v.push_back(picture("xingcezengtupian1", "图片框_行车证1", "行车证1", P(694, 380), P(671, 412), "行车证1"));
    v.push_back(picture("xingcezengtupian2", "图片框_行车证2", "行车证2", P(803, 380), P(776, 413), "行车证2"));
    v.push_back(picture("zuceqiangxiantupian", "图片框_主车强险", "主车强险", P(690, 562), P(671, 593), "主车强险"));
    v.push_back(picture("zucesangxiantupian", "图片框_主车商险", "主车商险", P(800, 562), P(776, 594), "主车商险"));
    v.push_back(picture("guacebaoxiantupina", "图片框_挂车保险", "挂车保险", P(694, 744), P(671, 775), "挂车保险"));
    v.push_back(picture("jungonghegezengtupian", "图片框_竣工合格证", "竣工合格证", P(792, 744), P(776, 775), "竣工合格证"));
    return v;
}

QStringList latin1List(std::initializer_list<const char*> names)
{
    QStringList list;
    for (const char* n : names)
        list.append(QString::fromLatin1(n));
    return list;
}

} // namespace

const std::vector<VehicleColumn>& vehicleColumns()
{
    static const std::vector<VehicleColumn> columns = buildColumns();
    return columns;
}

const std::vector<VehicleSection>& vehicleSections()
{
    static const std::vector<VehicleSection> sections = {
        {Section::Basic, QStringLiteral("分组框_基本信息"), QStringLiteral("基本信息"), QRect(9, 11, 645, 244)},
        {Section::Inspection, QStringLiteral("分组框_审车"), QStringLiteral("审车信息"), QRect(10, 255, 645, 139)},
        {Section::Insurance, QStringLiteral("分组框_保险"), QStringLiteral("保险信息"), QRect(11, 400, 645, 214)},
        {Section::Operating, QStringLiteral("分组框_营运证"), QStringLiteral("营运信息"), QRect(12, 616, 645, 139)},
        {Section::Management, QStringLiteral("分组框_管理费用"), QStringLiteral("管理费信息"), QRect(14, 764, 645, 105)},
    };
    return sections;
}

const VehicleColumn* findColumn(const QString& name)
{
    static const QHash<QString, const VehicleColumn*> byName = [] {
        QHash<QString, const VehicleColumn*> h;
        for (const VehicleColumn& c : vehicleColumns())
            h.insert(c.name, &c);
        return h;
    }();
    return byName.value(name, nullptr);
}

const VehicleSection* findSection(Section section)
{
    for (const VehicleSection& s : vehicleSections())
        if (s.section == section)
            return &s;
    return nullptr;
}

const QStringList& loadOrder()
{
    static const QStringList order = latin1List({"danganbianhao", "cepaihao", "cezudianhua", "cezuxingming",
        "jiasiyuanxingming", "guacepaihao", "cezusenfenzenghao", "celiangzuangtai", "jiasiyuanzengjianhao",
        "jiasiyuandianhua", "zigezenghao", "fadongjihao", "zucejiahao", "guacejiahao", "zucedunwei", "guacedunwei",
        "goucefangsi", "zucepinpai", "guacepinpai", "celiangyanse", "cezuxiangxizuzi", "jibenbeizu", "jibenjingbanren",
        "jiasizengyouxiaoqi", "zigezengyouxiaoqi", "ruhusijian", "guanceyouxiaoriqi", "zuceyouxiaoriqi",
        "senceyingjiaofei", "senceyijiaofei", "sencehaiqianfei", "secejiaofeisijian", "secejingbanren", "secebeizu",
        "baoxiangongsimingceng", "toubaoxianzong", "zucesangxiandanhao", "zuceqiangxiangdanhao",
        "guacesangxiangdanhao", "zucebaoxianyouxiaoqi", "guacebaoxianyouxiaoqi", "jiaoqiangxian", "cesun",
        "bujimianpei", "sanze", "renyuan", "qita", "baoxianyingjiaofei", "baoxianyijiaofei", "baoxianhaiqianfei",
        "baoxianjiaofeiriqi", "baoxianjingbanren", "baoxianbeizu", "yingyunzengyouxiaoqi",
        "yingyunzengcucibanzengqi", "yingyunzenghao", "yinyunzengyingjiaofei", "yinyunzengyijiaofei",
        "yinyunzenghaiqianfei", "yingyunjiaofeiriqi", "yingyunjingbanren", "yinyunbeizu", "guanlifeiyouxiaoqi",
        "guanliyingjiaofei", "guanliyijiaofei", "guanlihaiqianfei", "guanlijiaofeiriqi", "guanlijingbanren",
        "guanlibeizu"});
    return order;
}

const QStringList& saveOrder()
{
    static const QStringList order = latin1List({"danganbianhao", "cepaihao", "cezuxingming", "cezudianhua",
        "jiasiyuanxingming", "guacepaihao", "cezusenfenzenghao", "celiangzuangtai", "jiasiyuanzengjianhao",
        "jiasiyuandianhua", "zigezenghao", "fadongjihao", "zucejiahao", "guacejiahao", "zucedunwei", "guacedunwei",
        "goucefangsi", "zucepinpai", "guacepinpai", "celiangyanse", "cezuxiangxizuzi", "jibenbeizu",
        "jiasizengyouxiaoqi", "zigezengyouxiaoqi", "ruhusijian", "zuceyouxiaoriqi", "guanceyouxiaoriqi",
        "senceyingjiaofei", "senceyijiaofei", "sencehaiqianfei", "secejiaofeisijian", "secejingbanren", "secebeizu",
        "baoxiangongsimingceng", "toubaoxianzong", "zucesangxiandanhao", "zuceqiangxiangdanhao",
        "guacesangxiangdanhao", "zucebaoxianyouxiaoqi", "guacebaoxianyouxiaoqi", "jiaoqiangxian", "cesun",
        "bujimianpei", "sanze", "renyuan", "qita", "baoxianyingjiaofei", "baoxianyijiaofei", "baoxianhaiqianfei",
        "baoxianjiaofeiriqi", "baoxianjingbanren", "baoxianbeizu", "yingyunzengyouxiaoqi",
        "yingyunzengcucibanzengqi", "yingyunzenghao", "yinyunzengyingjiaofei", "yinyunzengyijiaofei",
        "yinyunzenghaiqianfei", "yingyunjiaofeiriqi", "yingyunjingbanren", "yinyunbeizu", "guanlifeiyouxiaoqi",
        "guanliyingjiaofei", "guanliyijiaofei", "guanlihaiqianfei", "guanlijingbanren", "guanlijiaofeiriqi",
        "guanlibeizu", "jibenjingbanren"});
    return order;
}

const QStringList& pictureLoadOrder()
{
    static const QStringList order = latin1List({"cezusenfenzengtupian", "xingcezengtupian1", "xingcezengtupian2",
        "yingyunzengtupian", "jiasiyuansenfentupian", "zigezengtupian", "jungonghegezengtupian",
        "zuceqiangxiantupian", "zucesangxiantupian", "guacebaoxiantupina"});
    return order;
}

namespace {

struct WatchedDateOf {
    const char* column;
    const char16_t* header;
};

// In the order of WatchedDate.
constexpr WatchedDateOf kWatched[] = {
    {"zuceyouxiaoriqi", u"行车证有效日期"},
    {"yingyunzengyouxiaoqi", u"营运证有效日期"},
    {"zucebaoxianyouxiaoqi", u"主车保险有效日期"},
    {"guacebaoxianyouxiaoqi", u"挂车保险有效日期"},
    {"zigezengyouxiaoqi", u"资格证有效日期"},
    {"jiasizengyouxiaoqi", u"驾驶证有效日期"},
    {"guanlifeiyouxiaoqi", u"管理费有效日期"},
};

} // namespace

const QStringList& watchedDates()
{
    static const QStringList dates = [] {
        QStringList names;
        for (const WatchedDateOf& w : kWatched)
            names << QString::fromLatin1(w.column);
        return names;
    }();
    return dates;
}

const QStringList& listedDates()
{
    static const QStringList dates = watchedDates().mid(0, static_cast<qsizetype>(WatchedDate::ManagementFee));
    return dates;
}

QString watchedDateColumn(WatchedDate date)
{
    return watchedDates().at(static_cast<qsizetype>(date));
}

QString watchedDateHeader(const QString& column)
{
    const qsizetype i = watchedDates().indexOf(column);
    return i < 0 ? QString() : QString::fromUtf16(kWatched[i].header);
}

bool isWatchedDateColumn(const QString& column)
{
    return watchedDates().contains(column);
}

QString fieldName(const VehicleColumn& column)
{
    QString label = column.label;
    if (label.endsWith(QChar(0xFF1A))) // full-width colon
        label.chop(1);
    int sharing = 0;
    for (const VehicleColumn& c : vehicleColumns())
        if (c.form != ColumnForm::Key && c.label == column.label)
            ++sharing;
    if (sharing > 1)
        if (const VehicleSection* s = findSection(column.section))
            return s->title + QStringLiteral("的") + label;
    return label;
}

} // namespace fd::vehicles

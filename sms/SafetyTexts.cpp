#include "sms/SafetyTexts.h"

namespace fd::sms {

const QList<SafetyCategory>& safetyCategories()
{
    static const QList<SafetyCategory> categories = {
        { QStringLiteral("春季短信"),
            {
                QStringLiteral(
                    "春困秋乏夏打盹，春季容易让人产生疲劳，请合理安排休息时间，确保精力旺盛，杜绝疲劳驾驶。"),
                QStringLiteral(
                    "今天是大风天气，路上步行、骑车的行人注意力分散、造成路面情况复杂，请集中精神，注意避让。"),
                QStringLiteral("春运即将过去，提醒广大驾驶员要杜绝节后思想疲劳，对不可放松、麻痹，要时刻绷紧安全弦，时"
                               "时敲响安全警钟，确保安全。"),
                QStringLiteral("五一黄金周期间，旅客流量暴增，车流量加大，致使路面情况复杂，请提高警惕，仔细观察，谨慎"
                               "驾驶，确保安全、效益双丰收。"),
            } },
        { QStringLiteral("夏季短信"),
            {
                QStringLiteral(
                    "夏季容易产生打盹的现象，请合理安排作息时间，确保精力旺盛，此外，车上准备清凉油等物品。"),
                QStringLiteral("夏季高温时间长，请合理安排饮食，注意饮食卫生，做好防暑工作，杜绝带病出车。"),
                QStringLiteral("夏季高温，容易疲劳，长途行车请在3－4小时内找安全凉爽处停车休息，杜绝疲劳驾驶。"),
                QStringLiteral("时值夏季，请随时检查车辆技术状况，防止因天气高温造成发动机、制动、方向等系统过热而损坏"
                               "，引起事故。"),
                QStringLiteral("今天是安全生产月及反三违月第一天，今年活动的主题是："),
            } },
        { QStringLiteral("秋季短信"),
            {
                QStringLiteral(
                    "秋季容易让人产生疲乏，使身体综合情况下滑，极易造成精力不集中，请合理安排做息时间，确保精力旺盛。"),
                QStringLiteral("秋天是收获的季节，各国道、省道及以下道路将会出现占到经营现象，致使道路变窄，通行困难，"
                               "请仔细观察，谨慎驾驶，小心低速通过。"),
                QStringLiteral("现在是麦收季节，部分路面被农作物占据，易使车辆在制动时发生甩尾、侧滑等现象，造成交通事"
                               "故。请提高警惕，谨慎通过！"),
                QStringLiteral(
                    "今天是十一黄金周第一天，路上人流、车流将明显增多，路面情况复杂，请注意观察，谨慎驾驶。"),
                QStringLiteral("十一黄金周即将结束，请克服松懈麻痹思想，确保行车安全。祝大家一路顺风！"),
                QStringLiteral("秋季后期，因早晚温差较大，容易产生大雾天气，请时刻关注天气变化，严格遵守交通规则，服从"
                               "公司安全管理。"),
            } },
        { QStringLiteral("冬季短信"),
            {
                QStringLiteral("进入冬季，请及时添加衣物，采取保暖措施，合理安排饮食休息，确保身体健康，精力旺盛。"),
                QStringLiteral("今天是安全警示日，请大家时刻牢记11."
                               "24事故血的教训，杜绝重特大事故的发生，为创建平安交运贡献自己的力量！"),
                QStringLiteral("今天是安全警示月第一天，今年活动的主题是："),
                QStringLiteral("进入冬季，请注意气温变化情况，及时采取防冻措施，确保车辆正常营运。"),
                QStringLiteral(
                    "时值冬季，请随时检查车辆技术状况，防止因天气寒冷引起关键部件迟钝或失效，杜绝病车上路。"),
                QStringLiteral("近期天气寒冷，部分桥梁、路段出现结冰现象，请提高警惕，提前采取措施，防止出现打滑、甩尾"
                               "、侧滑等现象的发生。"),
                QStringLiteral(
                    "今天是春运第一天，请您按照春运计划严格执行，为了您和家人，请带一份小心上路，携一团温馨回家。"),
                QStringLiteral(
                    "春运期间，旅客流量暴增，车流量加大，致使路面情况复杂，请提高警惕，仔细观察，谨慎驾驶，确保安全。"),
                QStringLiteral(
                    "春节期间，城市及近郊道路行人，车辆增多，尤其是饮酒人员大增，请注意观察，谨慎驾驶，合理避让！"),
            } },
        { QStringLiteral("雨天"),
            {
                QStringLiteral(
                    "今天部分地区出现中到小雨，导致路面湿滑，制动距离增长，路面情况复杂，请严格按照安全时速谨慎通行。"),
                QStringLiteral("今天部分地区出现中到大雨，导致能见度降低、部分道路积水、制动距离增长，请开启警示灯，降"
                               "低车速，加大跟车距离，勤用喇叭，远离危险路段。"),
                QStringLiteral("近期部分地区有降雨过程，如遇到桥梁、路段出现漫水现象，请查清水位高低、道路情况后，在确"
                               "保安全的情况下，低速通过。"),
            } },
        { QStringLiteral("雪天"),
            {
                QStringLiteral("今天大部分地区出现雨雪天气，导致视线不清，路面湿滑，请降低车速，加大跟车距离，适时开启"
                               "警示灯，谨慎通行！"),
                QStringLiteral("今天出现降雪天气，部分路段出现结冰现象，请合理利用发动机控制车速，避免紧急制动、急打方"
                               "向等，防止出现侧滑、甩尾等现象。"),
                QStringLiteral("今天部分路段存有积雪，行车、会车时不要靠路边，保持必须横向距离，谨慎慢行。行至不能保障"
                               "安全的路段时，找安全地点停车，待情况好转后再上路。"),
            } },
        { QStringLiteral("雾天"),
            {
                QStringLiteral("今天出现轻雾天气，请提高警惕，仔细观察，谨慎驾驶。"),
                QStringLiteral("今天部分地区、路段雾气较大，请开启防雾灯、近光灯和示宽灯，加大跟车距离，勤用喇叭，减速"
                               "慢行，当雾大不能确保安全时，找安全地点停车，情况好转后再上路。"),
                QStringLiteral(
                    "今天出现大雾天气，已不能保障基本行车安全，现公司已启动恶劣天气应急预案，延缓发车，望严格执行。"),
            } },
    };
    return categories;
}

QString safetyText(int value)
{
    const int category = value / 100;
    const int number = value % 100;
    const QList<SafetyCategory>& all = safetyCategories();
    if (category < 1 || category > all.size() || number < 1 || number > all[category - 1].texts.size())
        return QString();
    return all[category - 1].texts[number - 1];
}

} // namespace fd::sms

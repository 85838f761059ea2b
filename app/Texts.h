#pragma once

#include <QString>

// The main window's fixed texts.
namespace fd::app::texts {

inline const QString kSelectVehicleFirst = QStringLiteral("请先选择车辆再修改车辆信息！");
inline const QString kNoPhonesToSend = QStringLiteral("没有需要群发的手机号哦！");
inline const QString kAboutCaption = QStringLiteral("关于软件");
inline const QString kAboutText = QStringLiteral(
    "      路衡通运输公司管理软件是适用于运输企业车辆管理、车辆收费、业务办理、贷款办理、保险办理等运营业务的大型数据库管理系统软件。"
    "尤其适用于公司分布在不同地方的企业进行业务管理。该软件彻底解决了以往运输企业落后的手工记账模式，摆脱账目管理混乱、查找资料速度慢、"
    "业务办理效率低、历史资料容易丢失等一系列难以解决的问题。路衡通运输公司管理软件是运输企业挂靠车辆收费管理的得力助手。"
    "选择我们的产品帮您进行业务管理也是您提升企业形象、提高工作效率、提前预测市场、全面实现企业信息化管理，走在同行业前面的机会。"
    "让软件帮您解决不断奔走在出差的路上而浪费时间和机会的烦恼。");
inline const QString kContactCaption = QStringLiteral("联系我们");
inline const QString kContactText = QStringLiteral("如果您想使用本系统请联系我们，我们会给您提供优质的客服服务和技术服务，服务");
inline const QString kManualMissing = QStringLiteral(
    "找不到使用说明，请与管理员联系，重新安装本软件。\n程序在这些文件夹中找过 index.html：\n");

} // namespace fd::app::texts

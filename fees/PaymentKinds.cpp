#include "fees/PaymentKinds.h"

namespace fd::fees {

const QList<FeeKind>& feeKinds()
{
    static const QList<FeeKind> kinds {
        FeeKind::Inspection, FeeKind::Insurance, FeeKind::Operating, FeeKind::Management, FeeKind::Other};
    return kinds;
}

QString feeName(FeeKind kind)
{
    switch (kind) {
    case FeeKind::Inspection:
        return QStringLiteral("审车费");
    case FeeKind::Insurance:
        return QStringLiteral("保险费");
    case FeeKind::Operating:
        return QStringLiteral("营运费");
    case FeeKind::Management:
        return QStringLiteral("管理费");
    case FeeKind::Other:
        break;
    }
    return QStringLiteral("其他");
}

std::optional<FeeKind> feeKindNamed(const QString& name)
{
    for (FeeKind kind : feeKinds())
        if (feeName(kind) == name)
            return kind;
    return std::nullopt;
}

std::optional<FeeColumns> feeColumns(FeeKind kind)
{
    switch (kind) {
    case FeeKind::Inspection:
        return FeeColumns {QStringLiteral("senceyingjiaofei"), QStringLiteral("senceyijiaofei"),
            QStringLiteral("sencehaiqianfei"), QStringLiteral("secejiaofeisijian"), QStringLiteral("secejingbanren")};
    case FeeKind::Insurance:
        return FeeColumns {QStringLiteral("baoxianyingjiaofei"), QStringLiteral("baoxianyijiaofei"),
            QStringLiteral("baoxianhaiqianfei"), QStringLiteral("baoxianjiaofeiriqi"), QStringLiteral("baoxianjingbanren")};
    case FeeKind::Operating:
        return FeeColumns {QStringLiteral("yinyunzengyingjiaofei"), QStringLiteral("yinyunzengyijiaofei"),
            QStringLiteral("yinyunzenghaiqianfei"), QStringLiteral("yingyunjiaofeiriqi"),
            QStringLiteral("yingyunjingbanren")};
    case FeeKind::Management:
        return FeeColumns {QStringLiteral("guanliyingjiaofei"), QStringLiteral("guanliyijiaofei"),
            QStringLiteral("guanlihaiqianfei"), QStringLiteral("guanlijiaofeiriqi"), QStringLiteral("guanlijingbanren")};
    case FeeKind::Other:
        break;
    }
    return std::nullopt;
}

const QStringList& paymentMethods()
{
    static const QStringList methods {QStringLiteral("现金"), QStringLiteral("银行转账"), QStringLiteral("微信"),
        QStringLiteral("支付宝"), QStringLiteral("其他")};
    return methods;
}

} // namespace fd::fees

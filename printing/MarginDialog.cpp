#include "printing/MarginDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace fd::printing {
namespace {

struct Box {
    const char16_t* label;
    const char* name;
    int PrintMargins::*value;
};

constexpr Box kBoxes[7] = {{u"上:", "spin_top", &PrintMargins::top}, {u"下:", "spin_bottom", &PrintMargins::bottom},
    {u"左:", "spin_left", &PrintMargins::left}, {u"右:", "spin_right", &PrintMargins::right},
    {u"页眉:", "spin_header", &PrintMargins::header}, {u"页脚:", "spin_footer", &PrintMargins::footer},
    {u"表头与表格间隔:", "spin_gap", &PrintMargins::gap}};

} // namespace

MarginDialog::MarginDialog(const PrintMargins& margins, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("marginDialog"));
    setWindowTitle(QStringLiteral("页边距设置(单位: 0.1毫米)"));
    auto* form = new QFormLayout;
    for (int i = 0; i < 7; ++i) {
        m_spins[i] = new QSpinBox(this);
        m_spins[i]->setObjectName(QLatin1String(kBoxes[i].name));
        m_spins[i]->setRange(0, PrintMargins::kMaximum);
        form->addRow(QString::fromUtf16(kBoxes[i].label), m_spins[i]);
    }
    auto* defaults = new QPushButton(QStringLiteral("默认值"), this);
    defaults->setObjectName(QStringLiteral("按钮_默认值"));
    defaults->setAutoDefault(false);
    auto* ok = new QPushButton(QStringLiteral("确定(&O)"), this);
    ok->setObjectName(QStringLiteral("按钮_确定"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    cancel->setObjectName(QStringLiteral("按钮_取消"));
    cancel->setAutoDefault(false);
    connect(defaults, &QPushButton::clicked, this, &MarginDialog::restoreDefaults);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(defaults);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setMargins(margins);
}

PrintMargins MarginDialog::margins() const
{
    PrintMargins m;
    for (int i = 0; i < 7; ++i)
        m.*kBoxes[i].value = m_spins[i]->value();
    return m;
}

void MarginDialog::setMargins(const PrintMargins& margins)
{
    for (int i = 0; i < 7; ++i)
        m_spins[i]->setValue(margins.*kBoxes[i].value);
}

void MarginDialog::restoreDefaults()
{
    setMargins(PrintMargins {});
}

} // namespace fd::printing

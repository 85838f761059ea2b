#pragma once

#include "printing/PrintMargins.h"

#include <QDialog>

class QSpinBox;

namespace fd::printing {

// "页边距设置(单位: 0.1毫米)": the seven margins in tenths of a millimetre, with 默认值, 确定 and 取消.
class MarginDialog : public QDialog {
    Q_OBJECT
public:
    explicit MarginDialog(const PrintMargins& margins, QWidget* parent = nullptr);

    PrintMargins margins() const;
    void setMargins(const PrintMargins& margins);
    // 默认值: every box back to its default.
    void restoreDefaults();

private:
    QSpinBox* m_spins[7] = {};
};

} // namespace fd::printing

#include "printing/PrintMargins.h"

#include <QSettings>

namespace fd::printing {
namespace {

struct Field {
    const char* key;
    int PrintMargins::*value;
};

constexpr Field kFields[] = {{"top", &PrintMargins::top}, {"bottom", &PrintMargins::bottom},
    {"left", &PrintMargins::left}, {"right", &PrintMargins::right}, {"header", &PrintMargins::header},
    {"footer", &PrintMargins::footer}, {"gap", &PrintMargins::gap}};

const QString kGroup = QStringLiteral("printMargins");

} // namespace

PrintMargins PrintMargins::load(QSettings& settings)
{
    PrintMargins m;
    settings.beginGroup(kGroup);
    for (const Field& f : kFields) {
        bool ok = false;
        const int v = settings.value(QLatin1String(f.key)).toInt(&ok);
        if (ok && v >= 0 && v <= kMaximum)
            m.*f.value = v;
    }
    settings.endGroup();
    return m;
}

void PrintMargins::save(QSettings& settings) const
{
    settings.beginGroup(kGroup);
    for (const Field& f : kFields)
        settings.setValue(QLatin1String(f.key), this->*f.value);
    settings.endGroup();
    settings.sync();
}

} // namespace fd::printing

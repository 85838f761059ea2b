#pragma once

#include <QString>

class QSettings;

namespace fd::printing {

// The margins of the printed list, whole tenths of a millimetre: paper edges, the title zone at
// the top (页眉), the footer zone at the bottom (页脚) and the gap between the header row and the
// table body.
struct PrintMargins {
    int top = 100;
    int bottom = 100;
    int left = 100;
    int right = 100;
    int header = 80;
    int footer = 80;
    int gap = 0;

    // Largest value a spin box takes: 100 mm.
    static constexpr int kMaximum = 1000;

    bool operator==(const PrintMargins&) const = default;

    // Missing or out-of-range values keep their defaults.
    static PrintMargins load(QSettings& settings);
    void save(QSettings& settings) const;
};

} // namespace fd::printing

#pragma once

#include <QHeaderView>
#include <QStringList>

namespace fd::ui {

// A header role: the section's text as the lines it is best shown on, separated by '\n'
// ("行车证\n有效日期"). A model that gives none has its display text wrapped where the section
// ends.
inline constexpr int kHeaderLinesRole = Qt::UserRole + 0x100;

// A horizontal header that shows every section's text whole, on as many lines as the narrowest
// section needs, never elided: each of the model's lines (kHeaderLinesRole, else the display
// text) is wrapped again where it is wider than its section. The header is as high as its
// longest wrapped text. User-interface thread only.
class WrappedHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit WrappedHeader(QWidget* parent = nullptr);

    // The lines a section shows, as it draws them.
    QStringList shownLines(int logicalIndex) const;
    // False when the section is too narrow or the header too low for its text.
    bool showsWhole(int logicalIndex) const;

    QSize sizeHint() const override;

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;

private:
    int textWidth(int logicalIndex) const;
    int mostLines() const;
    void updateHeight();

    int m_lines = 1; // the most lines a section shows now
};

} // namespace fd::ui

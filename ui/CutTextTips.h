#pragma once

#include <QObject>
#include <QString>

class QAbstractItemView;
class QPoint;
class QWidget;

namespace fd::ui {

// Shows the full text of a cell or header section as its tooltip wherever the view cuts it (shows
// it elided), and no tooltip where the text shows whole. Installed on a view's viewport and on its
// headers; lives as long as the view.
class CutTextTips : public QObject {
    Q_OBJECT
public:
    // Installs the tips on a view (and the headers of a table view).
    static CutTextTips* install(QAbstractItemView* view);

    // The tooltip for a point of the view's viewport or of one of its headers: the full text when
    // it is cut, empty otherwise.
    QString tipAt(QWidget* area, const QPoint& pos) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CutTextTips(QAbstractItemView* view);

    QAbstractItemView* m_view;
};

} // namespace fd::ui

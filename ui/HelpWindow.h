#pragma once

#include <QStringList>
#include <QWidget>

class QTextBrowser;
class QToolButton;

namespace fd::ui {

// The folders where the manual may be, in the order they are tried: FLEETDESK_HELP when it is set
// (and then only that one), else help/ beside the program (a build folder), else
// ../share/fleetdesk/help/ from the program's folder (the installed layout, /usr/bin/fleetdesk and
// /usr/share/fleetdesk/help/).
QStringList manualFolders();
// The first of them that holds index.html; empty when none does.
QString manualFolder();

// The manual: HTML pages shown with their pictures, links between them followed, with back,
// forward and home. Not modal; the main window keeps one and shows it again.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // `folder` holds index.html and the pages and pictures it links to.
    explicit HelpWindow(const QString& folder, QWidget* parent = nullptr);

    QTextBrowser& browser() const { return *m_browser; }
    // Shows the table of contents.
    void home();

private:
    QTextBrowser* m_browser = nullptr;
    QToolButton* m_back = nullptr;
    QToolButton* m_forward = nullptr;
};

} // namespace fd::ui

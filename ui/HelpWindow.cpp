#include "ui/HelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QScreen>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

namespace fd::ui {
namespace {

const QString kIndex = QStringLiteral("index.html");
const QString kTitle = QStringLiteral("使用说明");

QToolButton* makeButton(QWidget* parent, const QString& name, const QString& text)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setAutoRaise(true);
    return b;
}

} // namespace

QStringList manualFolders()
{
    const QString chosen = qEnvironmentVariable("FLEETDESK_HELP");
    if (!chosen.isEmpty())
        return {QDir(chosen).absolutePath()};
    const QDir program(QCoreApplication::applicationDirPath());
    return {QDir::cleanPath(program.filePath(QStringLiteral("help"))),
        QDir::cleanPath(program.filePath(QStringLiteral("../share/fleetdesk/help")))};
}

QString manualFolder()
{
    for (const QString& folder : manualFolders())
        if (QFileInfo(QDir(folder).filePath(kIndex)).isFile())
            return folder;
    return {};
}

HelpWindow::HelpWindow(const QString& folder, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(kTitle);

    m_back = makeButton(this, QStringLiteral("helpBack"), QStringLiteral("后退"));
    m_forward = makeButton(this, QStringLiteral("helpForward"), QStringLiteral("前进"));
    auto* homeButton = makeButton(this, QStringLiteral("helpHome"), QStringLiteral("目录"));
    m_back->setEnabled(false);
    m_forward->setEnabled(false);

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    // Web addresses go to the desktop's browser; the pages themselves stay here.
    m_browser->setOpenExternalLinks(true);
    m_browser->setSearchPaths({folder});

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(4, 2, 4, 2);
    buttons->addWidget(m_back);
    buttons->addWidget(m_forward);
    buttons->addWidget(homeButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);

    connect(m_back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(homeButton, &QToolButton::clicked, this, &HelpWindow::home);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString page = m_browser->documentTitle();
        setWindowTitle(page.isEmpty() || page == kTitle ? kTitle : kTitle + QStringLiteral(" - ") + page);
    });

    // Wide enough for a picture of the main window at its own size, within the screen.
    resize(1080, 740);
    if (const QScreen* screen = this->screen())
        resize(size().boundedTo(screen->availableSize()));
    m_browser->setSource(QUrl::fromLocalFile(QDir(folder).filePath(kIndex)));
}

void HelpWindow::home()
{
    m_browser->home();
}

} // namespace fd::ui

// The manual from the main window: F1 shows its table of contents with the pictures, the one help
// window is shown again rather than made twice, and a missing manual is said, not an empty window.
#include "support/AdminState.h"
#include "app/MainWindow.h"
#include "common/AppState.h"
#include "support/ScriptedDialogs.h"
#include "ui/HelpWindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace fd;

namespace {

class HelpWindowTest : public ::testing::Test {
protected:
    void SetUp() override { window = std::make_unique<MainWindow>(state, dialogs, MainWindowHooks {}); }
    void TearDown() override { qunsetenv("FLEETDESK_HELP"); }

    void pressF1()
    {
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_F1);
    }

    QList<ui::HelpWindow*> helpWindows() const { return window->findChildren<ui::HelpWindow*>(); }

    AppState state = fd::test::adminState();
    test::ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

// The names of the pictures the page shows.
QStringList imageNames(const QTextDocument& doc)
{
    QStringList names;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                names.append(it.fragment().charFormat().toImageFormat().name());
    return names;
}

bool isPicture(const QVariant& v)
{
    if (v.userType() == QMetaType::QByteArray)
        return !QImage::fromData(v.toByteArray()).isNull();
    if (v.userType() == QMetaType::QImage)
        return !v.value<QImage>().isNull();
    return v.userType() == QMetaType::QPixmap && !v.value<QPixmap>().isNull();
}

TEST_F(HelpWindowTest, F1ShowsTheContentsWithTheirPicturesAndReusesTheWindow)
{
    const QString source = QDir(qEnvironmentVariable("FD_SOURCE_DIR")).filePath(QStringLiteral("help"));
    qputenv("FLEETDESK_HELP", source.toLocal8Bit());
    pressF1();
    ASSERT_EQ(helpWindows().size(), 1);
    ui::HelpWindow* help = helpWindows().constFirst();
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(dialogs.shown.isEmpty());
    QTextBrowser& browser = help->browser();
    EXPECT_EQ(browser.source(), QUrl::fromLocalFile(QDir(source).filePath(QStringLiteral("index.html"))));
    EXPECT_FALSE(browser.documentTitle().isEmpty());

    const QStringList images = imageNames(*browser.document());
    ASSERT_FALSE(images.isEmpty());
    for (const QString& name : images)
        EXPECT_TRUE(isPicture(browser.document()->resource(QTextDocument::ImageResource, QUrl(name))))
            << name.toStdString();

    // A page and back again.
    const QUrl contents = browser.source();
    browser.setSource(QUrl(QStringLiteral("login.html")));
    EXPECT_EQ(browser.source().fileName(), QStringLiteral("login.html"));
    EXPECT_FALSE(browser.toPlainText().isEmpty());
    help->findChild<QToolButton*>(QStringLiteral("helpBack"))->click();
    EXPECT_EQ(browser.source(), contents);

    // Closed and asked for again: the same window, shown.
    help->close();
    ASSERT_FALSE(help->isVisible());
    window->findChild<QAction*>(QStringLiteral("actionManual"))->trigger();
    EXPECT_EQ(helpWindows(), QList<ui::HelpWindow*> {help});
    EXPECT_TRUE(help->isVisible());
}

TEST_F(HelpWindowTest, AMissingManualIsSaid)
{
    QTemporaryDir empty;
    qputenv("FLEETDESK_HELP", empty.path().toLocal8Bit());
    pressF1();
    EXPECT_TRUE(helpWindows().isEmpty());
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.lastMessage().startsWith(QStringLiteral("找不到使用说明")));
    EXPECT_TRUE(dialogs.lastMessage().contains(QDir::toNativeSeparators(empty.path())));
}

} // namespace

#pragma once

#include "app/ProgramModule.h"

#include <memory>

namespace fd {
class MainWindow;

// The program module's own parts: the real login checks, password window and main window.
class ProgramParts final : public ProgramModule {
public:
    ProgramParts();
    ~ProgramParts() override;

    void start() override;
    accounts::LoginCheck checkLogin(
        AppState& state, ui::Dialogs& dialogs, const QString& userName, const QString& password) override;
    void openPasswordWindow(AppState& state, ui::Dialogs& dialogs) override;
    QWidget* openMainWindow(AppState& state, ui::Dialogs& dialogs) override;
    void afterLogin() override;
    void shutdown() override;

    MainWindow* mainWindow() const { return m_main.get(); }

private:
    std::unique_ptr<MainWindow> m_main;
    bool m_started = false;
};

} // namespace fd

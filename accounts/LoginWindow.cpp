#include "accounts/LoginWindow.h"

// Placeholder until the login lands.
namespace fd::accounts {
LoginWindow::LoginWindow(AppState&, Dialogs&, QWidget* parent) : QDialog(parent) {}
LoginWindow::~LoginWindow() = default;
bool LoginWindow::cancelled() const { return m_cancelled; }
}

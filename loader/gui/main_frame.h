#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

#include "main_window_status.h"

class QLabel;

namespace Ui {
class MainFrame;
}

namespace zamel {

class LoaderApp;
class QtUi;
struct HelpBox;

// The loader's main window: the child view, the menu whose commands call the
// application object, and the status bar with its message pane and the lock
// indicators. One command runs at a time; "&Upload" is offered by the
// application's rule, which is read again after every command and whenever a
// menu opens. The child view shows the application's status texts, refreshed after
// every command and whenever the session record changes. Borrows the application
// and the Ui.
class CMainFrame final : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr const char* kIdleText = "Ready";

    CMainFrame(LoaderApp& app, QtUi& ui);
    ~CMainFrame() override;

    // Runs a command unless one is running; then updates the menu, and closes the
    // window when the command asked the program to end.
    void runCommand(const std::function<void()>& command);
    // Shows the window, then starts the application (the automatic upload of a
    // package) once the window's event loop runs.
    void showAndStart();

    // The text of the status bar's message pane (prompts shown on hover aside).
    QString messagePaneText() const;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void connectCommands();
    void refreshCommands();
    void refreshStatus();
    void showHelp(const HelpBox& box, bool withIcon);

    LoaderApp& app_;
    QtUi& ui_;
    std::unique_ptr<::Ui::MainFrame> form_;
    QLabel* messagePane_ = nullptr;
    MainWindowStatus status_;
    bool commandRunning_ = false;
};

}  // namespace zamel

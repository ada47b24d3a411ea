#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

#include "ui.h"

namespace zamel {

// The loader's Ui in Qt: message boxes with the core's titles, buttons and icons,
// the file-open dialog with the core's filters and default extension, and every
// modal controller in a DialogHost. Texts cross from Windows-1252 here; file names
// are passed in the file system's own spelling, since the core opens them.
// Dialogs sit over the active modal window, else over the main window.
class QtUi final : public Ui {
  public:
    MessageAnswer messageBox(const std::string& text, const std::string& title,
                             MessageButtons buttons, MessageIcon icon) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& defaultExt,
                                        const std::string& filter,
                                        const std::string& defaultName) override;
    DialogResult runModal(DialogController& controller) override;
    void setStatusPane(const std::string& text) override;
    // The program ends once the command that asked for it has returned.
    void quit() override { quitRequested_ = true; }
    void pumpMessages() override;

    void setMainWindow(QWidget* window) { mainWindow_ = window; }
    // Where the texts for the status bar's message pane go.
    void setStatusPaneSink(std::function<void(const QString&)> sink) { statusSink_ = std::move(sink); }
    bool quitRequested() const { return quitRequested_; }

  private:
    QWidget* dialogParent() const;

    QPointer<QWidget> mainWindow_;
    std::function<void(const QString&)> statusSink_;
    bool quitRequested_ = false;
};

}  // namespace zamel

#include "main_frame.h"

#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QTimer>

#include "help_box_dialog.h"
#include "help_texts.h"
#include "loader_app.h"
#include "lock_key_indicators.h"
#include "qt_ui.h"
#include "ui_main_frame.h"
#include "windows1252.h"

namespace zamel {

CMainFrame::CMainFrame(LoaderApp& app, QtUi& ui)
    : app_(app), ui_(ui), form_(std::make_unique<::Ui::MainFrame>()), status_(app, ui) {
    form_->setupUi(this);
    setWindowTitle(fromWindows1252(LoaderApp::kTitle));
    // The child view takes the input focus; the frame draws no edge of its own.
    form_->childView->setBackgroundRole(QPalette::Base);
    setFocusProxy(form_->childView);
    form_->childView->setFocus();

    messagePane_ = new QLabel(fromWindows1252(kIdleText), form_->statusBar);
    form_->statusBar->addWidget(messagePane_, 1);
    new LockKeyIndicators(*form_->statusBar);
    form_->selectCodeFileAction->setStatusTip(fromWindows1252(LoaderApp::kCodeFilePrompt));
    form_->selectDatabaseFileAction->setStatusTip(fromWindows1252(LoaderApp::kDataFilePrompt));

    ui_.setMainWindow(this);
    ui_.setStatusPaneSink([this](const QString& text) { messagePane_->setText(text); });
    app_.setSessionListener([this] { refreshStatus(); });
    connectCommands();
    refreshCommands();
}

CMainFrame::~CMainFrame() {
    app_.setSessionListener({});
    ui_.setStatusPaneSink({});
}

void CMainFrame::connectCommands() {
    const auto command = [this](QAction* action, std::function<void()> run) {
        connect(action, &QAction::triggered, this, [this, run] { runCommand(run); });
    };
    command(form_->selectCodeFileAction, [this] { app_.selectCodeFile(); });
    command(form_->selectDatabaseFileAction, [this] { app_.selectDatabaseFile(); });
    command(form_->uploadAction, [this] { app_.upload(); });
    command(form_->autoAction, [this] { app_.autoUpload(); });
    command(form_->expertAction, [this] { app_.expertSetup(); });
    connect(form_->exitAction, &QAction::triggered, this, &CMainFrame::close);
    connect(form_->statusBarAction, &QAction::toggled, form_->statusBar, &QStatusBar::setVisible);

    connect(form_->aboutAction, &QAction::triggered, this, [this] { showHelp(kAboutBox, true); });
    connect(form_->aboutFileAction, &QAction::triggered, this,
            [this] { showHelp(kFileHelp, false); });
    connect(form_->aboutUploadAction, &QAction::triggered, this,
            [this] { showHelp(kUploadHelp, false); });
    connect(form_->aboutAutoAction, &QAction::triggered, this,
            [this] { showHelp(kAutoHelp, false); });
    connect(form_->aboutExpertAction, &QAction::triggered, this,
            [this] { showHelp(kExpertHelp, false); });

    // Leaving a menu brings the message pane back to its idle text.
    for (QMenu* menu : {form_->fileMenu, form_->viewMenu, form_->helpMenu}) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::refreshCommands);
        connect(menu, &QMenu::aboutToHide, this,
                [this] { messagePane_->setText(fromWindows1252(kIdleText)); });
    }
}

void CMainFrame::runCommand(const std::function<void()>& command) {
    if (commandRunning_) return;
    commandRunning_ = true;
    messagePane_->setText(fromWindows1252(kIdleText));
    command();
    commandRunning_ = false;
    refreshCommands();
    if (ui_.quitRequested()) close();
}

void CMainFrame::showAndStart() {
    show();
    QTimer::singleShot(0, this, [this] { runCommand([this] { app_.start(); }); });
}

QString CMainFrame::messagePaneText() const { return messagePane_->text(); }

void CMainFrame::refreshCommands() {
    form_->uploadAction->setEnabled(app_.uploadEnabled());
    refreshStatus();
}

void CMainFrame::refreshStatus() {
    // File names are shown in the file system's spelling, the rest as the core's texts.
    form_->codeFileValue->setText(QFile::decodeName(status_.codeFileText().c_str()));
    form_->dataFileValue->setText(QFile::decodeName(status_.dataFileText().c_str()));
    form_->receiverValue->setText(fromWindows1252(status_.receiverText()));
    form_->portValue->setText(QFile::decodeName(status_.portText().c_str()));
    form_->expertValue->setText(fromWindows1252(status_.expertText()));
    form_->lastUploadValue->setText(fromWindows1252(status_.lastUploadText()));
    form_->lastUploadValue->setStyleSheet(
        status_.lastUploadFailed() ? QStringLiteral("color: #b00000") : QString());
}

void CMainFrame::showHelp(const HelpBox& box, bool withIcon) {
    HelpBoxDialog dialog(box, withIcon ? HelpBoxDialog::Icon::Shown : HelpBoxDialog::Icon::Hidden,
                         this);
    dialog.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A command in the middle of an upload finishes first.
    if (commandRunning_) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

}  // namespace zamel

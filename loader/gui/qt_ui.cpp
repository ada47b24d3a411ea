#include "qt_ui.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "dialog_host.h"
#include "file_dialog_filters.h"
#include "windows1252.h"

namespace zamel {

namespace {

// The longest path the loader keeps; a longer one would be cut.
constexpr qsizetype kPathCapacity = 255;

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::None:
            return QMessageBox::NoIcon;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Stop:
            return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// The file's path as the core keeps it: relative to the working directory when
// the full path would not fit.
std::string corePathOf(const QString& chosen) {
    QByteArray path = QFile::encodeName(chosen);
    if (path.size() > kPathCapacity) {
        const QByteArray relative = QFile::encodeName(QDir::current().relativeFilePath(chosen));
        if (relative.size() < path.size()) path = relative;
    }
    return path.toStdString();
}

}  // namespace

QWidget* QtUi::dialogParent() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return mainWindow_;
}

MessageAnswer QtUi::messageBox(const std::string& text, const std::string& title,
                               MessageButtons buttons, MessageIcon icon) {
    QMessageBox box(qtIcon(icon), fromWindows1252(title), fromWindows1252(text),
                    QMessageBox::NoButton, dialogParent());
    box.setTextFormat(Qt::PlainText);
    switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
            break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case MessageButtons::OkCancelDefaultCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            // Closing the box without a choice answers No.
            box.setEscapeButton(QMessageBox::No);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            return MessageAnswer::Ok;
    }
}

std::optional<std::string> QtUi::openFile(const std::string& title, const std::string& defaultExt,
                                          const std::string& filter,
                                          const std::string& defaultName) {
    QFileDialog dialog(dialogParent(), fromWindows1252(title), QDir::currentPath());
    // Qt's own dialog on every desktop: the same keyboard use everywhere.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFiltersOf(filter));
    dialog.setDefaultSuffix(fromWindows1252(defaultExt));
    if (!defaultName.empty()) dialog.selectFile(QFile::decodeName(defaultName.c_str()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return corePathOf(dialog.selectedFiles().front());
}

DialogResult QtUi::runModal(DialogController& controller) {
    DialogHost host(controller, dialogParent());
    return host.run();
}

void QtUi::setStatusPane(const std::string& text) {
    if (statusSink_) statusSink_(fromWindows1252(text));
}

void QtUi::pumpMessages() { QCoreApplication::processEvents(); }

}  // namespace zamel

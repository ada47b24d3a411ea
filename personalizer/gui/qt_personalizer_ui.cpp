#include "qt_personalizer_ui.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include "windows1252.h"

namespace tagwright {

namespace {

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Error:
            return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

MessageAnswer showTagwrightMessage(QWidget* parent, const QString& text, MessageIcon icon,
                                   MessageButtons buttons) {
    const bool yesNo = buttons != MessageButtons::Ok;
    QMessageBox box(qtIcon(icon), QString::fromLatin1(kProgramName), text,
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    box.setWindowIcon(QApplication::windowIcon());
    if (yesNo) {
        // Closing the box without a choice answers No.
        box.setEscapeButton(QMessageBox::No);
        box.setDefaultButton(buttons == MessageButtons::YesNoDefaultNo ? QMessageBox::No
                                                                       : QMessageBox::Yes);
    }
    const int answer = box.exec();
    if (!yesNo) {
        return MessageAnswer::Ok;
    }
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

MessageAnswer QtPersonalizerUi::showMessage(const std::string& text, MessageIcon icon,
                                            MessageButtons buttons) {
    return showTagwrightMessage(QApplication::activeWindow(), displayTextOf(text), icon, buttons);
}

void QtPersonalizerUi::pumpMessages() { QCoreApplication::processEvents(); }

}  // namespace tagwright

#include "modal_user.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "keyboard_access.h"

namespace zamel::testing {

namespace {
constexpr int kLookMs = 10;
}  // namespace

QAbstractButton* buttonOf(QWidget* window, const QString& caption) {
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (captionWithoutMnemonic(button->text()) == caption) return button;
    ADD_FAILURE() << "no button " << caption.toStdString();
    return nullptr;
}

QStringList captionsOf(QWidget* window) {
    QStringList captions;
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
        captions.append(captionWithoutMnemonic(button->text()));
    return captions;
}

QString textOf(QWidget* window, const char* name) {
    if (auto* label = window->findChild<QLabel*>(QString::fromLatin1(name))) return label->text();
    if (auto* edit = window->findChild<QLineEdit*>(QString::fromLatin1(name))) return edit->text();
    ADD_FAILURE() << "no field " << name;
    return {};
}

void ModalUser::then(QString name, Step step) { steps_.emplace_back(std::move(name), std::move(step)); }

void ModalUser::in(QString windowTitle, std::function<void(QWidget*)> act) {
    then(windowTitle, [windowTitle, act](QWidget* modal) {
        if (modal == nullptr || modal->windowTitle() != windowTitle) return false;
        act(modal);
        return true;
    });
}

void ModalUser::answer(QString text, QString title, QMessageBox::Icon icon,
                       QMessageBox::StandardButton button) {
    then(text, [=](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) return false;
        EXPECT_EQ(box->text().toStdString(), text.toStdString());
        EXPECT_EQ(box->windowTitle().toStdString(), title.toStdString()) << text.toStdString();
        EXPECT_EQ(box->icon(), icon) << text.toStdString();
        if (QAbstractButton* chosen = box->button(button)) {
            chosen->click();
        } else {
            ADD_FAILURE() << "no such button for " << text.toStdString();
            box->reject();
        }
        return true;
    });
}

void ModalUser::press(QString windowTitle, QString caption) {
    in(windowTitle, [caption](QWidget* modal) {
        if (QAbstractButton* button = buttonOf(modal, caption)) button->click();
    });
}

bool ModalUser::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && widget->isModal()) {
            titlesSeen_.append(widget->windowTitle());
            if (watchShown_) watchShown_(widget);
        }
    }
    return QObject::eventFilter(watched, event);
}

void ModalUser::start(std::chrono::milliseconds bound) {
    boundMs_ = bound.count();
    elapsed_.start();
    if (started_) return;
    started_ = true;
    qApp->installEventFilter(this);
    QTimer::singleShot(kLookMs, this, &ModalUser::look);
}

void ModalUser::look() {
    // Re-arm first: the step may block in the event loop of a window it opens.
    QTimer::singleShot(kLookMs, this, &ModalUser::look);
    QWidget* modal = QApplication::activeModalWidget();
    if (failed_) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            QApplication::closeAllWindows();
        }
        return;
    }
    // Done, but a window stays open: the bound ends it all the same.
    if (steps_.empty() && modal == nullptr) return;
    if (elapsed_.elapsed() > boundMs_) {
        failed_ = true;
        failure_ = QStringLiteral("waited for %1 but saw %2")
                       .arg(steps_.empty() ? QStringLiteral("the windows to close") : steps_.front().first,
                            modal != nullptr ? modal->windowTitle() : QStringLiteral("no window"));
        return;
    }
    if (steps_.empty()) return;
    auto next = steps_.front();
    steps_.pop_front();
    if (!next.second(modal)) steps_.push_front(std::move(next));
}

}  // namespace zamel::testing

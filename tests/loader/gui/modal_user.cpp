#include "modal_user.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>

#include "keyboard_access.h"

namespace zamel::testing {

namespace {

constexpr int kLookMs = 10;

QString describe(QWidget* widget) {
    if (widget == nullptr) return QStringLiteral("no modal window");
    if (auto* box = qobject_cast<QMessageBox*>(widget))
        return QStringLiteral("message box \"%1\": \"%2\"").arg(box->windowTitle(), box->text());
    return QStringLiteral("window \"%1\"").arg(widget->windowTitle());
}

}  // namespace

QAbstractButton* buttonOf(QWidget* window, const QString& caption) {
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (captionWithoutMnemonic(button->text()) == caption) return button;
    return nullptr;
}

void ModalUser::then(QString name, Step step) {
    steps_.push_back({std::move(name), std::move(step)});
}

void ModalUser::answer(QString text, QString title, QMessageBox::Icon icon,
                       QMessageBox::StandardButton button) {
    then(QStringLiteral("answer \"%1\"").arg(text), [=](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) return false;
        EXPECT_EQ(box->text().toStdString(), text.toStdString());
        EXPECT_EQ(box->windowTitle().toStdString(), title.toStdString()) << text.toStdString();
        EXPECT_EQ(box->icon(), icon) << text.toStdString();
        QAbstractButton* chosen = box->button(button);
        EXPECT_NE(chosen, nullptr) << text.toStdString();
        if (chosen != nullptr) {
            chosen->click();
        } else {
            box->reject();
        }
        return true;
    });
}

void ModalUser::press(QString windowTitle, QString caption) {
    then(QStringLiteral("press \"%1\" in \"%2\"").arg(caption, windowTitle), [=](QWidget* modal) {
        if (modal == nullptr || modal->windowTitle() != windowTitle) return false;
        QAbstractButton* button = buttonOf(modal, caption);
        EXPECT_NE(button, nullptr) << caption.toStdString();
        if (button == nullptr) return false;
        button->click();
        return true;
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
    if (watch_) watch_(modal);
    // Done, but a window stays open: the script ends it at the bound all the same.
    if (steps_.empty() && modal == nullptr) return;
    if (elapsed_.elapsed() > boundMs_) {
        failed_ = true;
        failure_ = QStringLiteral("waited to %1, saw %2")
                       .arg(steps_.empty() ? QStringLiteral("see the windows close")
                                           : steps_.front().name,
                            describe(modal));
        return;
    }
    if (steps_.empty()) return;
    Named next = steps_.front();
    steps_.pop_front();
    if (!next.step(modal)) steps_.push_front(std::move(next));
}

}  // namespace zamel::testing

#include "modal_script.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>

namespace tagwright::testing {

namespace {

constexpr int kPollMs = 10;

QString describe(QWidget* widget) {
    if (widget == nullptr) {
        return QStringLiteral("no modal widget");
    }
    if (auto* box = qobject_cast<QMessageBox*>(widget)) {
        return QStringLiteral("message box \"%1\"").arg(box->text());
    }
    return QStringLiteral("%1 \"%2\"")
        .arg(QString::fromLatin1(widget->metaObject()->className()), widget->windowTitle());
}

}  // namespace

void ModalScript::then(QString name, Step step) {
    steps_.push_back({std::move(name), std::move(step)});
}

void ModalScript::answer(QString text, QMessageBox::Icon icon, QMessageBox::StandardButton button) {
    then(QStringLiteral("answer \"%1\"").arg(text), [text, icon, button](QWidget* modal) {
        auto* box = modalAs<QMessageBox>(modal);
        if (box == nullptr) {
            return false;
        }
        EXPECT_EQ(box->windowTitle().toStdString(), "Tagwright");
        EXPECT_EQ(box->text().toStdString(), text.toStdString());
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

void ModalScript::start(std::chrono::milliseconds bound) {
    boundMs_ = bound.count();
    elapsed_.start();
    QTimer::singleShot(kPollMs, this, &ModalScript::poll);
}

void ModalScript::poll() {
    // Re-arm first: the step may block in the event loop of a box it opens.
    QTimer::singleShot(kPollMs, this, &ModalScript::poll);
    QWidget* modal = QApplication::activeModalWidget();
    if (failed_) {
        // done() closes even a window whose reject() asks first.
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->done(QDialog::Rejected);
        }
        return;
    }
    if (steps_.empty()) {
        return;
    }
    if (elapsed_.elapsed() > boundMs_) {
        failed_ = true;
        failure_ =
            QStringLiteral("waited for %1, saw %2").arg(steps_.front().name, describe(modal));
        return;
    }
    if (modal == nullptr) {
        return;
    }
    Named next = steps_.front();
    steps_.pop_front();
    if (!next.step(modal)) {
        steps_.push_front(std::move(next));
    }
}

}  // namespace tagwright::testing

#include "dialog_host.h"

#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog_view.h"
#include "dialog_views.h"
#include "keyboard_access.h"
#include "windows1252.h"

namespace zamel {

DialogHost::DialogHost(DialogController& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
    setWindowTitle(fromWindows1252(controller_.caption()));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // Dialog windows keep the size of their layout, as the loader's dialogs always had.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    view_ = makeDialogView(*this);
    layout->addWidget(view_);
    addMnemonics(this);
}

DialogHost::~DialogHost() = default;

DialogResult DialogHost::run() {
    handle([this] { controller_.onInit(); });
    // A controller that ended in onInit never shows its window.
    if (!controller_.ended()) exec();
    return controller_.result();
}

void DialogHost::handle(const std::function<void()>& handler) {
    if (handlerDepth_ > 0 || controller_.ended()) return;
    ++handlerDepth_;
    if (watch_) watch_->setEnabled(false);
    handler();
    --handlerDepth_;
    if (controller_.ended()) {
        for (auto& [id, timer] : timers_) timer->stop();
        if (watch_) watch_->setEnabled(false);
        done(controller_.result() == DialogResult::Ok ? Accepted : Rejected);
        return;
    }
    syncTimers();
    syncWatch();
    view_->refresh();
}

void DialogHost::reject() {
    handle([this] { controller_.onCancel(); });
}

void DialogHost::keyPressEvent(QKeyEvent* event) {
    // In a dialog of choices Enter takes the choice that has the focus, else the
    // default one; a push button with the focus is pressed as in any dialog.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && view_->enterButton() != nullptr) {
        auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
        if (qobject_cast<QPushButton*>(focused) == nullptr) {
            (focused != nullptr ? focused : view_->enterButton())->click();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void DialogHost::tick(int timerId) {
    if (handlerDepth_ > 0) return;
    hangUpReported_ = false;
    handle([this, timerId] { controller_.onTimer(timerId); });
}

void DialogHost::readable() {
    if (handlerDepth_ > 0 || !watch_) return;
    handle([this] { controller_.onReadable(); });
    InputSource* source = controller_.ended() ? nullptr : controller_.waitSource();
    if (source != nullptr && source->hungUp()) {
        hangUpReported_ = true;
        syncWatch();
    }
}

void DialogHost::syncTimers() {
    const std::map<int, int>& wanted = controller_.timers();
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (wanted.count(it->first) != 0) {
            ++it;
            continue;
        }
        // The timer may be the one whose tick is being handled: it goes later.
        it->second->stop();
        it->second.release()->deleteLater();
        it = timers_.erase(it);
    }
    for (const auto& [id, periodMs] : wanted) {
        auto& timer = timers_[id];
        if (!timer) {
            timer = std::make_unique<QTimer>();
            connect(timer.get(), &QTimer::timeout, this, [this, id = id] { tick(id); });
        }
        if (!timer->isActive() || timer->interval() != periodMs) timer->start(periodMs);
    }
}

void DialogHost::syncWatch() {
    InputSource* source = hangUpReported_ ? nullptr : controller_.waitSource();
    const std::intptr_t descriptor = source != nullptr ? source->inputEvent() : -1;
    if (watch_ && watch_->socket() == descriptor) {
        watch_->setEnabled(true);
        return;
    }
    if (watch_) {
        // The notifier may be the one whose signal is being handled: it goes later.
        watch_->setEnabled(false);
        watch_.release()->deleteLater();
    }
    if (descriptor < 0) return;
    watch_ = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
    connect(watch_.get(), &QSocketNotifier::activated, this, &DialogHost::readable);
}

}  // namespace zamel

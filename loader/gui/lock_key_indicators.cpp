#include "lock_key_indicators.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QStatusBar>

#include "x11_lock_lights.h"

namespace zamel {

namespace {

constexpr std::array<const char*, 3> kIndicatorTexts = {"CAP", "NUM", "SCRL"};
constexpr std::array<const char*, 3> kIndicatorNames = {"capsLockIndicator", "numLockIndicator",
                                                        "scrollLockIndicator"};
constexpr int kPollMs = 250;

}  // namespace

LockKeyIndicators::LockKeyIndicators(QStatusBar& statusBar) : QObject(&statusBar) {
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        labels_[i] = new QLabel(&statusBar);
        labels_[i]->setObjectName(QString::fromLatin1(kIndicatorNames[i]));
        labels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        labels_[i]->setAlignment(Qt::AlignCenter);
        // Room for the text while it is blank, so the panes do not jump.
        labels_[i]->setMinimumWidth(labels_[i]->fontMetrics().horizontalAdvance(
                                        QString::fromLatin1(kIndicatorTexts[i])) +
                                    8);
        statusBar.addPermanentWidget(labels_[i]);
    }
    if (readX11LockLights()) {
        connect(&poll_, &QTimer::timeout, this, &LockKeyIndicators::readKeyboard);
        poll_.start(kPollMs);
        readKeyboard();
    } else {
        qGuiApp->installEventFilter(this);
    }
}

void LockKeyIndicators::show(Lock lock, bool on) {
    on_[lock] = on;
    labels_[lock]->setText(on ? QString::fromLatin1(kIndicatorTexts[lock]) : QString());
}

void LockKeyIndicators::readKeyboard() {
    if (const auto lit = readX11LockLights())
        for (std::size_t i = 0; i < lit->size(); ++i) show(static_cast<Lock>(i), (*lit)[i]);
}

bool LockKeyIndicators::eventFilter(QObject* watched, QEvent* event) {
    // A key press reaches the filter once for each widget it passes on its way.
    if (event->type() == QEvent::KeyPress && watched->isWindowType()) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_CapsLock:
                show(Caps, !on_[Caps]);
                break;
            case Qt::Key_NumLock:
                show(Num, !on_[Num]);
                break;
            case Qt::Key_ScrollLock:
                show(Scroll, !on_[Scroll]);
                break;
            default:
                break;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace zamel

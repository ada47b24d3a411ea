#pragma once

#include <QLabel>
#include <QObject>
#include <QTimer>
#include <array>

class QStatusBar;

namespace zamel {

// The status bar's caps-lock, num-lock and scroll-lock indicators: "CAP", "NUM"
// and "SCRL" while the lock is on, blank while it is off. On an X11 display the
// keyboard's own lock lights are read a few times a second; elsewhere the lock
// keys pressed in the program toggle the indicators.
class LockKeyIndicators final : public QObject {
    Q_OBJECT
  public:
    enum Lock { Caps, Num, Scroll };

    explicit LockKeyIndicators(QStatusBar& statusBar);

    bool isOn(Lock lock) const { return on_[lock]; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void show(Lock lock, bool on);
    void readKeyboard();

    std::array<QLabel*, 3> labels_{};
    std::array<bool, 3> on_{};
    QTimer poll_;
};

}  // namespace zamel

#pragma once

#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <chrono>
#include <deque>
#include <functional>

class QWidget;

namespace tagwright::testing {

// Plays the user at modal windows: a re-arming timer looks at the active modal
// widget and hands it to the next step, which acts when it is the widget it
// waits for. A step may open further modal boxes; the timer keeps running in
// their event loops. Past the bound the script fails and closes every modal
// widget it meets, so a test never hangs.
class ModalScript : public QObject {
  public:
    // Acts on the widget and returns true, or returns false to wait on.
    using Step = std::function<bool(QWidget* modal)>;

    void then(QString name, Step step);
    // A message box captioned "Tagwright" with this text and icon, answered
    // with the button.
    void answer(QString text, QMessageBox::Icon icon,
                QMessageBox::StandardButton button = QMessageBox::Ok);

    void start(std::chrono::milliseconds bound = std::chrono::seconds(30));

    bool finished() const { return steps_.empty() && !failed_; }
    // What the script was waiting for when it gave up, and what it saw instead.
    const QString& failure() const { return failure_; }

  private:
    struct Named {
        QString name;
        Step step;
    };

    void poll();

    std::deque<Named> steps_;
    QElapsedTimer elapsed_;
    qint64 boundMs_ = 0;
    bool failed_ = false;
    QString failure_;
};

// The active modal widget as T, or nullptr.
template <typename T>
T* modalAs(QWidget* modal) {
    return qobject_cast<T*>(modal);
}

}  // namespace tagwright::testing

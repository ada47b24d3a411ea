#pragma once

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <deque>
#include <functional>

class QWidget;

namespace zamel::testing {

// Plays the user at zamel's modal windows: a re-arming timer looks at the active
// modal widget (nullptr when there is none) and hands it to the next step, which
// acts when it sees what it waits for. Steps may open further modal windows; the
// timer keeps running in their event loops. The title of every modal window is
// recorded as it is shown, however briefly. Past the bound the script fails, rejects every modal
// window it meets and then closes the program's windows, so a test never hangs.
class ModalUser : public QObject {
  public:
    // Acts and returns true, or returns false to wait on.
    using Step = std::function<bool(QWidget* modal)>;
    // Runs at every look, and as each modal window is shown, whatever the steps wait for.
    using Watch = std::function<void(QWidget* modal)>;

    void then(QString name, Step step);
    // A message box with this text, title and icon, answered with the button.
    void answer(QString text, QString title, QMessageBox::Icon icon,
                QMessageBox::StandardButton button = QMessageBox::Ok);
    // Clicks the button of this caption (mnemonic marks aside) in the window of
    // this title.
    void press(QString windowTitle, QString caption);
    void watch(Watch watch) { watch_ = std::move(watch); }
    void watchShown(Watch watch) { watchShown_ = std::move(watch); }

    // Starts looking, or restarts the bound when looking already.
    void start(std::chrono::milliseconds bound = std::chrono::seconds(60));

    bool finished() const { return steps_.empty() && !failed_; }
    // What the script waited for when it gave up, and what it saw instead.
    const QString& failure() const { return failure_; }
    const QStringList& titlesSeen() const { return titlesSeen_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Named {
        QString name;
        Step step;
    };

    void look();

    std::deque<Named> steps_;
    Watch watch_;
    Watch watchShown_;
    QElapsedTimer elapsed_;
    qint64 boundMs_ = 0;
    bool started_ = false;
    bool failed_ = false;
    QString failure_;
    QStringList titlesSeen_;
};

// The button of the caption among the window's children, or nullptr.
QAbstractButton* buttonOf(QWidget* window, const QString& caption);

}  // namespace zamel::testing

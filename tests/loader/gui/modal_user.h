#pragma once

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <chrono>
#include <deque>
#include <functional>
#include <ostream>

// Failed comparisons print texts, not their code units.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace zamel::testing {

// Plays the user at zamel's modal windows: a re-arming timer looks at the active
// modal window (nullptr when there is none) and hands it to the next step, which
// acts when it sees what it waits for; the timer keeps running in the event loops
// of the windows that steps open. Every modal window is recorded as it is shown,
// however briefly. Past the bound the script fails, rejects every modal window and
// then closes the program's windows, so a test never hangs.
class ModalUser : public QObject {
  public:
    // Acts and returns true, or returns false to wait on.
    using Step = std::function<bool(QWidget* modal)>;

    void then(QString name, Step step);
    // Waits for the window of this title, then acts on it.
    void in(QString windowTitle, std::function<void(QWidget* modal)> act);
    // A message box with this text, title and icon, answered with the button.
    void answer(QString text, QString title, QMessageBox::Icon icon,
                QMessageBox::StandardButton button = QMessageBox::Ok);
    // Clicks the button of this caption in the window of this title.
    void press(QString windowTitle, QString caption);
    // Called as each modal window is shown.
    void watchShown(std::function<void(QWidget*)> watch) { watchShown_ = std::move(watch); }

    // Starts looking, or restarts the bound when looking already.
    void start(std::chrono::milliseconds bound = std::chrono::seconds(60));

    bool finished() const { return steps_.empty() && !failed_; }
    const QString& failure() const { return failure_; }
    const QStringList& titlesSeen() const { return titlesSeen_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void look();

    std::deque<std::pair<QString, Step>> steps_;
    std::function<void(QWidget*)> watchShown_;
    QElapsedTimer elapsed_;
    qint64 boundMs_ = 0;
    bool started_ = false;
    bool failed_ = false;
    QString failure_;
    QStringList titlesSeen_;
};

// The button of the caption (mnemonic marks aside) in the window, or nullptr.
QAbstractButton* buttonOf(QWidget* window, const QString& caption);
// The captions of the window's buttons, mnemonic marks aside.
QStringList captionsOf(QWidget* window);
// The text of the child label or line edit of this name.
QString textOf(QWidget* window, const char* name);

}  // namespace zamel::testing

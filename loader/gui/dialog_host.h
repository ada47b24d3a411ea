#pragma once

#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "dialog_controller.h"

namespace zamel {

class DialogView;

// The one Qt window of every modal dialog of the loader. It runs the
// controller's timers (a QTimer for each entry of timers(), matched again after
// every handler, since handlers start and stop them), wakes the controller when
// the port it waits on has bytes (a QSocketNotifier on waitSource(), asked
// again after every handler, since the port is reopened at other rates), passes
// Cancel, Escape and the close button to onCancel(), shows the controller's
// texts after every event through the view made for it, and closes once the
// controller has ended.
//
// While a handler runs (it may open a message box with its own event loop), the
// controller gets no further ticks or port wake-ups: handlers are never
// re-entered. Borrows the controller.
class DialogHost final : public QDialog {
    Q_OBJECT
  public:
    DialogHost(DialogController& controller, QWidget* parent);
    ~DialogHost() override;

    // onInit, then the dialog runs modally until the controller ends.
    DialogResult run();
    // Runs one of the controller's handlers, then brings the timers, the port
    // watch and the view up to date, and closes when the controller has ended.
    void handle(const std::function<void()>& handler);

    DialogController& controller() const { return controller_; }
    DialogView* view() const { return view_; }

    void reject() override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void tick(int timerId);
    void readable();
    void syncTimers();
    void syncWatch();

    DialogController& controller_;
    DialogView* view_ = nullptr;
    std::map<int, std::unique_ptr<QTimer>> timers_;
    std::unique_ptr<QSocketNotifier> watch_;
    // A hung-up line stays readable for ever: after one wake-up for it, the
    // controller hears of it again only at its next tick.
    bool hangUpReported_ = false;
    int handlerDepth_ = 0;
};

}  // namespace zamel

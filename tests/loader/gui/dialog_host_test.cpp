#include "dialog_host.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <array>

#include "modal_user.h"
#include "qt_ui.h"
#include "windows1252.h"

namespace zamel::testing {
namespace {

// A pipe that a dialog waits on as on a port; the host watches its read end.
struct Pipe final : InputSource {
    Pipe() { EXPECT_EQ(::pipe(fds.data()), 0); }
    ~Pipe() override {
        for (int fd : fds) ::close(fd);
    }
    void send(char byte) const { EXPECT_EQ(::write(fds[1], &byte, 1), 1); }
    int waitReadable(int timeoutMs) override {
        pollfd watched{fds[0], POLLIN, 0};
        return ::poll(&watched, 1, timeoutMs) > 0 ? 1 : 0;
    }
    bool hungUp() const override { return false; }
    std::intptr_t inputEvent() override { return fds[0]; }
    std::array<int, 2> fds{-1, -1};
};

// A controller that behaves as the upload dialogs do: it swaps timers in its
// handlers, moves to another descriptor (as a port reopened at another rate),
// refuses the first Cancel, and ends when it reads 'x'.
class WaitingController final : public DialogController {
  public:
    WaitingController(Pipe& first, Pipe& second) : first_(first), second_(second) {}

    std::string caption() const override { return "Waiting \x93here\x94"; }
    void onInit() override { startTimer(1, 20); }
    void onTimer(int timerId) override {
        ticks.push_back(timerId);
        if (timerId == 1 && ticks.size() == 3) {
            stopTimer(1);
            startTimer(2, 30);
        }
    }
    void onCancel() override {
        if (++cancels == 2) endDialog(DialogResult::Cancel);
    }
    InputSource* waitSource() const override { return switched ? &second_ : &first_; }
    void onReadable() override {
        char byte = 0;
        if (::read((switched ? second_ : first_).fds[0], &byte, 1) != 1) return;
        received += byte;
        switched = switched || byte == 'r';
        if (byte == 'x') endDialog(DialogResult::Ok);
    }

    std::vector<int> ticks;
    int cancels = 0;
    bool switched = false;
    std::string received;

  private:
    Pipe& first_;
    Pipe& second_;
};

TEST(DialogHost, RunsTheControllersTimersAndPortWatchAndPassesCancelOn) {
    Pipe first;
    Pipe second;
    WaitingController controller(first, second);
    QtUi ui;
    ModalUser user;
    user.then("ticks of timer 1, then of timer 2", [&](QWidget* modal) {
        if (modal == nullptr || controller.ticks.size() < 5) return false;
        EXPECT_EQ(modal->windowTitle(), QString::fromUtf8("Waiting \u201Chere\u201D"));
        first.send('a');
        first.send('r');
        return true;
    });
    user.then("bytes read until the controller moves to the second pipe", [&](QWidget* modal) {
        if (controller.received != "ar") return false;
        first.send('x');  // no longer watched
        second.send('b');
        modal->close();  // the close button: refused the first time
        return true;
    });
    user.then("the window stays open", [&](QWidget* modal) {
        if (controller.received != "arb") return false;
        EXPECT_NE(modal, nullptr);
        second.send('x');
        return true;
    });
    user.start();
    EXPECT_EQ(ui.runModal(controller), DialogResult::Ok);
    EXPECT_TRUE(user.finished()) << user.failure().toStdString();
    EXPECT_EQ(controller.received, "arbx");
    EXPECT_EQ(controller.cancels, 1);
    EXPECT_EQ(std::vector<int>(controller.ticks.begin(), controller.ticks.begin() + 5),
              std::vector<int>({1, 1, 1, 2, 2}));
}

TEST(Windows1252, EveryByteSurvivesTheRoundTrip) {
    std::string bytes;
    for (int b = 1; b < 256; ++b) bytes.push_back(static_cast<char>(b));
    const QString text = fromWindows1252(bytes);
    EXPECT_EQ(text[0x80 - 1], QChar(0x20AC));
    EXPECT_EQ(text[0x81 - 1], QChar(0x0081));
    EXPECT_EQ(toWindows1252(text), bytes);
    EXPECT_FALSE(toWindows1252(QString::fromUtf8("\u0416")).has_value());
}

}  // namespace
}  // namespace zamel::testing

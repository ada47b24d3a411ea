#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "e2e_files.h"
#include "fake_device_tree.h"
#include "firmware_confirmation.h"
#include "loader_app_fixture.h"

// The loader finding its receiver among the serial ports of this machine's
// device tree, which the Windows build does not have.

namespace zamel::testing {
namespace {

class PortMapEndToEnd : public LoaderAppFixture {
  protected:
    // The unit holds 3.08: the file is older.
    void expectVersionConfirm(const char* fileVersion) {
        ui.expectMessage(std::string("Unit currently contains firmware\nversion 3.08\n\nThis will "
                                     "overwrite\nwith version ") +
                             fileVersion + kOlderVersionNote,
                         "Confirm", MessageIcon::Question, MessageAnswer::Ok);
    }
};

// No COMn link in the working directory: the receiver is the USB adapter that the
// device tree lists first, ahead of a built-in port.
TEST_F(PortMapEndToEnd, ReceiverOnAUsbAdapterIsFoundWithoutACom1Link) {
    ASSERT_EQ(::mkdir(dir.file("sim").c_str(), 0755), 0);
    startReceiver({"--model", "Talvane", "--dir", dir.file("sim"), "--restart-ms", "100"});
    const std::string pty = receiver.readyLine().substr(receiver.readyLine().rfind(' ') + 1);
    FakeDeviceTree tree;
    tree.uart("ttyS0", 4);
    tree.link("ttyUSB0", pty);
    tree.byId("usb-FTDI_FT232R_USB_UART_A1-if00-port0", "ttyUSB0");
    link.deviceRoot = tree.root();
    const auto code = codeImageBytes(9'000, 12, "033", 1, 10);
    const std::string codePath = writeCodeSRecords(dir.path(), "code.srec", code);

    ui.expectChoice("Select upload type", "Program Code Only");
    ui.expectOpenFile(codePath);
    ui.expectChoice("UPLOAD FILE", "Upload File");
    expectVersionConfirm("1.10");
    expectStatus("Upload of CODE complete");
    app.upload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_EQ(link.comIndex, 0);
    EXPECT_EQ(link.openOutcome.mapping.path, tree.dev("ttyUSB0"));
    EXPECT_EQ(link.openOutcome.mapping.origin, PortOrigin::UsbById);
    EXPECT_EQ(transferred(1), code);
}

}  // namespace
}  // namespace zamel::testing

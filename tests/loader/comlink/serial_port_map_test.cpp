#include "serial_port_map.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fake_device_tree.h"
#include "pty_pair.h"

namespace zamel {
namespace {

using testing::FakeDeviceTree;
using testing::TempWorkDir;

struct Expected {
    std::string path;  // below the tree's dev/, or as given when it starts with "COM"
    PortOrigin origin;
    std::string label;
};

void expectTable(const std::vector<PortMapping>& got, const FakeDeviceTree& tree,
                 const std::vector<Expected>& expected) {
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& e = expected[i];
        const std::string path =
            e.path.empty() || e.path.rfind("COM", 0) == 0 ? e.path : tree.dev(e.path);
        EXPECT_EQ(got[i].path, path) << "COM" << i + 1;
        EXPECT_EQ(got[i].origin, e.origin) << "COM" << i + 1;
        EXPECT_EQ(got[i].label, e.label) << "COM" << i + 1;
    }
}

// Adapters in by-id name order, then the other ttyUSB and ttyACM by number, then
// the ttyS ports with a UART; nothing else.
TEST(SerialPortMap, PortsPresentComeInTheDocumentedOrder) {
    FakeDeviceTree tree;
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyUSB3", "ttyACM1", "ttyACM0", "ttyUSBx",
                             "ttyAMA0", "tty0", "console"})
        tree.node(name);
    tree.byId("usb-Prolific_PL2303-if00-port0", "ttyUSB3");
    tree.byId("usb-Arduino_Uno_1234-if00", "ttyACM1");
    tree.byId("usb-Unplugged_FT232-if00-port0", "ttyUSB7");  // its node is gone
    tree.uart("ttyS10", 4);
    tree.uart("ttyS0", 4);
    tree.uart("ttyS1", 0);  // a port without hardware
    tree.node("ttyS2");     // no sys entry: no UART known
    tree.uart("ttyS3", 1);

    expectTable(serialPortsPresent(tree.root()), tree,
                {{"ttyACM1", PortOrigin::UsbById, "usb-Arduino_Uno_1234-if00"},
                 {"ttyUSB3", PortOrigin::UsbById, "usb-Prolific_PL2303-if00-port0"},
                 {"ttyUSB2", PortOrigin::UsbTty, ""},
                 {"ttyUSB10", PortOrigin::UsbTty, ""},
                 {"ttyACM0", PortOrigin::AcmTty, ""},
                 {"ttyS0", PortOrigin::Uart, ""},
                 {"ttyS3", PortOrigin::Uart, ""},
                 {"ttyS10", PortOrigin::Uart, ""}});
    EXPECT_TRUE(serialPortsPresent(tree.root() + "/nowhere").empty());
}

// COMn files of the working directory keep their numbers; the ports present fill
// the others, skipping one a link already reaches; each look is a fresh one.
TEST(SerialPortMap, LinksKeepTheirNumbersAndPortsFillTheRestAfresh) {
    TempWorkDir dir;
    FakeDeviceTree tree;
    tree.uart("ttyS0", 4);
    tree.node("ttyUSB0");
    tree.node("ttyUSB1");
    ASSERT_EQ(::symlink(tree.dev("ttyUSB0").c_str(), "COM2"), 0);
    ASSERT_EQ(::symlink("/nonexistent/tty", "COM5"), 0);

    const std::vector<Expected> before = {{"ttyUSB1", PortOrigin::UsbTty, ""},
                                          {"COM2", PortOrigin::WorkingDirectory, ""},
                                          {"ttyS0", PortOrigin::Uart, ""},
                                          {"", PortOrigin::None, ""},
                                          {"COM5", PortOrigin::WorkingDirectory, ""}};
    expectTable(comPortTable(tree.root()), tree, before);
    EXPECT_EQ(mapComPort(2, tree.root()).path, tree.dev("ttyS0"));
    EXPECT_EQ(mapComPort(5, tree.root()).origin, PortOrigin::None);
    EXPECT_EQ(describePort(mapComPort(4, tree.root())),
              "/nonexistent/tty (through COM5 in the working directory)");
    EXPECT_EQ(describePort(mapComPort(1, tree.root())),
              tree.dev("ttyUSB0") + " (through COM2 in the working directory)");

    tree.node("ttyACM0");  // plugged in later
    expectTable(comPortTable(tree.root()), tree,
                {{"ttyUSB1", PortOrigin::UsbTty, ""},
                 {"COM2", PortOrigin::WorkingDirectory, ""},
                 {"ttyACM0", PortOrigin::AcmTty, ""},
                 {"ttyS0", PortOrigin::Uart, ""},
                 {"COM5", PortOrigin::WorkingDirectory, ""}});
    EXPECT_EQ(describePort(mapComPort(2, tree.root())),
              tree.dev("ttyACM0") + " (USB modem-class adapter)");
}

}  // namespace
}  // namespace zamel

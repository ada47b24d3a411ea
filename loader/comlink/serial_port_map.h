#pragma once

#include <string>
#include <vector>

namespace zamel {

// How a COM number found the device behind it.
enum class PortOrigin {
    None,              // nothing behind the number
    WorkingDirectory,  // a file "COMn" in the working directory, usually a link to a tty
    UsbById,           // a USB adapter named in /dev/serial/by-id
    UsbTty,            // /dev/ttyUSB* without a by-id name
    AcmTty,            // /dev/ttyACM* without a by-id name
    Uart,              // /dev/ttyS* with a UART behind it
    System,            // the system's own device name for the number (Windows "\\.\COMn")
};

// The device behind one COM number.
struct PortMapping {
    std::string path;  // what is opened; empty when there is nothing
    PortOrigin origin = PortOrigin::None;
    std::string label;  // the adapter's name in /dev/serial/by-id, else empty
};

// The device tree the ports are looked for in: "" is the machine's own /dev and
// /sys; tests pass a directory holding dev/, sys/ and var/lock/ of their own.
// Nothing else chooses it.

// The serial ports present, in COM order: USB adapters first (those named in
// dev/serial/by-id by that name, then other ttyUSB*, then other ttyACM*, each by
// number), then the ttyS* ports whose sys/class/tty/ttySn/type names a UART
// (a type of 0 is a port without hardware). Taken afresh at every call, so an
// adapter plugged in later is found.
std::vector<PortMapping> serialPortsPresent(const std::string& root);

// Every COM number with what is behind it, from COM1 to the last one in use. A
// "COMn" file in the working directory takes its number (even as a dangling
// link: it still means this port). The ports present fill the other numbers in
// their order, each once: one that a COMn link reaches gets no number of its own.
// A number between links left over when the ports ran out maps to nothing.
std::vector<PortMapping> comPortTable(const std::string& root);

// COM(portIndex + 1) as comPortTable maps it; nothing beyond the table.
PortMapping mapComPort(int portIndex, const std::string& root);

// The device's own name, as lock files name it: the node's ("ttyUSB0"), or
// for a COMn link that of the file it points to; empty when there is none.
std::string deviceName(const PortMapping& mapping);

// The device for people: "/dev/ttyUSB0 (USB adapter usb-FTDI_...)", "/dev/pts/3
// (through COM1 in the working directory)", "no device".
std::string describePort(const PortMapping& mapping);

}  // namespace zamel

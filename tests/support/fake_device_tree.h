#pragma once

#include <string>

namespace zamel::testing {

// A directory standing in for the machine's /dev, /sys and /var/lock, for the
// code that maps COM numbers to serial ports (its "device root"). Removed with
// the object. Anyone may read it, so a test can open its nodes as another user.
class FakeDeviceTree {
  public:
    FakeDeviceTree();
    ~FakeDeviceTree();
    FakeDeviceTree(const FakeDeviceTree&) = delete;
    FakeDeviceTree& operator=(const FakeDeviceTree&) = delete;

    const std::string& root() const { return root_; }
    // root/dev/name
    std::string dev(const std::string& name) const { return root_ + "/dev/" + name; }

    // dev/name as a plain file: present, but no terminal.
    void node(const std::string& name);
    // dev/name as a link to target (a pseudo-terminal's slave, or nothing).
    void link(const std::string& name, const std::string& target);
    // dev/serial/by-id/idName -> ../../nodeName, as udev makes them.
    void byId(const std::string& idName, const std::string& nodeName);
    // dev/name with sys/class/tty/name/type holding the UART type (0: none).
    void uart(const std::string& name, int type);
    // var/lock/LCK..name with the content.
    void lockFile(const std::string& name, const std::string& content);

  private:
    std::string root_;
};

}  // namespace zamel::testing

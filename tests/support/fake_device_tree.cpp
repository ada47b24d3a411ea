#include "fake_device_tree.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "pty_pair.h"

namespace zamel::testing {

namespace fs = std::filesystem;

FakeDeviceTree::FakeDeviceTree() {
    char templ[] = "/tmp/zt-devices-XXXXXX";
    if (::mkdtemp(templ) == nullptr) return;
    root_ = templ;
    ::chmod(templ, 0755);
    fs::create_directories(root_ + "/dev");
}

FakeDeviceTree::~FakeDeviceTree() {
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
}

void FakeDeviceTree::node(const std::string& name) { writeWholeFile(dev(name), ""); }

void FakeDeviceTree::link(const std::string& name, const std::string& target) {
    if (::symlink(target.c_str(), dev(name).c_str()) != 0) ADD_FAILURE() << "no link " << name;
}

void FakeDeviceTree::byId(const std::string& idName, const std::string& nodeName) {
    fs::create_directories(dev("serial/by-id"));
    if (::symlink(("../../" + nodeName).c_str(), dev("serial/by-id/" + idName).c_str()) != 0)
        ADD_FAILURE() << "no link " << idName;
}

void FakeDeviceTree::uart(const std::string& name, int type) {
    node(name);
    const std::string dir = root_ + "/sys/class/tty/" + name;
    fs::create_directories(dir);
    writeWholeFile(dir + "/type", std::to_string(type) + "\n");
}

void FakeDeviceTree::lockFile(const std::string& name, const std::string& content) {
    fs::create_directories(root_ + "/var/lock");
    writeWholeFile(root_ + "/var/lock/LCK.." + name, content);
}

}  // namespace zamel::testing

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "comlink.h"
#include "serial_port_map.h"

namespace zamel {
namespace {

std::vector<std::string> directoryNames(const std::string& dir) {
    std::vector<std::string> names;
    DIR* stream = ::opendir(dir.c_str());
    if (stream == nullptr) return names;
    while (const dirent* entry = ::readdir(stream)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(stream);
    std::sort(names.begin(), names.end());
    return names;
}

bool exists(const std::string& path) {
    struct stat node {};
    return ::stat(path.c_str(), &node) == 0;
}

std::string linkTarget(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

// The file a path ends at through its links; empty when it ends nowhere.
std::string resolved(const std::string& path) {
    char target[PATH_MAX];
    return ::realpath(path.c_str(), target) != nullptr ? std::string(target) : std::string();
}

std::string baseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The number after the prefix, or -1 when the name is not prefix + digits.
long ttyNumber(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
    long number = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || number > 1'000'000) return -1;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

// The device names of one family, by number (ttyUSB2 before ttyUSB10).
std::vector<std::string> numbered(const std::vector<std::string>& names,
                                  const std::string& prefix) {
    std::vector<std::pair<long, std::string>> found;
    for (const auto& name : names)
        if (const long n = ttyNumber(name, prefix); n >= 0) found.emplace_back(n, name);
    std::sort(found.begin(), found.end());
    std::vector<std::string> result;
    for (auto& [n, name] : found) result.push_back(std::move(name));
    return result;
}

// The serial core gives a port without hardware the type 0 (PORT_UNKNOWN).
bool hasUart(const std::string& root, const std::string& name) {
    std::ifstream type(root + "/sys/class/tty/" + name + "/type");
    long value = 0;
    return static_cast<bool>(type >> value) && value != 0;
}

}  // namespace

std::vector<PortMapping> serialPortsPresent(const std::string& root) {
    const std::string dev = root + "/dev/";
    std::vector<PortMapping> ports;
    std::set<std::string> taken;
    // udev's links are relative ("../../ttyUSB0"); the name alone finds the node
    // in the tree looked at, a real one or a test's.
    for (const auto& name : directoryNames(dev + "serial/by-id")) {
        const std::string node = baseName(linkTarget(dev + "serial/by-id/" + name));
        if (node.empty() || taken.count(node) != 0 || !exists(dev + node)) continue;
        taken.insert(node);
        ports.push_back({dev + node, PortOrigin::UsbById, name});
    }
    const auto names = directoryNames(dev);
    for (const auto& [prefix, origin] :
         {std::pair{"ttyUSB", PortOrigin::UsbTty}, std::pair{"ttyACM", PortOrigin::AcmTty}}) {
        for (const auto& node : numbered(names, prefix)) {
            if (taken.count(node) == 0) ports.push_back({dev + node, origin, {}});
        }
    }
    for (const auto& node : numbered(names, "ttyS")) {
        if (hasUart(root, node)) ports.push_back({dev + node, PortOrigin::Uart, {}});
    }
    return ports;
}

std::vector<PortMapping> comPortTable(const std::string& root) {
    std::vector<PortMapping> links(kPortIndexCount);
    std::set<std::string> linkedDevices;
    std::size_t linkEnd = 0;
    for (int n = 1; n <= kPortIndexCount; ++n) {
        const std::string name = "COM" + std::to_string(n);
        struct stat entry {};
        if (::lstat(name.c_str(), &entry) != 0) continue;
        links[n - 1] = {name, PortOrigin::WorkingDirectory, {}};
        linkEnd = n;
        if (const std::string device = resolved(name); !device.empty())
            linkedDevices.insert(device);
    }
    std::vector<PortMapping> fill;
    for (auto& port : serialPortsPresent(root))
        if (linkedDevices.count(resolved(port.path)) == 0) fill.push_back(std::move(port));

    std::vector<PortMapping> table;
    auto next = fill.begin();
    for (std::size_t i = 0; i < links.size() && (i < linkEnd || next != fill.end()); ++i) {
        if (links[i].origin == PortOrigin::WorkingDirectory) {
            table.push_back(links[i]);
        } else if (next != fill.end()) {
            table.push_back(*next++);
        } else {
            table.push_back({});
        }
    }
    return table;
}

PortMapping mapComPort(int portIndex, const std::string& root) {
    if (portIndex < 0) return {};
    const auto table = comPortTable(root);
    if (static_cast<std::size_t>(portIndex) < table.size()) return table[portIndex];
    return {};
}

std::string deviceName(const PortMapping& mapping) {
    if (mapping.origin == PortOrigin::WorkingDirectory) return baseName(linkTarget(mapping.path));
    return baseName(mapping.path);
}

std::string describePort(const PortMapping& mapping) {
    switch (mapping.origin) {
        case PortOrigin::None:
            return "no device";
        case PortOrigin::WorkingDirectory: {
            std::string target = resolved(mapping.path);
            if (target.empty()) target = linkTarget(mapping.path);
            return target + " (through " + mapping.path + " in the working directory)";
        }
        case PortOrigin::UsbById:
            return mapping.path + " (USB adapter " + mapping.label + ")";
        case PortOrigin::UsbTty:
            return mapping.path + " (USB adapter)";
        case PortOrigin::AcmTty:
            return mapping.path + " (USB modem-class adapter)";
        case PortOrigin::Uart:
            return mapping.path + " (built-in serial port)";
        case PortOrigin::System:
            break;
    }
    return mapping.path;
}

}  // namespace zamel

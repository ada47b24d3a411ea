#include <windows.h>

#include <string>
#include <vector>

#include "comlink.h"
#include "serial_port_map.h"

// On Windows a COM number is the system's own device "\\.\COMn": nothing maps
// it. The ports present are those the system lists under SERIALCOMM; a port it
// does not list (some virtual ports) is still tried when opened.

namespace zamel {
namespace {

constexpr const char* kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

std::string devicePath(int comNumber) { return "\\\\.\\COM" + std::to_string(comNumber); }

// "COM12" -> 12; 0 for anything else.
int comNumberOf(const std::string& name) {
    if (name.size() < 4 || name.size() > 6 || name.compare(0, 3, "COM") != 0) return 0;
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

}  // namespace

std::vector<PortMapping> serialPortsPresent(const std::string& /*root*/) {
    std::vector<PortMapping> ports(kPortIndexCount);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    for (DWORD i = 0;; ++i) {
        char device[256];
        char name[32];
        DWORD deviceLength = sizeof device;
        DWORD nameLength = sizeof name - 1;
        DWORD type = 0;
        if (RegEnumValueA(key, i, device, &deviceLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(name), &nameLength) != ERROR_SUCCESS)
            break;
        if (type != REG_SZ) continue;
        name[nameLength] = '\0';
        const int number = comNumberOf(name);
        if (number < 1 || number > kPortIndexCount) continue;
        ports[static_cast<std::size_t>(number - 1)] = {devicePath(number), PortOrigin::System,
                                                       device};
    }
    RegCloseKey(key);
    std::vector<PortMapping> present;
    for (auto& port : ports)
        if (port.origin != PortOrigin::None) present.push_back(std::move(port));
    return present;
}

std::vector<PortMapping> comPortTable(const std::string& root) {
    std::vector<PortMapping> table;
    for (auto& port : serialPortsPresent(root)) {
        const auto index = static_cast<std::size_t>(comNumberOf(port.path.substr(4)) - 1);
        if (table.size() <= index) table.resize(index + 1);
        table[index] = std::move(port);
    }
    return table;
}

PortMapping mapComPort(int portIndex, const std::string& root) {
    if (portIndex < 0 || portIndex >= kPortIndexCount) return {};
    const auto table = comPortTable(root);
    if (static_cast<std::size_t>(portIndex) < table.size() &&
        table[static_cast<std::size_t>(portIndex)].origin == PortOrigin::System)
        return table[static_cast<std::size_t>(portIndex)];
    return {devicePath(portIndex + 1), PortOrigin::System, {}};
}

std::string deviceName(const PortMapping& mapping) {
    return mapping.origin == PortOrigin::System ? mapping.path.substr(4) : std::string();
}

std::string describePort(const PortMapping& mapping) {
    if (mapping.origin == PortOrigin::None) return "no device";
    if (mapping.label.empty()) return mapping.path;
    return mapping.path + " (" + mapping.label + ")";
}

}  // namespace zamel

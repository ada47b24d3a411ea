#include "serial_device.h"

#include "comlink.h"
#include "serial_result.h"

namespace zamel {

// The operations below are left to the platform device; reaching the base's
// version means a device forgot one, which cannot be recovered from.

SerialDevice::~SerialDevice() = default;

int SerialDevice::idle() { reportPureVirtualCall(__LINE__); }
int SerialDevice::refreshLine() { reportPureVirtualCall(__LINE__); }
int SerialDevice::open() { reportPureVirtualCall(__LINE__); }
int SerialDevice::openHandle() { reportPureVirtualCall(__LINE__); }
int SerialDevice::close() { reportPureVirtualCall(__LINE__); }
int SerialDevice::queueStatus(QueueStatus&, int) { reportPureVirtualCall(__LINE__); }
int SerialDevice::setQueueSizes(int, int, int) { reportPureVirtualCall(__LINE__); }
int SerialDevice::setHandshake(int, int) { reportPureVirtualCall(__LINE__); }
int SerialDevice::getHandshake(int&, int&) { reportPureVirtualCall(__LINE__); }
int SerialDevice::setBreak(int) { reportPureVirtualCall(__LINE__); }
int SerialDevice::line(LineId, int) { reportPureVirtualCall(__LINE__); }
int SerialDevice::setFormat(int, char, int, int) { reportPureVirtualCall(__LINE__); }
int SerialDevice::getFormat(int&, char&, int&, int&) { reportPureVirtualCall(__LINE__); }
int SerialDevice::snapshot(LineSnapshot&) { reportPureVirtualCall(__LINE__); }
int SerialDevice::writeByte(std::uint8_t) { reportPureVirtualCall(__LINE__); }
int SerialDevice::writeText(const char*) { reportPureVirtualCall(__LINE__); }
int SerialDevice::write(std::span<const std::uint8_t>) { reportPureVirtualCall(__LINE__); }
int SerialDevice::sendImmediate(std::uint8_t) { reportPureVirtualCall(__LINE__); }
int SerialDevice::readByte() { reportPureVirtualCall(__LINE__); }
int SerialDevice::read(std::span<std::uint8_t>) { reportPureVirtualCall(__LINE__); }
int SerialDevice::purge(bool, int) { reportPureVirtualCall(__LINE__); }
int SerialDevice::dump(const PrintLine&) { reportPureVirtualCall(__LINE__); }

int SerialDevice::reserved23() { return kSerialNotSupported; }
int SerialDevice::reserved24() { return kSerialNotSupported; }

int SerialDevice::waitReadable(int) { return idle(); }
int SerialDevice::drainTransmit() { return kSerialNotSupported; }
bool SerialDevice::hungUp() const { return false; }
std::intptr_t SerialDevice::inputEvent() { return -1; }

}  // namespace zamel

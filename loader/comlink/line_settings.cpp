#include "line_settings.h"

#include "serial_device.h"
#include "serial_result.h"
#include "serial_stream.h"

namespace zamel {

LineSettings::~LineSettings() { detach(); }

int LineSettings::attach(SerialStream& stream) {
    // Re-attaching first gives the previous port its format back.
    detach();
    device_ = &stream.device();
    if (fetch() != 0) return kSerialGeneralFailure;
    return apply();
}

int LineSettings::detach() {
    if (device_ == nullptr) return 0;
    baud_ = savedBaud_;
    parity_ = savedParity_;
    dataBits_ = savedDataBits_;
    stopBits_ = savedStopBits_;
    const int result = apply();
    device_ = nullptr;
    return result;
}

int LineSettings::setAll(int baud, char parity, int dataBits, int stopBits) {
    baud_ = baud;
    parity_ = parity;
    dataBits_ = dataBits;
    stopBits_ = stopBits;
    return apply();
}

int LineSettings::setBaud(int baud) {
    const int previous = baud_;
    baud_ = baud;
    if (apply() != 0) {
        baud_ = previous;
        return kSerialGeneralFailure;
    }
    return 0;
}

int LineSettings::apply() {
    if (device_ == nullptr) return kSerialGeneralFailure;
    return device_->setFormat(baud_, parity_, dataBits_, stopBits_) == 0 ? 0
                                                                         : kSerialGeneralFailure;
}

int LineSettings::fetch() {
    if (device_ == nullptr) return kSerialGeneralFailure;
    return device_->getFormat(savedBaud_, savedParity_, savedDataBits_, savedStopBits_) == 0
               ? 0
               : kSerialGeneralFailure;
}

}  // namespace zamel

#include "serial_stream.h"

#include <chrono>

#include "handshake_state.h"
#include "line_settings.h"
#include "serial_device.h"
#include "serial_result.h"

namespace zamel {

SerialStream::SerialStream(SerialDevice& device) : device_(device) {
    // A device that failed to open keeps its code for status() to report.
    if (device_.lastError() != 0) return;
    settings_ = std::make_unique<LineSettings>();
    settings_->attach(*this);
    settings_->setAll(9600, 'N', 8, 1);
    handshake_ = std::make_unique<HandshakeState>(*this);
    handshake_->set(0, 0);
}

SerialStream::~SerialStream() {
    // Flow control first, then the format, each put back as it was found.
    handshake_.reset();
    settings_.reset();
}

int SerialStream::readByte(int timeoutMs) {
    int result = device_.readByte();
    if (result != kSerialNoData || timeoutMs <= 0) return result;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline) return kSerialNoData;
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        device_.waitReadable(static_cast<int>(remaining.count()));
        result = device_.readByte();
        if (result != kSerialNoData) return result;
    }
}

int SerialStream::writeByte(std::uint8_t byte) { return device_.writeByte(byte); }

int SerialStream::reserved3() { return kSerialNotSupported; }

int SerialStream::write(std::span<const std::uint8_t> bytes) {
    return bytes.empty() ? 0 : device_.write(bytes);
}

int SerialStream::clearReceive(int count) { return device_.purge(false, count); }

int SerialStream::clearTransmit() { return device_.purge(true, 0); }

int SerialStream::receiveCount() {
    QueueStatus queues{};
    device_.queueStatus(queues, 1);
    return queues.receiveCount;
}

int SerialStream::transmitCount() {
    QueueStatus queues{};
    device_.queueStatus(queues, 1);
    return queues.transmitCount;
}

int SerialStream::setTransmitQueue(int size) { return device_.setQueueSizes(0, 0, size); }

int SerialStream::drainTransmit() { return device_.drainTransmit(); }

int SerialStream::status(std::uint16_t& errorBits) {
    errorBits = 0;
    if (const int pending = device_.lastError(); pending != 0) {
        device_.clearLastError();
        return pending;
    }
    if (!handshake_) return 0;
    handshake_->refresh();
    if (handshake_->parityError() == 1) errorBits |= kStatusParityError;
    if (handshake_->framingError() == 1) errorBits |= kStatusFramingError;
    if (handshake_->receiveOverflow() == 1) errorBits |= kStatusReceiveOverflow;
    if (handshake_->overrunError() == 1) errorBits |= kStatusOverrun;
    if (handshake_->breakDetected() == 1) errorBits |= kStatusBreakDetected;
    return 0;
}

}  // namespace zamel

#include "handshake_state.h"

#include "serial_device.h"
#include "serial_stream.h"

namespace zamel {

HandshakeState::HandshakeState(SerialStream& stream) : device_(stream.device()) {
    device_.getHandshake(savedInput_, savedOutput_);
    input_ = savedInput_;
    output_ = savedOutput_;
    refresh();
}

HandshakeState::~HandshakeState() { restore(); }

int HandshakeState::restore() { return set(savedInput_, savedOutput_); }

int HandshakeState::set(int inputMode, int outputMode) {
    const int result = device_.setHandshake(inputMode, outputMode);
    if (result == 0) {
        input_ = inputMode;
        output_ = outputMode;
    }
    return result;
}

int HandshakeState::refresh() { return device_.snapshot(snapshot_); }

int HandshakeState::parityError() const { return snapshot_.lineResult(LineId::ParityError); }
int HandshakeState::framingError() const { return snapshot_.lineResult(LineId::FramingError); }
int HandshakeState::receiveOverflow() const {
    return snapshot_.lineResult(LineId::ReceiveOverflow);
}
int HandshakeState::overrunError() const { return snapshot_.lineResult(LineId::OverrunError); }
int HandshakeState::breakDetected() const { return snapshot_.lineResult(LineId::BreakDetected); }

}  // namespace zamel

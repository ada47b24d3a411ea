#pragma once

namespace zamel {

class SerialDevice;
class SerialStream;

// A line format (baud, parity, data bits, stop bits) put on a stream's port.
// Attaching saves the port's format and applies this one; detaching (also on
// destruction) puts the saved format back. The stream's device must outlive an
// attached LineSettings. A new object holds 1200 "N" 8 1 in both sets.
// Operations return 0 or kSerialGeneralFailure.
class LineSettings {
  public:
    LineSettings() = default;
    ~LineSettings();
    LineSettings(const LineSettings&) = delete;
    LineSettings& operator=(const LineSettings&) = delete;

    int attach(SerialStream& stream);
    int detach();
    int setAll(int baud, char parity, int dataBits, int stopBits);
    // On failure the previous rate stays in baud().
    int setBaud(int baud);
    // Puts the current fields on the port.
    int apply();
    // Reads the port's format into the saved fields.
    int fetch();

    int baud() const { return baud_; }
    char parity() const { return parity_; }
    int dataBits() const { return dataBits_; }
    int stopBits() const { return stopBits_; }
    int savedBaud() const { return savedBaud_; }
    char savedParity() const { return savedParity_; }
    int savedDataBits() const { return savedDataBits_; }
    int savedStopBits() const { return savedStopBits_; }
    // Absent until attached.
    SerialDevice* device() const { return device_; }

  private:
    int baud_ = 1200;
    char parity_ = 'N';
    int dataBits_ = 8;
    int stopBits_ = 1;
    int savedBaud_ = 1200;
    char savedParity_ = 'N';
    int savedDataBits_ = 8;
    int savedStopBits_ = 1;
    SerialDevice* device_ = nullptr;
};

}  // namespace zamel

#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "line_settings.h"
#include "port_open_outcome.h"
#include "receiver_model_table.h"
#include "serial_device.h"
#include "serial_stream.h"

namespace zamel {

class Clock;
class Ui;

// The loader's one connection object: it owns the serial port objects of the open
// port, assembles and checks the receiver's "$PQVX" replies, and keeps everything
// identification learns plus the selections and flags the upload workflows share.
// The program creates exactly one and passes it by reference; it is not a global.
// It borrows the Ui (error message, status pane) and the Clock (settling pause).
class ReceiverLink {
  public:
    static constexpr int kSentenceCapacity = 256;
    static constexpr int kHeaderSize = 128;

    ReceiverLink(Ui& ui, Clock& clock);
    ~ReceiverLink();
    ReceiverLink(const ReceiverLink&) = delete;
    ReceiverLink& operator=(const ReceiverLink&) = delete;

    // Resets every field to its initial value, then reads class, port index and baud
    // from zamel.cfg in the working directory; fields that are missing keep defaults.
    void loadSettings();

    // Opens COM(index + 1) at the rate; the caller tests portOpen and openFailed,
    // and openOutcome for the device tried and the reason of a failure.
    void open(std::int32_t index, std::int32_t baudRate, bool showErrors);
    // Keeps an open port with the same index and rate, else reopens.
    void ensureOpen(std::int32_t index, std::int32_t baudRate, bool showErrors);
    void close();

    // Sends "$PQVX" + body + "*hh\r\n". Call only while the port is open.
    void sendCommand(const char* body);
    // Parses every reply already received; 1 when one of them was recognised.
    std::int32_t pollReplies();
    // One byte into the sentence assembler; 1 when it completed a recognised reply.
    std::int32_t acceptByte(std::uint8_t byte);
    // Checks and stores the sentence collected in `sentence`; 1 when recognised.
    std::int32_t parseSentence();
    // The pause after an upload command: sends 0x00, waits for the transmit queue,
    // then sleeps until the calendar second is at least 2 past the start.
    void settle();
    // 1 at the first waiting 0xAA or 0x77 (other bytes dropped), 0 when none waits.
    std::int32_t waitLoaderByte();
    // Identifies the receiver from the version reply of sentenceLength bytes in `sentence`.
    void identify();
    // Re-identifies the receiver as the model of unit type 6.
    void selectPlainModel();
    // Re-identifies a unit type 7 receiver whose map header's fifth field is below
    // 2,500,000 as the plain model.
    void applyMapHeaderRule();

    std::unique_ptr<SerialStream> port;
    ReceiverClass receiverClass = ReceiverClass::NotIdentified;
    UnitType unitType = 0;
    std::int32_t baud = 4800;
    std::int32_t firmwareMajor = 0;
    std::int32_t firmwareMinor = 0;
    std::int32_t comIndex = 0;
    std::array<std::int32_t, 3> memory{};
    char modelName[20] = {};
    char productCode[4] = {};
    bool hasMapHeader = false;
    bool hasPoiHeader = false;
    bool reloadBootBlock = false;
    bool expertUpload = false;
    bool portOpen = false;
    bool openFailed = false;
    bool autoMode = false;
    bool autoFirstPass = true;
    char dataPath[256] = {};
    char codePath[256] = {};
    char poiHeader[kHeaderSize] = {};
    char mapHeader[kHeaderSize] = {};
    char mapName[128] = {};
    bool codeSelected = false;
    bool dataSelected = false;
    std::int32_t databaseRegion = 0;
    std::unique_ptr<SerialDevice> portDevice;
    std::unique_ptr<LineSettings> lineSettings;
    std::array<std::uint8_t, kSentenceCapacity> sentence{};
    std::int32_t sentenceLength = 0;
    // The device tree the COM numbers are mapped in: "" is the machine's own;
    // tests set a directory standing in for it (serialPortsPresent).
    std::string deviceRoot;
    // The device the last open tried and how it went (kept after a failure).
    PortOpenOutcome openOutcome;

  private:
    void releasePort();
    std::size_t collectedLength() const;
    std::int32_t checkAndStore();
    void storeMemory();

    Ui& ui_;
    Clock& clock_;
};

}  // namespace zamel

#include "receiver_link.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>

#include "clock.h"
#include "port_device.h"
#include "port_settings_file.h"
#include "serial_result.h"
#include "ui.h"

namespace zamel {

namespace {

constexpr int kReceiveBufferSize = 4096;
constexpr int kTransmitBufferSize = 2048;
constexpr int kTransmitQueueSize = 6144;
// A peer that never stops sending must not hold the caller in one poll; what is
// left stays queued for the next one.
constexpr int kMaxBytesPerPoll = 1 << 16;
constexpr std::int64_t kSettleSeconds = 2;
constexpr std::uint8_t kLoaderGreeting = 0xAA;
constexpr std::uint8_t kLoaderWaitsForRecords = 0x77;
constexpr std::uint8_t kChecksumCoveringDollar = 0x24;
constexpr std::int32_t kPlainModelUnitType = 6;
constexpr std::int32_t kTalvaneUnitType = 7;
constexpr unsigned long kPlainModelMapLimit = 2'500'000;
constexpr std::size_t kPayloadStart = 9;
constexpr std::size_t kProductCodeStart = 9;
constexpr std::size_t kProductCodeEnd = 12;  // the "," after the product code
constexpr std::size_t kVersionStart = 13;
constexpr std::size_t kLegacyNameStart = 22;
constexpr std::string_view kLegacyName = "NAV 415/420";

int hexValue(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// Reads a run of decimal digits at pos (bounded by end), saturating instead of
// overflowing; pos ends after the run.
std::int32_t readDigits(std::span<const std::uint8_t> text, std::size_t& pos, std::size_t end) {
    std::int64_t value = 0;
    while (pos < end && isDigit(text[pos])) {
        value = std::min<std::int64_t>(value * 10 + (text[pos] - '0'), INT32_MAX);
        ++pos;
    }
    return static_cast<std::int32_t>(value);
}

// A decimal integer as "%d" reads it: blanks, an optional sign, at least one digit.
// Fails on no digits and on a value outside 32 bits.
bool readInteger(std::span<const std::uint8_t> text, std::size_t& pos, std::size_t end,
                 std::int32_t& out) {
    std::size_t p = pos;
    while (p < end && (text[p] == ' ' || text[p] == '\t')) ++p;
    bool negative = false;
    if (p < end && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
    if (p >= end || !isDigit(text[p])) return false;
    std::int64_t value = 0;
    while (p < end && isDigit(text[p])) {
        value = value * 10 + (text[p] - '0');
        if (value > static_cast<std::int64_t>(INT32_MAX) + 1) return false;
        ++p;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return false;
    out = static_cast<std::int32_t>(value);
    pos = p;
    return true;
}

bool startsWith(std::span<const std::uint8_t> text, std::string_view name) {
    return text.size() >= name.size() && std::memcmp(text.data(), name.data(), name.size()) == 0;
}

template <std::size_t N>
void copyText(char (&target)[N], const char* source) {
    std::snprintf(target, N, "%s", source);
}

}  // namespace

ReceiverLink::ReceiverLink(Ui& ui, Clock& clock) : ui_(ui), clock_(clock) {}

ReceiverLink::~ReceiverLink() { close(); }

void ReceiverLink::loadSettings() {
    close();
    receiverClass = ReceiverClass::NotIdentified;
    unitType = 0;
    baud = 4800;
    firmwareMajor = 0;
    firmwareMinor = 0;
    comIndex = 0;
    memory = {};
    modelName[0] = '\0';
    productCode[0] = '\0';
    hasMapHeader = false;
    hasPoiHeader = false;
    reloadBootBlock = false;
    expertUpload = false;
    openFailed = false;
    autoMode = false;
    autoFirstPass = true;
    dataPath[0] = '\0';
    codePath[0] = '\0';
    poiHeader[0] = '\0';
    mapHeader[0] = '\0';
    mapName[0] = '\0';
    codeSelected = false;
    dataSelected = false;
    databaseRegion = 0;
    sentenceLength = 0;

    PortSettings settings{receiverClass, comIndex, baud};
    readPortSettings(settings);
    receiverClass = settings.receiverClass;
    comIndex = settings.comIndex;
    baud = settings.baud;
}

void ReceiverLink::open(std::int32_t index, std::int32_t baudRate, bool showErrors) {
    if (portOpen) close();
    openFailed = false;
    portDevice =
        openPortDevice(index, kReceiveBufferSize, kTransmitBufferSize, deviceRoot, openOutcome);
    port = std::make_unique<SerialStream>(*portDevice);
    lineSettings = std::make_unique<LineSettings>();
    lineSettings->attach(*port);
    errno = 0;
    // A device whose open failed shows itself here: it cannot take a line format.
    if (lineSettings->setBaud(baudRate) == kSerialGeneralFailure) {
        // Opened, yet the terminal refused the line settings.
        if (openOutcome.failure == PortOpenFailure::None) {
            openOutcome.failure = PortOpenFailure::Other;
            openOutcome.error = errno != 0 ? errno : EINVAL;
        }
        releasePort();
        openFailed = true;
        if (showErrors) {
            ui_.messageBox("COULD NOT OPEN COM PORT\n" + portLine(index, openOutcome.mapping,
                                                                  describeOpenFailure(openOutcome)),
                           "ERROR", MessageButtons::Ok, MessageIcon::Information);
        }
        return;
    }
    port->setTransmitQueue(kTransmitQueueSize);
    portOpen = true;
    comIndex = index;
    baud = baudRate;
    sentenceLength = 0;
}

void ReceiverLink::ensureOpen(std::int32_t index, std::int32_t baudRate, bool showErrors) {
    if (portOpen && comIndex == index && baud == baudRate) return;
    close();
    open(index, baudRate, showErrors);
}

void ReceiverLink::close() {
    if (!portOpen) return;
    releasePort();
}

void ReceiverLink::releasePort() {
    // The line settings put back the format they found, then the stream its
    // companions', then the device closes the port.
    lineSettings.reset();
    port.reset();
    portDevice.reset();
    portOpen = false;
}

void ReceiverLink::sendCommand(const char* body) {
    if (port == nullptr || body == nullptr) return;
    static constexpr std::uint8_t kStart[] = {'$', 'P', 'Q', 'V', 'X'};
    const std::span<const std::uint8_t> bodyBytes(reinterpret_cast<const std::uint8_t*>(body),
                                                  std::strlen(body));
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < std::size(kStart); ++i) sum ^= kStart[i];
    for (std::uint8_t byte : bodyBytes) sum ^= byte;
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    const std::uint8_t tail[] = {'*', static_cast<std::uint8_t>(kHexDigits[sum >> 4]),
                                 static_cast<std::uint8_t>(kHexDigits[sum & 0x0F]), '\r', '\n'};
    port->write(kStart);
    port->write(bodyBytes);
    port->write(tail);
}

std::int32_t ReceiverLink::pollReplies() {
    if (!portOpen || port == nullptr) return 0;
    std::int32_t result = 0;
    for (int taken = 0; taken < kMaxBytesPerPoll; ++taken) {
        const int byte = port->readByte(0);
        if (byte < 0) break;
        if (acceptByte(static_cast<std::uint8_t>(byte)) == 1) result = 1;
    }
    return result;
}

void ReceiverLink::settle() {
    if (port == nullptr) return;
    port->writeByte(0x00);
    port->drainTransmit();
    // Sleep to the calendar second at least two after the start, measured on the
    // wall clock; the monotonic bound keeps a clock stepped back from stretching it.
    const std::int64_t targetSecond = clock_.calendarSeconds() + kSettleSeconds;
    const std::int64_t deadlineTick = clock_.tickMs() + kSettleSeconds * 1000;
    while (clock_.calendarSeconds() < targetSecond && clock_.tickMs() < deadlineTick) {
        const std::int64_t untilSecond = targetSecond * 1000 - clock_.wallMs();
        const std::int64_t untilDeadline = deadlineTick - clock_.tickMs();
        clock_.sleepMs(std::max<std::int64_t>(1, std::min(untilSecond, untilDeadline)));
    }
}

std::int32_t ReceiverLink::waitLoaderByte() {
    if (!portOpen || port == nullptr) return 0;
    for (int taken = 0; taken < kMaxBytesPerPoll; ++taken) {
        const int byte = port->readByte(0);
        if (byte < 0) return 0;
        if (byte == kLoaderGreeting || byte == kLoaderWaitsForRecords) return 1;
    }
    return 0;
}

std::int32_t ReceiverLink::acceptByte(std::uint8_t byte) {
    if (sentenceLength <= 0 || sentenceLength >= kSentenceCapacity) {
        // Looking for a start: the LF after each reply and noise between replies go here.
        if (byte == '$') {
            sentence[0] = byte;
            sentenceLength = 1;
        }
        return 0;
    }
    if (byte == '\r') {
        sentence[static_cast<std::size_t>(sentenceLength)] = 0;
        return parseSentence();
    }
    sentence[static_cast<std::size_t>(sentenceLength)] = byte;
    ++sentenceLength;
    if (sentenceLength >= kSentenceCapacity) sentenceLength = 0;  // too long: drop it
    return 0;
}

std::int32_t ReceiverLink::parseSentence() {
    const std::int32_t result = checkAndStore();
    sentenceLength = 0;
    return result;
}

std::size_t ReceiverLink::collectedLength() const {
    return static_cast<std::size_t>(
        std::clamp<std::int32_t>(sentenceLength, 0, kSentenceCapacity - 1));
}

std::int32_t ReceiverLink::checkAndStore() {
    const std::size_t length = collectedLength();
    const std::span<const std::uint8_t> text(sentence.data(), length);

    // "$" ... "*" h h: the mark and at least one checksum digit must be inside.
    if (length < 4 || text[length - 3] != '*') return 0;
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i + 3 < length; ++i) sum ^= text[i];
    const int high = hexValue(text[length - 2]);
    if (high < 0) return 0;
    const int low = hexValue(text[length - 1]);
    const int sent = low < 0 ? high : high * 16 + low;
    if (sent != sum && sent != (sum ^ kChecksumCoveringDollar)) return 0;

    if (startsWith(text, "$PQVXVER,")) {
        identify();
        return 1;
    }
    if (startsWith(text, "$PQVXPOI,")) {
        std::memcpy(poiHeader, sentence.data() + kPayloadStart, kHeaderSize);
        return 1;
    }
    if (startsWith(text, "$PQVXMPH,")) {
        std::memcpy(mapHeader, sentence.data() + kPayloadStart, kHeaderSize);
        return 1;
    }
    if (startsWith(text, "$PQVXMEM,")) storeMemory();
    return 0;
}

void ReceiverLink::storeMemory() {
    const std::size_t length = collectedLength();
    const std::span<const std::uint8_t> text(sentence.data(), length);
    std::size_t pos = kPayloadStart;
    bool secondRead = false;
    for (std::size_t i = 0; i < memory.size(); ++i) {
        if (i > 0) {
            if (pos >= length || text[pos] != ',') break;
            ++pos;
        }
        if (!readInteger(text, pos, length, memory[i])) break;
        if (i == 1) secondRead = true;
    }
    // Only a second value this reply carried may re-identify the receiver.
    if (secondRead && unitType == kTalvaneUnitType && memory[1] == 0) selectPlainModel();
}

void ReceiverLink::identify() {
    const std::size_t length = collectedLength();
    const std::span<const std::uint8_t> text(sentence.data(), length);
    receiverClass = ReceiverClass::Unsupported;
    if (length <= kProductCodeEnd || text[kProductCodeEnd] != ',') return;
    // The version text and the model name end where the checksum mark begins.
    const std::size_t bodyEnd = length >= 3 && text[length - 3] == '*' ? length - 3 : length;
    const bool namesLegacyModel =
        bodyEnd >= kLegacyNameStart + kLegacyName.size() &&
        std::memcmp(text.data() + kLegacyNameStart, kLegacyName.data(), kLegacyName.size()) == 0;

    const ReceiverModel* match = nullptr;
    for (const ReceiverModel& row : ReceiverModelTable) {
        if (std::memcmp(row.productCode, text.data() + kProductCodeStart, 3) != 0) continue;
        if (row.receiverClass == ReceiverClass::LegacyIfNamed) {
            if (!namesLegacyModel) continue;
            receiverClass = ReceiverClass::Legacy;
        } else {
            receiverClass = row.receiverClass;
        }
        unitType = row.unitType;
        match = &row;
        break;
    }
    if (match == nullptr) return;

    copyText(modelName, match->modelName);
    copyText(productCode, match->productCode);
    hasMapHeader = match->hasMapHeader != 0;
    hasPoiHeader = match->hasPoiHeader != 0;

    std::size_t pos = kVersionStart;
    while (pos < bodyEnd && !isDigit(text[pos])) ++pos;
    if (pos >= bodyEnd) return;
    firmwareMajor = readDigits(text, pos, bodyEnd);
    firmwareMinor = 0;
    while (pos < bodyEnd && (text[pos] == ' ' || text[pos] == '.')) ++pos;
    if (pos < bodyEnd && isDigit(text[pos])) firmwareMinor = readDigits(text, pos, bodyEnd);
}

void ReceiverLink::selectPlainModel() {
    for (const ReceiverModel& row : ReceiverModelTable) {
        if (row.unitType != kPlainModelUnitType) continue;
        receiverClass = row.receiverClass;
        unitType = row.unitType;
        copyText(modelName, row.modelName);
        hasMapHeader = row.hasMapHeader != 0;
        hasPoiHeader = row.hasPoiHeader != 0;
        copyText(productCode, row.productCode);
        ui_.setStatusPane(modelName);
        return;
    }
}

void ReceiverLink::applyMapHeaderRule() {
    if (unitType != kTalvaneUnitType || mapHeader[0] == '\0') return;
    const std::size_t length = strnlen(mapHeader, sizeof mapHeader);
    const std::span<const std::uint8_t> text(reinterpret_cast<const std::uint8_t*>(mapHeader),
                                             length);
    std::size_t pos = 0;
    for (int commas = 0; commas < 4; ++pos) {
        if (pos >= length) return;
        if (text[pos] == ',') ++commas;
    }
    while (pos < length && text[pos] == ' ') ++pos;
    if (pos >= length || !isDigit(text[pos])) return;
    const std::int32_t field = readDigits(text, pos, length);
    if (static_cast<unsigned long>(field) < kPlainModelMapLimit) selectPlainModel();
}

}  // namespace zamel

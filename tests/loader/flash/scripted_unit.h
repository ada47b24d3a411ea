#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace zamel::testing {

// A receiver's boot loader as the engine's tests need it: fed what the loader
// wrote, it answers every complete command and frame the way a well-behaved unit
// does and keeps the data of every record. Bytes of an unfinished frame wait for
// the rest, as a unit reading the line would.
class ScriptedUnit {
  public:
    // How the unit meets one record frame instead of taking it. The record is not
    // kept; where the unit asks for earlier records again, it has lost them too.
    enum class Trouble {
        WriteFail,     // 0x84, then a new greeting: the transfer starts over, flash erased
        RestartFile,   // 0x87, then 0x55: the range erased again, the transfer goes again
        RewindRecord,  // 0x55, 0x89 and a record number: the record before is lost
        EchoEarlier,   // two debug words naming the record two back: the one between is lost
    };

    // recordMode: records carry a record number and no erase follows 0x6A.
    ScriptedUnit(bool recordMode, int sectorsToErase);

    // The record frame numbered `frame` (from 1, every record frame counted) meets
    // `trouble`; the unit takes every other one.
    void troubleAt(int frame, Trouble trouble) {
        troubleFrame_ = frame;
        trouble_ = trouble;
    }

    // Answers to everything complete in `fromLoader` (plus what was held back).
    std::vector<std::uint8_t> take(std::span<const std::uint8_t> fromLoader);

    // Flash contents from `address`, `length` bytes; unwritten bytes read 0xFF.
    std::vector<std::uint8_t> flash(std::uint32_t address, std::size_t length) const;
    // Record-mode data in record-number order.
    std::vector<std::uint8_t> recordData() const;

    // The end report a record-mode unit gives after the end frame.
    void setEndReport(std::uint16_t checksum, std::uint32_t size) {
        endChecksum_ = checksum;
        endSize_ = size;
    }

    bool endSeen() const { return endSeen_; }
    int recordsTaken() const { return recordsTaken_; }
    bool eraseSeen() const { return eraseSeen_; }
    std::uint32_t eraseStart() const { return eraseStart_; }
    std::uint32_t eraseEnd() const { return eraseEnd_; }
    // Empty while everything the loader sent made sense.
    const std::string& fault() const { return fault_; }

  private:
    // Bytes used from pending_ (0 when a frame is still incomplete).
    std::size_t takeFrame(std::vector<std::uint8_t>& replies);
    struct Record {
        std::uint32_t address;  // the record number in record mode
        std::size_t length;
    };
    void keep(const Record& record, std::span<const std::uint8_t> data);
    void lose(const Record& record);
    // Sets fault_ when the trouble cannot be played at this point.
    void meetTrouble(std::vector<std::uint8_t>& replies);

    bool recordMode_;
    int sectorsToErase_;
    bool expectErase_ = false;
    bool eraseSeen_ = false;
    bool endSeen_ = false;
    int recordsTaken_ = 0;
    std::uint32_t eraseStart_ = 0;
    std::uint32_t eraseEnd_ = 0;
    std::uint16_t endChecksum_ = 0;
    std::uint32_t endSize_ = 0;
    std::vector<std::uint8_t> pending_;
    std::map<std::uint32_t, std::uint8_t> flash_;
    std::map<std::uint32_t, std::vector<std::uint8_t>> records_;
    // Records kept, in the order they came.
    std::vector<Record> kept_;
    int recordFrames_ = 0;
    int troubleFrame_ = 0;
    Trouble trouble_ = Trouble::WriteFail;
    std::string fault_;
};

}  // namespace zamel::testing

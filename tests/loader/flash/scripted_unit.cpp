#include "scripted_unit.h"

#include <cstdio>

namespace zamel::testing {

namespace {

std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
           static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
}

void appendDebugWord(std::vector<std::uint8_t>& out, std::uint16_t word) {
    out.push_back(0x8E);
    out.push_back(static_cast<std::uint8_t>(word >> 8));
    out.push_back(static_cast<std::uint8_t>(word));
}

}  // namespace

ScriptedUnit::ScriptedUnit(bool recordMode, int sectorsToErase)
    : recordMode_(recordMode), sectorsToErase_(sectorsToErase) {}

std::vector<std::uint8_t> ScriptedUnit::take(std::span<const std::uint8_t> fromLoader) {
    pending_.insert(pending_.end(), fromLoader.begin(), fromLoader.end());
    std::vector<std::uint8_t> replies;
    while (!pending_.empty() && fault_.empty()) {
        std::size_t used = 1;
        switch (pending_[0]) {
            case 0x5B:
                used = takeFrame(replies);
                break;
            case 0x55:  // the loader answers our greeting
                replies.push_back(0x55);
                break;
            case 0x6A:
                expectErase_ = !recordMode_;
                if (!recordMode_) replies.push_back(0x55);
                break;
            case 0x69:
                replies.push_back(0x55);
                break;
            default: {
                char text[64];
                std::snprintf(text, sizeof text, "unexpected byte %02x", pending_[0]);
                fault_ = text;
                return replies;
            }
        }
        if (used == 0) break;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
    }
    return replies;
}

std::size_t ScriptedUnit::takeFrame(std::vector<std::uint8_t>& replies) {
    if (pending_.size() < 3) return 0;
    const std::size_t words = static_cast<std::size_t>(pending_[1]) << 8 | pending_[2];
    const std::size_t length = 2 * words + 6;
    if (pending_.size() < length) return 0;
    const std::span<const std::uint8_t> frame(pending_.data(), length);
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < words; ++i)
        sum ^= static_cast<std::uint16_t>(frame[3 + 2 * i] << 8 | frame[4 + 2 * i]);
    const std::uint16_t stated =
        static_cast<std::uint16_t>(frame[length - 3] << 8 | frame[length - 2]);
    if (frame[length - 1] != 0x5D || sum != stated) {
        fault_ = "bad frame";
        return length;
    }
    if (words == 0) {
        endSeen_ = true;
        replies.push_back(0x55);
        if (recordMode_) {
            appendDebugWord(replies, endChecksum_);
            replies.push_back(0x55);
            appendDebugWord(replies, static_cast<std::uint16_t>(endSize_ >> 16));
            appendDebugWord(replies, static_cast<std::uint16_t>(endSize_));
            replies.push_back(0x55);
        }
        return length;
    }
    if (expectErase_ && words == 4) {
        expectErase_ = false;
        eraseSeen_ = true;
        eraseStart_ = bigEndian32(frame.subspan(3));
        eraseEnd_ = bigEndian32(frame.subspan(7));
        flash_.clear();
        kept_.clear();
        replies.push_back(0x55);
        for (int i = 0; i < sectorsToErase_; ++i) replies.push_back(0x8F);
        replies.push_back(0x55);
        return length;
    }
    if (words < 2) {
        fault_ = "record frame without address";
        return length;
    }
    const std::uint32_t address = bigEndian32(frame.subspan(3));
    const auto data = frame.subspan(7, 2 * words - 4);
    if (++recordFrames_ == troubleFrame_) {
        meetTrouble(replies);
        return length;
    }
    keep(Record{address, data.size()}, data);
    ++recordsTaken_;
    replies.push_back(0x55);
    replies.push_back(0x55);
    return length;
}

void ScriptedUnit::keep(const Record& record, std::span<const std::uint8_t> data) {
    if (recordMode_) {
        records_[record.address].assign(data.begin(), data.end());
    } else {
        for (std::size_t i = 0; i < data.size(); ++i)
            flash_[record.address + static_cast<std::uint32_t>(i)] = data[i];
    }
    kept_.push_back(record);
}

void ScriptedUnit::lose(const Record& record) {
    if (recordMode_) {
        records_.erase(record.address);
        return;
    }
    for (std::size_t i = 0; i < record.length; ++i)
        flash_.erase(record.address + static_cast<std::uint32_t>(i));
}

void ScriptedUnit::meetTrouble(std::vector<std::uint8_t>& replies) {
    switch (trouble_) {
        case Trouble::WriteFail:
            replies.insert(replies.end(), {0x84, 0xAA});
            return;
        case Trouble::RestartFile:
            flash_.clear();
            records_.clear();
            kept_.clear();
            replies.insert(replies.end(), {0x87, 0x55});
            return;
        case Trouble::RewindRecord:
            if (kept_.empty()) break;
            lose(kept_.back());
            replies.insert(replies.end(),
                           {0x55, 0x89, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(kept_.size())});
            return;
        case Trouble::EchoEarlier: {
            if (recordMode_ || kept_.size() < 2) break;
            lose(kept_.back());
            const std::uint32_t echo = kept_[kept_.size() - 2].address;
            replies.push_back(0x55);
            appendDebugWord(replies, static_cast<std::uint16_t>(echo >> 16));
            appendDebugWord(replies, static_cast<std::uint16_t>(echo));
            replies.push_back(0x55);
            return;
        }
    }
    fault_ = "trouble with no record before it";
}

std::vector<std::uint8_t> ScriptedUnit::flash(std::uint32_t address, std::size_t length) const {
    std::vector<std::uint8_t> bytes(length, 0xFF);
    for (std::size_t i = 0; i < length; ++i) {
        const auto it = flash_.find(address + static_cast<std::uint32_t>(i));
        if (it != flash_.end()) bytes[i] = it->second;
    }
    return bytes;
}

std::vector<std::uint8_t> ScriptedUnit::recordData() const {
    std::vector<std::uint8_t> bytes;
    for (const auto& [number, data] : records_) bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

}  // namespace zamel::testing

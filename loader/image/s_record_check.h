#pragma once

#include <cstdint>
#include <string>

namespace zamel {

// The result of reading an S-record file whole before any of it is sent.
struct SRecordCheck {
    bool intact = false;
    // 1-based line of the first fault; 0 when the file could not be read at all.
    std::int64_t faultLine = 0;
    // What is wrong with that line, as the end of a sentence ("has a wrong checksum").
    const char* fault = "";
    // Data bytes of all S1, S2 and S3 records: what an upload of the file sends.
    std::uint64_t dataBytes = 0;
};

// Checks every line of an S-record file: the record type, the hex digits, the
// byte count against the line's length and the checksum. Lines that do not begin
// with "S" are passed over, as the reader passes over them. A corrupted firmware
// file must be refused before the receiver is switched into its boot loader.
SRecordCheck checkSRecordFile(const std::string& path);

}  // namespace zamel

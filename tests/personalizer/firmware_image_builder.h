#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tagwright::testing {

// Builds factory firmware images as S-record text: an S0 header line, one S319
// record per 20 data bytes from baseAddress on, and an S705 end line, every
// line ended by CR LF and carrying a valid checksum. Tests place chosen bytes at
// chosen data offsets, so a text can sit in one record or straddle several.
class FirmwareImageBuilder {
  public:
    static constexpr std::size_t kDataBytesPerRecord = 20;
    static constexpr std::size_t kRecordLineLength = 56;  // with CR LF

    explicit FirmwareImageBuilder(std::size_t recordCount, std::uint32_t baseAddress = 0x00001000,
                                  std::uint8_t filler = 0xFF);

    // Copies bytes to the image's data from offset on.
    FirmwareImageBuilder& place(std::size_t offset, std::string_view bytes);
    // The text followed by its terminating zero byte.
    FirmwareImageBuilder& placeString(std::size_t offset, std::string_view text);
    FirmwareImageBuilder& setByte(std::size_t offset, std::uint8_t byte);

    std::string build() const;
    bool writeTo(const std::string& path) const;

    // Positions in build()'s text: the "S" of the record holding a data offset,
    // and the first hex digit of that data byte.
    std::size_t recordPosition(std::size_t offset) const;
    std::size_t bytePosition(std::size_t offset) const;
    // One S-record line with count, address, data and checksum, without line end.
    static std::string recordLine(char type, std::uint32_t address,
                                  const std::vector<std::uint8_t>& data);

    const std::vector<std::uint8_t>& data() const { return data_; }

  private:
    std::size_t headerLength() const;

    std::uint32_t baseAddress_;
    std::vector<std::uint8_t> data_;
};

}  // namespace tagwright::testing

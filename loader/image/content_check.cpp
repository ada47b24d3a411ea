#include "content_check.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image_file.h"
#include "link_field_text.h"
#include "receiver_link.h"
#include "s_record_text.h"
#include "ui.h"

namespace zamel {

namespace {

const char* questionFormat(ContentCheck kind) {
    switch (kind) {
        case ContentCheck::LegacyDatabase:
            return "%s does not appear to contain POIs for %s.  Continue?";
        case ContentCheck::FlashMap:
            return "%s does not appear to contain map data for %s.  Continue?";
        case ContentCheck::LegacyCode:
        case ContentCheck::FlashCode:
            break;
    }
    return "%s does not appear to contain code for %s.  Continue?";
}

constexpr std::size_t kLegacyCodeOffset = 1024;
constexpr std::int32_t kLegacyCodeProbeBytes = 4;
constexpr char kLegacyCodeMark[] = "024";
constexpr std::uint32_t kPoiHeaderOffset = 220;
constexpr std::int32_t kPoiHeaderBytes = 128;
constexpr std::uint8_t kFirstNonAsciiByte = 0x80;

// Version record: the S3 record loaded at 0x2D004E00, product code as ASCII digits
// written "3d", then one unexamined byte, then major and minor.
constexpr std::string_view kVersionAddress = "2D004E00";
constexpr std::size_t kVersionAddressOffset = 4;
constexpr std::size_t kProductCodeOffset = 12;
constexpr std::size_t kProductCodeDigits = 3;
constexpr std::size_t kMajorOffset = 20;
constexpr std::size_t kMinorOffset = 22;

}  // namespace

bool askContentQuestion(Ui& ui, ContentCheck kind, std::string_view filePath,
                        std::string_view modelName) {
    const std::string pathText(filePath);
    const std::string modelText(modelName);
    // Room for a full path, a model name and the longest question.
    std::array<char, 640> text{};
    std::snprintf(text.data(), text.size(), questionFormat(kind), pathText.c_str(),
                  modelText.c_str());
    // Enter must not write a file that does not look right: Cancel is the default.
    return ui.messageBox(text.data(), kContentQuestionTitle, MessageButtons::OkCancelDefaultCancel,
                         MessageIcon::Warning) == MessageAnswer::Ok;
}

bool ImageFile::checkContent(ContentCheck kind, bool silent, const ReceiverLink& link, Ui& ui) {
    if (isOpen == 0) return false;
    const std::string_view modelName = linkFieldText(link.modelName);
    switch (kind) {
        case ContentCheck::LegacyCode: {
            std::vector<std::uint8_t> probe(blockCapacity(kLegacyCodeProbeBytes));
            std::uint32_t offset = kLegacyCodeOffset;
            const std::int16_t got = readBlock(probe, kLegacyCodeProbeBytes, offset);
            // The probe of an S-record file consumed its first block; give it back.
            if (isSRecord) restartAtFirstRecord();
            if (silent) return true;
            if (got >= 3 && std::memcmp(probe.data(), kLegacyCodeMark, 3) == 0) return true;
            return askContentQuestion(ui, kind, path, modelName);
        }
        case ContentCheck::LegacyDatabase: {
            std::vector<std::uint8_t> header(blockCapacity(kPoiHeaderBytes));
            std::uint32_t offset = kPoiHeaderOffset;
            const std::int16_t got = readBlock(header, kPoiHeaderBytes, offset);
            if (isSRecord) restartAtFirstRecord();
            if (silent) return true;
            const auto examined = std::span(header).first(
                static_cast<std::size_t>(std::clamp<std::int16_t>(got, 0, kPoiHeaderBytes)));
            const bool textOnly = std::all_of(examined.begin(), examined.end(), [](std::uint8_t b) {
                return b < kFirstNonAsciiByte;
            });
            return textOnly || askContentQuestion(ui, kind, path, modelName);
        }
        case ContentCheck::FlashCode:
            return checkFlashCode(silent, link, ui);
        case ContentCheck::FlashMap:
            if (!isSRecord || silent) return true;
            return askContentQuestion(ui, kind, path, modelName);
    }
    return true;
}

bool ImageFile::checkFlashCode(bool silent, const ReceiverLink& link, Ui& ui) {
    if (!isSRecord)
        return silent ||
               askContentQuestion(ui, ContentCheck::FlashCode, path, linkFieldText(link.modelName));
    const bool matches = readVersionRecord(linkFieldText(link.productCode));
    restartAtFirstRecord();
    if (silent || matches) return true;
    return askContentQuestion(ui, ContentCheck::FlashCode, path, linkFieldText(link.modelName));
}

bool ImageFile::readVersionRecord(std::string_view productCode) {
    // Searched from the first record whatever has been read, and only up to the
    // end of the file: a file without the record simply does not match.
    restartAtFirstRecord();
    versionKnown_ = false;
    while (fetchLine()) {
        const std::string_view text = currentLine();
        if (text.size() < kVersionAddressOffset + kVersionAddress.size() || text[0] != 'S' ||
            text[1] != '3' ||
            text.substr(kVersionAddressOffset, kVersionAddress.size()) != kVersionAddress)
            continue;
        const auto major = srecord::parseHex(text, kMajorOffset, 2);
        const auto minor = srecord::parseHex(text, kMinorOffset, 2);
        versionKnown_ = major.has_value() && minor.has_value();
        if (versionKnown_) {
            versionMajor = *major;
            versionMinor = *minor;
        }
        if (productCode.size() != kProductCodeDigits) return false;
        for (std::size_t i = 0; i < kProductCodeDigits; ++i) {
            const std::size_t at = kProductCodeOffset + 2 * i;
            if (at + 1 >= text.size() || text[at] != '3' || text[at + 1] != productCode[i])
                return false;
        }
        return true;
    }
    return false;
}

}  // namespace zamel

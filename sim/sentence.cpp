#include "sentence.h"

#include <algorithm>

namespace zamel::sim {

namespace {

constexpr char kUpperDigits[] = "0123456789ABCDEF";
constexpr char kLowerDigits[] = "0123456789abcdef";
constexpr std::uint8_t kDollar = '$';

int hexValue(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool isLowerHexLetter(std::uint8_t c) { return c >= 'a' && c <= 'f'; }

}  // namespace

std::uint8_t sentenceChecksum(std::span<const std::uint8_t> bytesAfterDollar) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytesAfterDollar) sum ^= b;
    return sum;
}

std::vector<std::uint8_t> frameSentence(std::span<const std::uint8_t> payload,
                                        ChecksumStyle style) {
    std::vector<std::uint8_t> out;
    out.reserve(payload.size() + 11);
    out.push_back(kDollar);
    out.insert(out.end(), kSentencePrefix.begin(), kSentencePrefix.end());
    out.insert(out.end(), payload.begin(), payload.end());
    std::uint8_t sum = sentenceChecksum(std::span<const std::uint8_t>(out).subspan(1));
    if (style == ChecksumStyle::UpperWithDollar || style == ChecksumStyle::LowerWithDollar)
        sum ^= kDollar;
    const char* digits = style == ChecksumStyle::Lower || style == ChecksumStyle::LowerWithDollar
                             ? kLowerDigits
                             : kUpperDigits;
    out.push_back('*');
    out.push_back(static_cast<std::uint8_t>(digits[sum >> 4]));
    out.push_back(static_cast<std::uint8_t>(digits[sum & 0x0F]));
    out.push_back('\r');
    out.push_back('\n');
    return out;
}

std::vector<std::uint8_t> frameSentence(std::string_view payload, ChecksumStyle style) {
    return frameSentence(std::span<const std::uint8_t>(
                             reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()),
                         style);
}

SentenceReader::Result SentenceReader::push(std::uint8_t byte) {
    if (awaitingLineFeed_) {
        if (byte == '\n') {
            awaitingLineFeed_ = false;
            sentenceBytes_.push_back(byte);
            return Result::Sentence;
        }
        // The sentence is lost; the byte itself counts as one between sentences.
        abandonLineFeed();
        startOrSkip(byte);
        return Result::Breach;
    }
    if (!inSentence_) return startOrSkip(byte);
    if (byte == '\r') {
        inSentence_ = false;
        return finish();
    }
    if (byte == kDollar) {
        // A new start mark abandons an unfinished sentence, as after a lost CR.
        buffer_.clear();
        return Result::Partial;
    }
    if (buffer_.size() + 1 >= kMaxSentenceLength) {
        inSentence_ = false;
        buffer_.clear();
        return Result::Rejected;
    }
    buffer_.push_back(byte);
    return Result::Partial;
}

void SentenceReader::abandonLineFeed() {
    awaitingLineFeed_ = false;
    breach_ = "sentence ended with CR alone, no LF";
}

SentenceReader::Result SentenceReader::startOrSkip(std::uint8_t byte) {
    if (byte != kDollar) return Result::Outside;
    inSentence_ = true;
    buffer_.clear();
    return Result::Partial;
}

SentenceReader::Result SentenceReader::finish() {
    sentenceBytes_.assign(1, kDollar);
    sentenceBytes_.insert(sentenceBytes_.end(), buffer_.begin(), buffer_.end());
    sentenceBytes_.push_back('\r');
    // prefix, at least one body byte, "*", two digits
    const std::size_t n = buffer_.size();
    if (n < kSentencePrefix.size() + 4) return Result::Rejected;
    if (buffer_[n - 3] != '*') return Result::Rejected;
    if (!std::equal(kSentencePrefix.begin(), kSentencePrefix.end(), buffer_.begin()))
        return Result::Rejected;
    const int high = hexValue(buffer_[n - 2]);
    const int low = hexValue(buffer_[n - 1]);
    if (high < 0 || low < 0) return Result::Rejected;
    const std::span<const std::uint8_t> covered(buffer_.data(), n - 3);
    if (sentenceChecksum(covered) != high * 16 + low) return Result::Rejected;
    // The firmware compares the digits as text, as the loader writes them.
    if (isLowerHexLetter(buffer_[n - 2]) || isLowerHexLetter(buffer_[n - 1])) {
        breach_ = "checksum digits in lower case";
        return Result::Breach;
    }
    body_.assign(buffer_.begin() + static_cast<std::ptrdiff_t>(kSentencePrefix.size()),
                 buffer_.begin() + static_cast<std::ptrdiff_t>(n - 3));
    awaitingLineFeed_ = true;
    return Result::Partial;
}

}  // namespace zamel::sim

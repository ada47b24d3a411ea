#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zamel::sim {

// "$PQVX" sentences as the receiver's firmware frames and reads them:
// "$" "PQVX" body "*" two hex digits CR LF, the checksum being the XOR of every
// byte between "$" and "*".

inline constexpr std::string_view kSentencePrefix = "PQVX";
// Longest sentence from "$" up to, not including, CR.
inline constexpr std::size_t kMaxSentenceLength = 255;

// The forms a reply's checksum may take: upper- or lower-case digits, and the
// XOR of the bytes after "$" or of the "$" as well.
enum class ChecksumStyle { Upper, Lower, UpperWithDollar, LowerWithDollar };

std::uint8_t sentenceChecksum(std::span<const std::uint8_t> bytesAfterDollar);

// A whole reply: "$PQVX", the payload bytes, "*", the checksum in the given style, CR LF.
std::vector<std::uint8_t> frameSentence(std::span<const std::uint8_t> payload,
                                        ChecksumStyle style = ChecksumStyle::Upper);
std::vector<std::uint8_t> frameSentence(std::string_view payload,
                                        ChecksumStyle style = ChecksumStyle::Upper);

// Push parser for incoming command sentences, fed one byte at a time. A sentence
// counts once its LF has followed its CR.
class SentenceReader {
  public:
    enum class Result {
        Outside,   // the byte lay between sentences (an LF, noise, a zero byte...)
        Partial,   // the byte belongs to a sentence still being read
        Sentence,  // a sentence with a good checksum ended; body() holds it
        Rejected,  // a sentence ended but was malformed or failed its checksum
        Breach,    // a sentence framed against the rules; breach() says how
    };

    Result push(std::uint8_t byte);
    // The body of the last good sentence, after "$PQVX" and before "*".
    const std::string& body() const { return body_; }
    // What was wrong with the last sentence that gave Breach.
    const std::string& breach() const { return breach_; }
    // The bytes of the last sentence that ended, from "$" on.
    const std::vector<std::uint8_t>& sentenceBytes() const { return sentenceBytes_; }
    // A good sentence has ended with CR and waits for its LF.
    bool awaitingLineFeed() const { return awaitingLineFeed_; }
    // Gives up a sentence still waiting for its LF: a Breach, as if another byte came.
    void abandonLineFeed();
    void reset() {
        buffer_.clear();
        inSentence_ = false;
        awaitingLineFeed_ = false;
    }

  private:
    Result finish();
    Result startOrSkip(std::uint8_t byte);

    std::vector<std::uint8_t> buffer_;  // bytes after "$", CR excluded
    bool inSentence_ = false;
    bool awaitingLineFeed_ = false;
    std::string body_;
    std::string breach_;
    std::vector<std::uint8_t> sentenceBytes_;
};

}  // namespace zamel::sim

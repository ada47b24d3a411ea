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

std::uint8_t sentenceChecksum(std::span<const std::uint8_t> bytesAfterDollar);

// A whole reply: "$PQVX", the payload bytes, "*", upper-case checksum, CR LF.
std::vector<std::uint8_t> frameSentence(std::span<const std::uint8_t> payload);
std::vector<std::uint8_t> frameSentence(std::string_view payload);

// Push parser for incoming command sentences, fed one byte at a time.
class SentenceReader {
  public:
    enum class Result {
        Outside,   // the byte lay between sentences (an LF, noise, a zero byte...)
        Partial,   // the byte belongs to a sentence still being read
        Sentence,  // a sentence with a good checksum ended; body() holds it
        Rejected,  // a sentence ended but was malformed or failed its checksum
    };

    Result push(std::uint8_t byte);
    // The body of the last good sentence, after "$PQVX" and before "*".
    const std::string& body() const { return body_; }
    void reset() {
        buffer_.clear();
        inSentence_ = false;
    }

  private:
    Result finish();

    std::vector<std::uint8_t> buffer_;  // bytes after "$", CR excluded
    bool inSentence_ = false;
    std::string body_;
};

}  // namespace zamel::sim

#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "pty_pair.h"

namespace zamel {
class ReceiverLink;
}

namespace zamel::testing {

// "$PQVX" + body + "*hh\r\n" with the XOR of prefix and body; optionally
// covering the "$" too and with lower-case digits, as some receivers send it.
std::string replySentence(const std::string& body, bool coverDollar = false,
                          bool lowerCase = false);
// Bytes on the wire of one command sentence with this body.
std::size_t commandSize(const std::string& body);

// The receiver's side of a pseudo-terminal: reads the command sentences the
// link sent and answers those it knows, but only while the line runs at the
// receiver's rate.
class ReceiverResponder {
  public:
    ReceiverResponder(PtyPair& pty, long answerBaud) : pty_(pty), answerBaud_(answerBaud) {}

    // The reply body (after "$PQVX") sent for a command body such as "CMD,VERSION".
    void setReply(const std::string& command, const std::string& replyBody) {
        replies_[command] = replyBody;
    }

    // Reads exactly `sentences` command sentences (failing the test when they do not
    // come within two seconds) and answers them; returns the reply bytes written.
    std::size_t answer(int sentences);

    const std::vector<std::string>& commandsSeen() const { return commandsSeen_; }

  private:
    PtyPair& pty_;
    long answerBaud_;
    std::map<std::string, std::string> replies_;
    std::vector<std::string> commandsSeen_;
};

// Waits (bounded) until the link's port holds at least n received bytes.
void waitReceived(ReceiverLink& link, std::size_t n);

}  // namespace zamel::testing

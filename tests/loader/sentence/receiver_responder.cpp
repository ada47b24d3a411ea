#include "receiver_responder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "receiver_link.h"

namespace zamel::testing {

std::string replySentence(const std::string& body, bool coverDollar, bool lowerCase) {
    const std::string inner = "PQVX" + body;
    unsigned sum = coverDollar ? '$' : 0;
    for (unsigned char c : inner) sum ^= c;
    char digits[3];
    std::snprintf(digits, sizeof digits, lowerCase ? "%02x" : "%02X", sum);
    return "$" + inner + "*" + digits + "\r\n";
}

std::size_t commandSize(const std::string& body) { return body.size() + 10; }

std::size_t ReceiverResponder::answer(int sentences) {
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int ends = 0;
    while (ends < sentences && std::chrono::steady_clock::now() < deadline) {
        const auto bytes = pty_.readExactly(1, 2000);
        if (bytes.empty()) break;
        received.push_back(static_cast<char>(bytes[0]));
        if (bytes[0] == '\n') ++ends;
    }
    EXPECT_EQ(ends, sentences) << "the link sent: " << received;

    std::string replies;
    std::size_t start = 0;
    while (start < received.size()) {
        const std::size_t end = received.find("\r\n", start);
        if (end == std::string::npos) break;
        const std::string sentence = received.substr(start, end - start);
        start = end + 2;
        const std::size_t mark = sentence.find('*');
        if (sentence.rfind("$PQVX", 0) != 0 || mark == std::string::npos) continue;
        const std::string command = sentence.substr(5, mark - 5);
        commandsSeen_.push_back(command);
        const auto reply = replies_.find(command);
        if (reply != replies_.end() && pty_.baud() == answerBaud_)
            replies += replySentence(reply->second);
    }
    if (!replies.empty()) {
        EXPECT_TRUE(pty_.write(replies));
    }
    return replies.size();
}

void waitReceived(ReceiverLink& link, std::size_t n) {
    ASSERT_NE(link.port, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (static_cast<std::size_t>(link.port->receiveCount()) < n) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "reply did not reach the link";
        link.portDevice->waitReadable(100);
    }
}

}  // namespace zamel::testing

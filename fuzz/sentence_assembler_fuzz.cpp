// Bytes from a receiver into the sentence assembler and parser: whatever arrives,
// the link must stay inside its buffers and keep its texts terminated.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "clock.h"
#include "receiver_link.h"
#include "ui.h"

namespace {

class SilentUi final : public zamel::Ui {
public:
    zamel::MessageAnswer messageBox(const std::string&, const std::string&, zamel::MessageButtons,
                                    zamel::MessageIcon) override {
        return zamel::MessageAnswer::Ok;
    }
    std::optional<std::string> openFile(const std::string&, const std::string&, const std::string&,
                                        const std::string&) override {
        return std::nullopt;
    }
    zamel::DialogResult runModal(zamel::DialogController&) override {
        return zamel::DialogResult::Cancel;
    }
    void setStatusPane(const std::string&) override {}
    void quit() override {}
    void pumpMessages() override {}
};

class StillClock final : public zamel::Clock {
public:
    std::int64_t wallMs() const override { return 0; }
    std::int64_t tickMs() const override { return 0; }
    void sleepMs(std::int64_t) override {}
};

template <std::size_t N>
bool terminated(const char (&text)[N]) {
    return std::memchr(text, '\0', N) != nullptr;
}

void check(const zamel::ReceiverLink& link) {
    if (link.sentenceLength < 0 || link.sentenceLength >= zamel::ReceiverLink::kSentenceCapacity)
        __builtin_trap();
    if (!terminated(link.modelName) || !terminated(link.productCode)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    SilentUi ui;
    StillClock clock;
    zamel::ReceiverLink link(ui, clock);
    // The first byte picks the starting state, so the plain-model rules are reached.
    const std::uint8_t mode = data[0];
    if (mode & 1) link.unitType = 7;
    if (mode & 2) {
        // A sentence of any stated length, straight into the parser.
        const std::size_t count = std::min<std::size_t>(size - 2, link.sentence.size());
        std::memcpy(link.sentence.data(), data + 2, count);
        link.sentenceLength = data[1];
        link.parseSentence();
        check(link);
    } else {
        for (std::size_t i = 1; i < size; ++i) {
            link.acceptByte(data[i]);
            check(link);
        }
    }
    link.applyMapHeaderRule();
    check(link);
    return 0;
}

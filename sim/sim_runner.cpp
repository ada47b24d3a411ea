#include "sim_runner.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <vector>

#include "srecord_writer.h"

namespace zamel::sim {

namespace {

// A rate change raises no event on the master: the settings are read this often.
constexpr SimTime kRatePollInterval = std::chrono::milliseconds(10);
constexpr std::size_t kReadChunk = 4096;
constexpr SimTime kDrainLimit = std::chrono::seconds(2);
constexpr SimTime kQueueSettle = std::chrono::milliseconds(50);
constexpr char kFlashOutHeader[] = "receiver-sim flash";
constexpr char kFlashDumpHeader[] = "receiver-sim flash dump";

}  // namespace

SimRunner::SimRunner(SimOptions options)
    : options_(std::move(options)), startedAt_(std::chrono::steady_clock::now()) {}

SimRunner::~SimRunner() = default;

SimTime SimRunner::now() const {
    return std::chrono::duration_cast<SimTime>(std::chrono::steady_clock::now() - startedAt_);
}

bool SimRunner::start(std::string& error) {
    if (!options_.transcript.empty() && !transcript_.open(options_.transcript)) {
        error = "cannot write the transcript " + options_.transcript;
        return false;
    }
    line_ = PtyLine::open(options_.dir, options_.port, error);
    if (!line_) return false;
    ReceiverConfig config;
    config.identity = options_.identity();
    config.baud = options_.baud;
    config.loaderBaud = options_.loaderBaud;
    config.eraseTimePerSector = std::chrono::milliseconds(options_.eraseMs);
    config.programTime = std::chrono::milliseconds(options_.programMs);
    config.restartTime = std::chrono::milliseconds(options_.restartMs);
    config.startInLoader = options_.startInLoader;
    config.seed = options_.seed;
    receiver_ = std::make_unique<Receiver>(std::move(config), options_.faults, output_, now());
    transcript_.note(now(), "listening on " + line_->linkPath() + " -> " + line_->slavePath());
    return true;
}

std::string SimRunner::readyLine() const {
    return "ready COM" + std::to_string(options_.port) + " " + (line_ ? line_->slavePath() : "");
}

void SimRunner::tell(const std::string& text) {
    if (notice_) notice_(text);
}

void SimRunner::protocolError(SimTime now, const std::string& text) {
    transcript_.note(now, text);
    tell(text);
    if (options_.once) exitStatus_ = 1;
}

int SimRunner::run(int stopFd) {
    while (true) {
        SimTime t = now();
        watchLine(t);
        readInput(t);
        deliverInput(t);
        receiver_->tick(t);
        handleEvents(t);
        writeOutput(t);
        if (exitStatus_ && output_.empty() && loaderHasRead(t)) {
            finish(now());
            if (unplug_) {
                transcript_.note(now(), "line closed");
                line_->close();
            }
            return *exitStatus_;
        }

        const SimTime wait = std::max(SimTime{0}, nextWake(t) - now());
        const timespec timeout{static_cast<time_t>(wait.count() / 1'000'000),
                               static_cast<long>(wait.count() % 1'000'000) * 1000};
        pollfd fds[2] = {
            {line_->masterFd(), static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0},
            {stopFd, POLLIN, 0}};
        const int ready = ::ppoll(fds, stopFd >= 0 ? 2 : 1, &timeout, nullptr);
        if (ready < 0 && errno != EINTR) {
            finish(now());
            return 1;
        }
        if (stopFd >= 0 && (fds[1].revents & POLLIN)) {
            transcript_.note(now(), "stopped");
            return finish(now()) && options_.once ? 1 : 0;
        }
        if (fds[0].revents & POLLOUT) writeBlocked_ = false;
    }
}

bool SimRunner::loaderHasRead(SimTime now) {
    // Closing the master discards what the loader has not read: give it time to take
    // the last answers, but not for ever.
    // The terminal moves written bytes to the loader's queue a moment later, so an
    // empty queue counts only a while after the last write.
    if (!drainDeadline_) drainDeadline_ = now + kDrainLimit;
    if (now >= *drainDeadline_) return true;
    return now - lastWriteAt_ >= kQueueSettle && line_->unreadByLoader() == 0;
}

void SimRunner::watchLine(SimTime now) {
    const LineSettings settings = line_->settings();
    if (lineSettings_ == settings) return;
    if (settings.baud != lineRate_) {
        lineRate_ = settings.baud;
        receiver_->setLineRate(lineRate_);
        transcript_.note(now, "line rate " + std::to_string(lineRate_));
    }
    if (lineSettings_ && !(lineSettings_->suitsTheUnit() && settings.suitsTheUnit()))
        transcript_.note(now, "line set to " + settings.describe());
    lineSettings_ = settings;
}

void SimRunner::judgeLineSettings(SimTime now, std::span<const std::uint8_t> bytes) {
    if (lineSettings_->suitsTheUnit()) {
        reportedSettings_.reset();
        return;
    }
    if (reportedSettings_ == lineSettings_) return;
    reportedSettings_ = lineSettings_;
    lineBreaches_.report(receiver_->stateName(),
                         "bytes sent with the line set to " + lineSettings_->describe() +
                             "; the unit uses 8N1 without flow control",
                         bytes);
    while (const auto text = lineBreaches_.take()) protocolError(now, *text);
}

void SimRunner::readInput(SimTime now) {
    std::uint8_t buffer[kReadChunk];
    while (true) {
        const ssize_t got = line_->readSome(buffer, sizeof buffer);
        if (got <= 0) return;
        // A loader sets its line and then writes, so the settings read after the
        // bytes are the ones they were sent with.
        watchLine(now);
        const std::span<const std::uint8_t> bytes(buffer, static_cast<std::size_t>(got));
        judgeLineSettings(now, bytes);
        for (std::uint8_t byte : bytes) {
            receiveLineFreeAt_ = std::max(receiveLineFreeAt_, now) + byteTime(lineRate_);
            input_.push_back({byte, lineRate_, options_.earlyAnswers ? now : receiveLineFreeAt_});
        }
    }
}

void SimRunner::deliverInput(SimTime now) {
    while (!input_.empty() && input_.front().arrival <= now) {
        const PendingByte in = input_.front();
        input_.pop_front();
        const bool taken = receiver_->receive(in.byte, in.baud, in.arrival);
        transcript_.byte(in.arrival, taken ? "in" : "drop", in.byte, in.baud,
                         receiver_->stateName());
    }
}

void SimRunner::handleEvents(SimTime now) {
    while (const auto event = receiver_->takeEvent()) {
        switch (event->kind) {
            case TransferEvent::Kind::Completed: {
                transcript_.note(now, "transfer completed: " + event->detail);
                tell("transfer completed: " + event->detail);
                ++completedTransfers_;
                const FlashMemory written = receiver_->bootLoader().transferFlash();
                if (!options_.flashOut.empty())
                    writeFlash(options_.flashOut, written, kFlashOutHeader);
                if (!options_.flashOutEach.empty())
                    writeFlash(
                        options_.flashOutEach + "-" + std::to_string(completedTransfers_) + ".srec",
                        written, kFlashOutHeader);
                dumpFlash();
                // An upload that leaves the unit waiting for its boot block is not over.
                if (options_.once && !exitStatus_ && !receiver_->awaitsBootBlock()) exitStatus_ = 0;
                break;
            }
            case TransferEvent::Kind::Failed:
                transcript_.note(now, "transfer failed: " + event->detail);
                tell("transfer failed: " + event->detail);
                dumpFlash();
                if (options_.once && !exitStatus_) exitStatus_ = 1;
                break;
            case TransferEvent::Kind::Unplug:
                transcript_.note(now, event->detail);
                tell(event->detail);
                unplug_ = true;
                exitStatus_ = 1;
                break;
            case TransferEvent::Kind::ProtocolError:
                protocolError(now, event->detail);
                break;
        }
    }
}

bool SimRunner::finish(SimTime now) {
    const auto problem = receiver_->switchOffProblem();
    if (problem) protocolError(now, *problem);
    dumpFlash();
    return problem.has_value();
}

void SimRunner::dumpFlash() {
    // Written often, so told only when it fails.
    if (!options_.flashDump.empty() &&
        !writeSRecordFile(options_.flashDump, receiver_->bootLoader().flash(), kFlashDumpHeader))
        tell("cannot write " + options_.flashDump);
}

void SimRunner::writeFlash(const std::string& path, const FlashMemory& flash,
                           std::string_view header) {
    if (writeSRecordFile(path, flash, header)) {
        tell("flash written to " + path);
    } else {
        tell("cannot write " + path);
    }
}

void SimRunner::writeOutput(SimTime now) {
    if (writeBlocked_) return;
    std::vector<std::uint8_t> batch;
    std::vector<SimTime> lineFreeAfter;
    SimTime lineFree = sendLineFreeAt_;
    while (batch.size() < output_.size() && output_.at(batch.size()).due <= now) {
        const OutputQueue::Entry& entry = output_.at(batch.size());
        if (options_.pace) {
            if (lineFree > now) break;
            lineFree = std::max(lineFree, now) + byteTime(lineRate_);
        }
        batch.push_back(entry.byte);
        lineFreeAfter.push_back(lineFree);
    }
    if (batch.empty()) return;
    const ssize_t written = line_->writeSome(batch.data(), batch.size());
    if (written < 0) {
        // A loader that does not read fills the line: wait until it takes bytes again.
        if (errno == EAGAIN || errno == EINTR) {
            writeBlocked_ = errno == EAGAIN;
            return;
        }
        transcript_.note(now, "line refused " + std::to_string(batch.size()) + " bytes");
        for (std::size_t i = 0; i < batch.size(); ++i) output_.pop();
        return;
    }
    const auto sent = static_cast<std::size_t>(written);
    if (sent > 0) lastWriteAt_ = now;
    for (std::size_t i = 0; i < sent; ++i) {
        transcript_.byte(now, "out", batch[i], lineRate_, receiver_->stateName());
        output_.pop();
    }
    if (sent > 0 && options_.pace) sendLineFreeAt_ = lineFreeAfter[sent - 1];
    if (sent < batch.size()) writeBlocked_ = true;
}

SimTime SimRunner::nextWake(SimTime now) const {
    SimTime wake = now + kRatePollInterval;
    if (!input_.empty()) wake = std::min(wake, input_.front().arrival);
    if (const auto due = output_.nextDue(); due && !writeBlocked_) {
        SimTime at = *due;
        if (options_.pace) at = std::max(at, sendLineFreeAt_);
        wake = std::min(wake, at);
    }
    if (const auto greeting = receiver_->nextWake()) wake = std::min(wake, *greeting);
    return wake;
}

}  // namespace zamel::sim

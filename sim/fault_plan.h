#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zamel::sim {

// Faults the simulated receiver injects on request, each for a loader to survive.
enum class FaultKind {
    Resend,        // resend:K:CODE  answer record K with CODE (0x81, 0x82, 0x85, 0x88) once
    ProgResend,    // prog-resend:K:CODE  acknowledge record K once, then ask for it again with CODE
    FailErase,     // fail-erase     answer the erase frame with 0x84
    FailWrite,     // fail-write:K   answer record K with 0x84
    Reset,         // reset:K        answer record K with 0x87 and restart the file
    BadCmd,        // bad-cmd        answer the first erase request with 0x83
    RecNumber,     // rec-number:K   after record K's first acknowledgement send 0x89 and 4 bytes
    BadType,       // bad-type       answer the greeting's answer with 0x86
    DebugEcho,     // debug-echo     report each programmed record's address as two debug words
    DropAck,       // drop-ack:K     ignore record K the first time it arrives
    SilentLoader,  // silent-loader  the boot loader never greets
    Unplug,        // unplug:K       close the line after record K
    Noise,         // noise          random bytes between sentences
    LateGreeting,  // late-greeting:S the boot loader greets only after S seconds
    Garble,        // garble         answer sentences sent at a wrong rate with garbage
    BadChecksum,   // bad-checksum   end the record-mode report with a non-zero checksum
    Greet77,       // greet77        greet with 0x77 and take records at once
    RecWait,       // rec-wait       acknowledge each record the second time with 0x77
    EarlyDebug,    // early-debug    a debug word before each record's first acknowledgement
    LostEndAck,    // lost-end-ack   the answer to the first end frame is lost
    LoseFirstAck,  // lose-ack:K:first   record K programmed, its first acknowledgement lost
    LoseSecondAck,  // lose-ack:K:second  record K programmed, its second acknowledgement lost
    LoseEraseAck,   // lose-ack:erase     the acknowledgement that ends the erase is lost
};

struct Fault {
    FaultKind kind;
    std::uint32_t record = 0;    // K: the K-th record since the erase, counted from 1
    std::uint32_t transfer = 0;  // T of "@T": only in the T-th transfer; 0 in any
    std::uint8_t code = 0;       // reply byte of resend and prog-resend
    int seconds = 0;             // S of late-greeting
    bool spent = false;
};

// The faults given on the command line. One-shot faults fire once in a run: in the
// first transfer that reaches them, or with "@T" only in the T-th transfer (the
// T-th time the boot loader started since the simulator did).
class FaultPlan {
  public:
    // Parses one fault description; on failure returns false and describes why.
    bool add(std::string_view text, std::string& error);

    bool has(FaultKind kind) const;
    // The armed one-shot fault of this kind for this transfer (for record faults:
    // and this record), marked spent; nullptr when none.
    const Fault* take(FaultKind kind, std::uint32_t transfer, std::uint32_t record = 0);
    int lateGreetingSeconds() const;

  private:
    std::vector<Fault> faults_;
};

}  // namespace zamel::sim

#include "sim_options.h"

#include <cstdlib>
#include <functional>
#include <string_view>

namespace zamel::sim {

namespace {

constexpr std::size_t kMaxFirmwareText = 200;
constexpr std::size_t kMaxMapHeader = 128;

bool parseLong(const std::string& text, long min, long max, long& value) {
    if (text.empty() || text.size() > 12 || !(text[0] >= '0' && text[0] <= '9')) return false;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && value >= min && value <= max;
}

// Text that can travel inside a sentence: printable, without the marks that frame one.
bool isSentenceText(std::string_view text) {
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E || c == '$' || c == '*') return false;
    }
    return true;
}

std::optional<ChecksumStyle> parseChecksumStyle(std::string_view text) {
    if (text == "upper") return ChecksumStyle::Upper;
    if (text == "lower") return ChecksumStyle::Lower;
    if (text == "upper-dollar") return ChecksumStyle::UpperWithDollar;
    if (text == "lower-dollar") return ChecksumStyle::LowerWithDollar;
    return std::nullopt;
}

struct OptionSpec {
    std::string_view name;
    bool takesValue;
    // Applies the value; returns an error message, empty on success.
    std::function<std::string(SimOptions&, const std::string&)> apply;
};

std::string setRate(long& target, const std::string& value, std::initializer_list<long> allowed,
                    const char* what) {
    long rate = 0;
    if (parseLong(value, 1, 1'000'000, rate)) {
        for (long a : allowed) {
            if (a == rate) {
                target = rate;
                return {};
            }
        }
    }
    return std::string(what) + " '" + value + "' is not one of the supported rates";
}

const std::vector<OptionSpec>& optionSpecs() {
    static const std::vector<OptionSpec> specs = {
        {"--dir", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             if (v.empty()) return "--dir needs a directory";
             o.dir = v;
             return {};
         }},
        {"--port", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             long n = 0;
             if (!parseLong(v, 1, 255, n)) return "--port needs a COM number from 1 to 255";
             o.port = static_cast<int>(n);
             return {};
         }},
        {"--model", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             if (findModel(v) == nullptr) return "unknown model '" + v + "'";
             o.model = v;
             return {};
         }},
        {"--product-code", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             if (v.size() != 3 || !isSentenceText(v) || v.find(',') != std::string::npos)
                 return "--product-code needs three printable characters without a comma";
             o.productCode = v;
             return {};
         }},
        {"--firmware", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             if (v.size() > kMaxFirmwareText || !isSentenceText(v))
                 return "--firmware needs printable text of at most 200 characters without $ or *";
             o.firmware = v;
             return {};
         }},
        {"--memory", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             if (!isValidMemoryText(v)) return "--memory needs three integers: A,B,C";
             o.memory = v;
             return {};
         }},
        {"--map-header", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             if (v.size() > kMaxMapHeader || !isSentenceText(v))
                 return "--map-header needs printable text of at most 128 characters without $ "
                        "or *";
             o.mapHeader = v;
             return {};
         }},
        {"--poi-region", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             const auto region = parsePoiRegion(v);
             if (!region) return "unknown --poi-region '" + v + "'";
             o.poiRegion = *region;
             return {};
         }},
        {"--baud", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             return setRate(o.baud, v, {1200, 4800, 9600, 19200}, "--baud");
         }},
        {"--loader-baud", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             return setRate(o.loaderBaud, v, {115200, 19200}, "--loader-baud");
         }},
        {"--flash-out", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             if (v.empty()) return "--flash-out needs a file name";
             o.flashOut = v;
             return {};
         }},
        {"--flash-out-each", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             if (v.empty()) return "--flash-out-each needs a file name stem";
             o.flashOutEach = v;
             return {};
         }},
        {"--flash-dump", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             if (v.empty()) return "--flash-dump needs a file name";
             o.flashDump = v;
             return {};
         }},
        {"--pace", false,
         [](SimOptions& o, const std::string&) -> std::string {
             o.pace = true;
             return {};
         }},
        {"--early-answers", false,
         [](SimOptions& o, const std::string&) -> std::string {
             o.earlyAnswers = true;
             return {};
         }},
        {"--erase-ms", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             long ms = 0;
             if (!parseLong(v, 0, 60000, ms)) return "--erase-ms needs 0 to 60000";
             o.eraseMs = static_cast<int>(ms);
             return {};
         }},
        {"--program-ms", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             long ms = 0;
             if (!parseLong(v, 0, 60000, ms)) return "--program-ms needs 0 to 60000";
             o.programMs = static_cast<int>(ms);
             return {};
         }},
        {"--restart-ms", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             long ms = 0;
             if (!parseLong(v, 0, 60000, ms)) return "--restart-ms needs 0 to 60000";
             o.restartMs = static_cast<int>(ms);
             return {};
         }},
        {"--checksum-style", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             const auto style = parseChecksumStyle(v);
             if (!style) return "--checksum-style needs upper, lower, upper-dollar or lower-dollar";
             o.checksumStyle = *style;
             return {};
         }},
        {"--fault", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             std::string error;
             if (!o.faults.add(v, error)) return error;
             return {};
         }},
        {"--transcript", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             if (v.empty()) return "--transcript needs a file name";
             o.transcript = v;
             return {};
         }},
        {"--once", false,
         [](SimOptions& o, const std::string&) -> std::string {
             o.once = true;
             return {};
         }},
        {"--start-in-loader", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             if (v == "address") {
                 o.startInLoader = UploadMode::Address;
             } else if (v == "record") {
                 o.startInLoader = UploadMode::Record;
             } else {
                 return "--start-in-loader needs address or record";
             }
             return {};
         }},
        {"--seed", true,
         [](SimOptions& o, const std::string& v) -> std::string {
             long seed = 0;
             if (!parseLong(v, 0, 0x7FFFFFFF, seed)) return "--seed needs a whole number";
             o.seed = static_cast<unsigned>(seed);
             return {};
         }},
    };
    return specs;
}

}  // namespace

UnitIdentity SimOptions::identity() const {
    const ModelProfile* profile = findModel(model);
    UnitIdentity identity = UnitIdentity::fromModel(
        profile != nullptr ? *profile : modelProfiles()[0], firmware, poiRegion);
    if (productCode) identity.productCode = *productCode;
    if (memory) identity.memory = *memory;
    if (mapHeader) identity.mapHeader = *mapHeader;
    identity.checksumStyle = checksumStyle;
    return identity;
}

ParsedOptions parseSimOptions(const std::vector<std::string>& arguments) {
    ParsedOptions parsed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); eq != std::string::npos && name.rfind("--", 0) == 0) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--help" || name == "-h") {
            parsed.helpRequested = true;
            return parsed;
        }
        if (name == "--version") {
            parsed.versionRequested = true;
            return parsed;
        }
        const OptionSpec* option = nullptr;
        for (const OptionSpec& candidate : optionSpecs())
            if (candidate.name == name) option = &candidate;
        if (option == nullptr) {
            parsed.error = "unknown option '" + arguments[i] + "'";
            return parsed;
        }
        std::string value;
        if (option->takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                parsed.error = name + " needs a value";
                return parsed;
            }
        } else if (inlineValue) {
            parsed.error = name + " takes no value";
            return parsed;
        }
        parsed.error = option->apply(parsed.options, value);
        if (!parsed.error.empty()) return parsed;
    }
    return parsed;
}

std::string simVersionText() { return "receiver-sim 1.14\n"; }

std::string simHelpText() {
    return R"(Usage: receiver-sim [OPTION]...
A simulated satellite-navigation receiver on a pseudo-terminal. It links the
pseudo-terminal as DIR/COMn, prints "ready COMn <pty path>" when it listens, and
behaves as a powered-on receiver until SIGINT or SIGTERM (which remove the link).

  --dir DIR            where to create the COMn link (default .)
  --port N             the COM number to occupy (default 1)
  --model NAME         NAV415/420, PLT430, Geodra2, Talvane, Talvane GPS, Trailix,
                       Trailix Map/Pro or KX 524: product code, memory reply and map
                       header that make a loader identify that model (default Talvane)
  --product-code CODE  three characters overriding the model's product code
  --firmware TEXT      version text of the VER reply after the product code and
                       comma (default 3.08); for NAV415/420 a text of up to 9
                       characters is padded so that "NAV 415/420" follows at
                       positions 22 to 32
  --memory A,B,C       the MEM reply (default from the model)
  --map-header TEXT    payload of the MPH reply, comma-separated: third field the
                       map name, fifth a number (default from the model)
  --poi-region R       worldwide, americas, europe-africa, asia-australia, custom
                       or none: the database described in the 128-byte POI header
                       (default worldwide)
  --baud B             line rate of the firmware: 1200, 4800, 9600 or 19200
                       (default 4800)
  --loader-baud B      line rate of the boot loader: 115200 or 19200 (default 115200);
                       it may equal --baud: the unit's state, not the rate, says
                       whether its firmware or its boot loader reads a byte
  --checksum-style S   how replies end: upper (default) or lower hexadecimal digits,
                       upper-dollar or lower-dollar for a checksum that covers the "$"
  --flash-out FILE     after each completed transfer, write the bytes programmed in it
                       as Motorola S-records (S0, S3 in address order, S7)
  --flash-out-each STEM  the same into STEM-1.srec, STEM-2.srec, ...: one file for
                       each completed transfer, so several uploads can be checked
  --flash-dump FILE    everything the unit's flash holds, from all transfers so far,
                       as S-records like --flash-out, rewritten after each completed
                       or failed transfer and when the program ends (not on SIGKILL);
                       only programmed bytes appear: erased but unprogrammed flash and
                       flash no transfer erased are both left out
  --pace               send the unit's bytes at the line rate too (10 bits a byte);
                       received bytes always reach the unit only after their time on
                       the line, so no answer comes sooner than that
  --early-answers      take each byte as soon as it is read, without its time on the
                       line: the answer to a frame or byte leaves right after its last
                       byte, before a loader that clears its receive queue after
                       writing may have done so (that loader loses it)
  --erase-ms N         time to erase one 64 KiB sector (default 20)
  --program-ms N       time to program one record, between its two acknowledgements
                       (default 5)
  --restart-ms N       time from the zero byte after the upload commands until the
                       boot loader runs (default 2000)
                       Bytes that arrive while the unit erases, programs or restarts
                       are lost.
  --fault FAULT        inject a fault; repeatable. One-shot faults (those with K,
                       lose-ack:erase, fail-erase, bad-cmd, bad-type, bad-checksum,
                       lost-end-ack)
                       fire once a run, in the first transfer that reaches them, or
                       with FAULT@T only in transfer T: the T-th time the boot loader
                       starts (after an upload command, at power-on with
                       --start-in-loader, or again for the boot block of an old
                       NAV 415/420), counted from 1; a start over within it (after
                       0x83, 0x84 or 0x87, or a new greeting) stays the same transfer.
                       K is the K-th record since the last erase, counted from 1 (a
                       record sent again is not counted again); it counts on from the
                       code into the database sent in the same transfer, and from 1
                       again after a start over:
                         resend:K:CODE   answer record K with CODE (81, 82, 85 or 88,
                                         hexadecimal, 0x optional)
                         prog-resend:K:CODE  acknowledge record K once, then ask for
                                         it again with CODE instead of the second
                                         acknowledgement
                         fail-erase      answer the erase frame with 0x84
                         fail-write:K    answer record K with 0x84
                         reset:K         answer record K with 0x87, erase again and
                                         restart the file
                         bad-cmd         answer the first erase request with 0x83
                                         (address mode: maps send no erase frame)
                         rec-number:K    acknowledge record K once, then send 0x89 and
                                         the wanted record number (4 bytes) and take
                                         back the record before it
                         bad-type        answer the greeting's answer with 0x86
                         debug-echo      report each programmed record's address as two
                                         debug words (0x8E, high word first) before the
                                         second acknowledgement
                         drop-ack:K      ignore record K the first time it arrives
                         silent-loader   the boot loader never greets
                         unplug:K        close the line after record K and exit with 1
                         noise           random bytes (never "$") around every reply
                         late-greeting:S the boot loader greets only S seconds after
                                         it starts
                         garble          answer bytes sent at a wrong rate with garbage
                         bad-checksum    end the record-mode end report with checksum
                                         1 instead of 0
                         greet77         greet with 0x77 (waits for records): records
                                         at once, no handshake, erase frame or cold
                                         start; sectors are erased as records reach them
                         rec-wait        acknowledge each record the second time with
                                         0x77 instead of 0x55
                         early-debug     send a debug word (0x8E, the record's number)
                                         before each record's first acknowledgement
                         lost-end-ack    the answer to the first end frame is lost; the
                                         unit answers the end frame sent again
                         lose-ack:K:first   record K is programmed but its first
                         lose-ack:K:second  (or second) acknowledgement is never sent;
                                         record K sent again is acknowledged again,
                                         not written twice
                         lose-ack:erase  the acknowledgement that ends the erase is
                                         never sent; the unit then takes the cold
                                         start, the erase request 0x6A again (then an
                                         erase frame) or the erase frame again
  --transcript FILE    log every byte in and out with direction, time and state
  --once               exit 0 after the first completed transfer after which the unit
                       starts its firmware (an old NAV 415/420 first takes its boot
                       block), 1 after a failed one or after a protocol error
  --start-in-loader M  start in the boot loader, as a unit put into its upload mode by
                       hand: M is address (code) or record (maps)
  --seed N             seed of the noise and garbage bytes (default 1)
  --help               show this text
  --version            show the version

Whatever the far end sends against the protocol (a wrong record number, bytes
while the unit is busy, a command framed wrongly, a line set other than 8N1
without flow control...) is written as "protocol error: ..." with the unit's state
and the bytes, to standard error and the transcript; the unit answers it as a real
one would, with a resend request or by losing the bytes.

A NAV 415/420 with firmware older than 3 that got program code (an erase from 0)
waits in its boot loader for its boot block (an erase from 0x70000). It cannot
start its firmware when the program ends while it still waits, or when it would
start (after a transfer, or as the program ends while it is in its boot loader)
and the sector at 0x70000 was erased and 0x70000 not programmed since: it writes
a "protocol error: the unit cannot start its firmware: ..." line, and --once
exits with 1.

Base maps go in record mode except on the plain variant of product code 033 (memory
second value 0 or map header fifth field below 2500000), which erases and takes
addressed records; code and databases always go in address mode.
)";
}

}  // namespace zamel::sim

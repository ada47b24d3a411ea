#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "personalizer_ui.h"
#include "text_group.h"

namespace tagwright {

// Capacities of the personalizer's text fields; longer values are cut.
inline constexpr std::size_t kPathCapacity = 259;
inline constexpr std::size_t kLanguageNameCapacity = 49;

inline constexpr const char* kSettingsFileName = "Tagwright.ini";
inline constexpr const char* kPersonalizedSection = "Personalized";
inline constexpr const char* kDumpFileName = "peb_dump.bin";

// The personalizer's one application object: its settings, the factory
// firmware held as S-record text, and the three start-up text groups.
// Every text is Windows-1252 bytes. Messages go through the borrowed ui.
class PersonalizerApp {
  public:
    explicit PersonalizerApp(PersonalizerUi& ui);

    // Settings.
    std::string workDir;
    std::string settingsPath;  // workDir + "/Tagwright.ini"
    std::string factoryFile;
    std::string personalFile;
    int familyIndex = 0;
    int languageIndex = -1;
    std::string languageName;
    int dumpEnabled = 0;

    // Firmware: the file's bytes exactly as read, patched in place.
    std::size_t firmwareSize = 0;
    std::string firmwareText;
    bool textEnded = false;

    std::array<TextGroup, 3> groups;
    TextGroup& title() { return groups[0]; }
    TextGroup& message() { return groups[1]; }
    TextGroup& agree() { return groups[2]; }
    const TextGroup& title() const { return groups[0]; }
    const TextGroup& message() const { return groups[1]; }
    const TextGroup& agree() const { return groups[2]; }

    // Sets workDir and settingsPath beside it; false (nothing set) when dir is
    // empty or longer than kPathCapacity.
    bool setWorkDir(std::string_view dir);

    // Creates the settings file with its default text when missing, then reads
    // every value into the fields above.
    void loadSettings();
    // Creates the settings file with the default text; false when it cannot be
    // written (nothing is reported then).
    bool writeDefaultSettings();
    // The FactoryFilename of a family's section (CorvathGPS 0 to 2).
    std::string familyFactoryFile(int family) const;
    // Writes one value into [Personalized] of the settings file, every other
    // line kept as it is.
    bool writePersonalizedSetting(std::string_view key, std::string_view value);

    // Reads factoryFile into firmwareText (and the dump file when dumpEnabled).
    bool loadFirmware();
    // Finds the Title group's searchText; reports nothing when absent.
    void locateTitle();
    // Finds the Message or Agree group's text and measures its room; shows the
    // not-found message and returns false when absent.
    bool locateText(TextGroup& group);
    // Takes record k of the group's table: appends its part of the factory text
    // and returns the room it contributes.
    int gatherRecordText(TextGroup& group, std::size_t k);
    // Lays the group's personalText over its records and repairs their checksums.
    void patchGroup(TextGroup& group);
    void patchAll();
    // Writes firmwareText to personalFile safely and reports the outcome.
    bool writePersonalized();

    // Hex helpers over the S-record text.
    static int hexDigitValue(char c);
    static int hexPairValue(char high, char low);
    static std::string hexOf(std::string_view text);
    // The first "S319" found from 4 characters after record r.
    std::optional<std::size_t> nextDataRecord(std::size_t r) const;
    void pumpMessages() { ui_.pumpMessages(); }

  private:
    void writeDump();
    void showNotFound(const TextGroup& group);
    void clearLocation(TextGroup& group);

    // An "S319" record at r lying wholly inside the text, every digit hex.
    bool wholeDataRecord(std::size_t r) const;
    // The whole data record whose data holds length hex digits from position on,
    // starting at a byte boundary.
    std::optional<std::size_t> recordHolding(std::size_t position, std::size_t length) const;
    // The first occurrence of hex from on, starting at or before lastStart,
    // that spells data bytes of one record.
    std::optional<std::size_t> findInData(std::string_view hex, std::size_t from,
                                          std::size_t lastStart = std::string::npos) const;
    // Where a text cut by record boundaries begins; none unless the whole text
    // reads on from there.
    std::optional<std::size_t> findSplitText(const std::string& text) const;
    // True when hex is spelled from position on through the data of whole
    // records whose addresses follow each other.
    bool spelledAcrossRecords(std::size_t position, std::string_view hex) const;
    // Whole data records whose data lie back to back in the receiver's memory.
    bool continues(std::size_t record, std::size_t next) const;
    // Byte number byte of record (0 the count, 5 to 24 data), -1 when not hex.
    int dataByte(std::size_t record, std::size_t byte) const;
    // Zero data bytes from byte on in record, less the one kept as terminator.
    std::size_t zeroRoomBehind(std::size_t record, std::size_t byte) const;

    PersonalizerUi& ui_;
};

}  // namespace tagwright

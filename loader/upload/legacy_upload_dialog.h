#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "flash_loader.h"
#include "image_file.h"
#include "legacy_upload_type_dialog.h"
#include "transfer_dialog.h"

namespace zamel {

class Clock;
class LegacyPhaseSource;
class ReceiverLink;
class Ui;
struct PackageState;

// "Upload of NAV 415/420": one pass of an upload to a NAV 415/420. Creating it does
// the whole preparation, questions included: what to upload (program code, the
// regional database, or both in one transfer, the database then following the code
// from 0xA0000), which files, whether the receiver's boot block must be reloaded
// afterwards, the package check of automatic mode, the file checks, switching the
// receiver into its boot loader and creating the engine. It leaves `ready` set when
// the pass may be shown. With the link's `reloadBootBlock` set the pass is the
// boot-block reload: the code image from 0x70000 to 0x9FFFF.
//
// Shown, it runs the transfer (TransferDialog), starting the database when the
// code is done. `phase` tells the engine which file goes (0 code, 1 database,
// 2 boot block, 3 finished) through the application object.
//
// Owns its images and engine; borrows the link, the Ui, the clock, the package state
// and the phase source. Destroying it closes the port, clears the pending files and
// ends automatic mode.
class LegacyUploadDialog final : public TransferDialog {
  public:
    static constexpr const char* kCaption = "Upload of NAV 415/420";
    static constexpr std::int32_t kCodePhase = 0;
    static constexpr std::int32_t kDatabasePhase = 1;
    static constexpr std::int32_t kBootBlockPhase = 2;
    static constexpr std::int32_t kFinishedPhase = 3;
    static constexpr std::uint32_t kDatabaseAddress = 0xA0000;
    static constexpr std::uint32_t kBootBlockAddress = 0x70000;
    static constexpr std::uint32_t kCodeEnd = 0x9FFFF;
    static constexpr std::uint32_t kDatabaseEnd = 0x1FFFFF;
    static constexpr const char* kNoDatabaseInformationText =
        "The receiver holds no database information, so no database can go with the "
        "program code.\nUpload the program code alone, or the database alone.\n\n"
        "Nothing was sent to the receiver.";
    static constexpr const char* kCustomDatabaseQuestion =
        "The receiver contains a custom database.\nThis will be lost.\nContinue?";

    LegacyUploadDialog(ReceiverLink& link, Ui& ui, Clock& clock, const PackageState& package,
                       const LegacyPhaseSource* phaseSource);
    ~LegacyUploadDialog() override;
    LegacyUploadDialog(const LegacyUploadDialog&) = delete;
    LegacyUploadDialog& operator=(const LegacyUploadDialog&) = delete;

    std::string caption() const override { return kCaption; }

    int progress = 0;
    std::string statusLine;
    std::string currentFileText;
    std::string percentText;
    std::unique_ptr<ImageFile> databaseImage;
    std::unique_ptr<ImageFile> codeImage;
    bool ready = false;
    LegacyUploadType uploadType = kLegacyNothing;
    bool includeDatabase = false;
    bool bootReloadNeeded = false;
    // A file was refused before the receiver was told anything: the upload ends.
    bool fileRefused = false;
    std::int32_t phase = kCodePhase;
    std::unique_ptr<FlashLoader> loader;
    std::int32_t savedBaud;
    // The 100 % mark of the file being sent.
    std::int32_t fileSize = 0;

  private:
    void prepare();
    bool packageSuits();
    void chooseUploadType();
    // "UPLOAD FILE" for the code or the database path; false when the upload stops.
    bool confirmFile(bool code);
    // False when the user stops at the custom-database question.
    bool decideDatabase();
    void openImages();
    // The whole-file check of every image the pass sends, before the receiver is
    // told anything; keeps the files read for the engine.
    bool imagesIntact();
    bool codeHoldsBootBlock();
    bool checkFile(ImageFile& image, const SegmentWindow& window, const char* firstLine,
                   std::optional<TransferSegment>& segment, const char* why = "");
    // Upload command, boot loader, content checks, engine.
    void startTransfer();
    bool contentSuits();
    void showFile(const char* format, const char* path);
    bool bootBlockPass() const;

    FlashLoader* transferEngine() const override { return loader.get(); }
    bool startNextFile() override;
    void followEngine() override;
    std::uint64_t fileTotal() const override;
    const std::string& fileLine() const override { return currentFileText; }
    std::string& statusField() override { return statusLine; }
    void showPercentage(int percent) override;

    const PackageState& package_;
    const LegacyPhaseSource* phaseSource_;
    // Data bytes each image sends (an S-record file holds fewer than its size).
    std::uint64_t codeBytes_ = 0;
    std::uint64_t databaseBytes_ = 0;
    std::optional<TransferSegment> codeSegment_;
    std::optional<TransferSegment> databaseSegment_;
};

}  // namespace zamel
